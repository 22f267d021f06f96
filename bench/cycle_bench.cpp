// The poll cycle against its floors, in one run so that the ratios hold on a busy machine:
// what a cycle costs when nothing changed and when everything did, each stage alone, and what
// no cycle can go below (copying the state block, exchanging the cycle's records).
//
// The module here is the in-process fake: an exchange is a function call that carries out the
// records, not a message to another process. Under Wine, scripts/bench-wine measures that.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_world.h"
#include "bridge/encoder_table.h"
#include "sdk/sdk.h"
#include "simlink/simlink.h"

namespace {

// ---- Floors ------------------------------------------------------------------------------------

void CopyBlock(benchmark::State& state) {
    const std::uint8_t* block = bench_world::StateBlock(0);
    for (auto _ : state) {
        std::memcpy(g_bridge.snapshot, block, kSnapshotSize);
        benchmark::ClobberMemory();
    }
}

// The reads every cycle makes, into the bridge's own mailbox and slots, and their exchange.
void QueueNineReads() {
    LinkRead(kMailboxOffset, sizeof g_bridge.mailbox, &g_bridge.mailbox, g_bridge.linkResult);
    for (std::size_t k = 0; k < kEncoderCount; ++k) {
        LinkRead(kEncoderTable[k].counterOffset, 1, &g_bridge.encoderSlots[k], g_bridge.linkResult);
    }
}

void ExchangeNineReads(benchmark::State& state) {
    for (auto _ : state) {
        QueueNineReads();
        LinkProcess(g_bridge.linkResult);
    }
    state.counters["wire_bytes"] = static_cast<double>(bench_world::LastExchangeBytes());
}

// A busy cycle's records queued again from its shape, without deciding what changed: the link's
// part of a busy cycle.
void ExchangeBusyRecords(benchmark::State& state) {
    const auto shape = bench_world::BusyExchangeShape();
    std::uint8_t scratch[4] = {};
    for (auto _ : state) {
        for (const bench_world::RecordShape& record : shape) {
            if (record.kind == exchange::RecordKind::Write) {
                LinkWrite(record.offset, record.size, scratch, g_bridge.linkResult);
            } else {
                LinkRead(record.offset, record.size, scratch, g_bridge.linkResult);
            }
        }
        LinkProcess(g_bridge.linkResult);
    }
    state.counters["wire_bytes"] = static_cast<double>(bench_world::LastExchangeBytes());
}

// ---- Whole cycles ------------------------------------------------------------------------------

void QuietCycle(benchmark::State& state) {
    bench_world::UseStateBlock(0);
    RunCycle();  // whatever an earlier benchmark left, block A is now what was last sent
    for (auto _ : state) RunCycle();
    state.counters["wire_bytes"] = static_cast<double>(bench_world::LastExchangeBytes());
}

void BusyCycle(benchmark::State& state) {
    int which = 0;
    for (auto _ : state) {
        which ^= 1;
        bench_world::UseStateBlock(which);
        RunCycle();
    }
    state.counters["wire_bytes"] = static_cast<double>(bench_world::LastExchangeBytes());
    bench_world::UseStateBlock(0);
}

// ---- Stages alone, on a busy snapshot ----------------------------------------------------------
//
// Before each run of an export stage its last-sent copies are set back to block A's values, so
// it finds every value changed, and the queue is emptied by hand (writePos back to the start,
// no record noted) instead of by an exchange. The restore is a copy of at most 1,200 bytes; the
// "setup" benchmarks time it alone, and the summary subtracts it.

struct LastSentCopies {
    double displays[kDisplayCount];
    std::int32_t flags[kFlagByteCount];
    std::int32_t singleInts[kSingleValueCount];
    double singleDoubles[kSingleValueCount];
};
LastSentCopies g_blockA;  // the last-sent copies as a cycle on block A leaves them

// Last-sent copies on A, snapshot, decoded displays and packed flags on B.
void PrepareBusySnapshot() {
    bench_world::UseStateBlock(0);
    RunCycle();
    std::memcpy(g_blockA.displays, g_bridge.lastSentDisplays, sizeof g_blockA.displays);
    std::memcpy(g_blockA.flags, g_bridge.lastSentFlags, sizeof g_blockA.flags);
    std::memcpy(g_blockA.singleInts, g_bridge.lastSentSingleInts, sizeof g_blockA.singleInts);
    std::memcpy(g_blockA.singleDoubles, g_bridge.lastSentSingleDoubles,
                sizeof g_blockA.singleDoubles);
    std::memcpy(g_bridge.snapshot, bench_world::StateBlock(1), kSnapshotSize);
    DecodeDisplays();
    PackIndicatorFlags();
}

void EmptyQueue() {
    g_link.writePos = g_link.bufferStart;
    g_link.queuedCount = 0;
}

void ForgetSentDisplays() {
    std::memcpy(g_bridge.lastSentDisplays, g_blockA.displays, sizeof g_blockA.displays);
    EmptyQueue();
}
void ForgetSentFlags() {
    std::memcpy(g_bridge.lastSentFlags, g_blockA.flags, sizeof g_blockA.flags);
    EmptyQueue();
}
void ForgetSentSingleValues() {
    std::memcpy(g_bridge.lastSentSingleInts, g_blockA.singleInts, sizeof g_blockA.singleInts);
    std::memcpy(g_bridge.lastSentSingleDoubles, g_blockA.singleDoubles,
                sizeof g_blockA.singleDoubles);
    EmptyQueue();
}
void Nothing() {}

template <void (*Setup)(), void (*Stage)()>
void RunStage(benchmark::State& state) {
    PrepareBusySnapshot();
    for (auto _ : state) {
        Setup();
        Stage();
        benchmark::ClobberMemory();
    }
    EmptyQueue();
}

template <void (*Setup)()>
void RunSetupOnly(benchmark::State& state) {
    PrepareBusySnapshot();
    for (auto _ : state) {
        Setup();
        benchmark::ClobberMemory();
    }
    EmptyQueue();
}

// ---- Registration ------------------------------------------------------------------------------

void Register(const char* name, void (*function)(benchmark::State&)) {
    benchmark::RegisterBenchmark(name, function)->Unit(benchmark::kNanosecond);
}

void RegisterAll() {
    Register("floor/block_copy", CopyBlock);
    Register("floor/exchange_nine_reads", ExchangeNineReads);
    Register("floor/exchange_busy_records", ExchangeBusyRecords);
    Register("cycle/quiet", QuietCycle);
    Register("cycle/busy", BusyCycle);
    Register("stage/DecodeDisplays", RunStage<Nothing, DecodeDisplays>);
    Register("stage/PackIndicatorFlags", RunStage<Nothing, PackIndicatorFlags>);
    Register("stage/ExportDisplays", RunStage<ForgetSentDisplays, ExportDisplays>);
    Register("stage/ExportIndicatorFlags", RunStage<ForgetSentFlags, ExportIndicatorFlags>);
    Register("stage/ExportSingleValues", RunStage<ForgetSentSingleValues, ExportSingleValues>);
    Register("setup/ExportDisplays", RunSetupOnly<ForgetSentDisplays>);
    Register("setup/ExportIndicatorFlags", RunSetupOnly<ForgetSentFlags>);
    Register("setup/ExportSingleValues", RunSetupOnly<ForgetSentSingleValues>);
}

// ---- Summary -----------------------------------------------------------------------------------

// Keeps each benchmark's CPU time per iteration, the median when there are repetitions, and its
// wire bytes, for the summary printed after the run.
class SummaryReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Aggregate && !median) continue;
            const std::string& name = run.run_name.function_name;
            if (!median && medians_.count(name) != 0) continue;
            if (median) medians_[name] = true;
            nanoseconds_[name] = run.GetAdjustedCPUTime();  // every benchmark reports in ns
            const auto bytes = run.counters.find("wire_bytes");
            if (bytes != run.counters.end()) wireBytes_[name] = bytes->second.value;
        }
    }

    double Ns(const std::string& name) const {
        const auto found = nanoseconds_.find(name);
        return found == nanoseconds_.end() ? 0.0 : found->second;
    }
    double WireBytes(const std::string& name) const {
        const auto found = wireBytes_.find(name);
        return found == wireBytes_.end() ? 0.0 : found->second;
    }
    bool Has(const std::string& name) const { return nanoseconds_.count(name) != 0; }

  private:
    std::map<std::string, double> nanoseconds_;
    std::map<std::string, double> wireBytes_;
    std::map<std::string, bool> medians_;
};

constexpr double kQuietGoal = 8.0;  // a quiet cycle, against the block copy
constexpr double kBusyGoal = 3.0;   // a busy cycle, against a quiet one plus its extra exchange
constexpr double kWireBound = 2500.0;

const char* Verdict(bool met) {
    return met ? "met" : "NOT MET";
}

void PrintSummary(const SummaryReporter& r) {
    const char* needed[] = {"floor/block_copy", "floor/exchange_nine_reads",
                            "floor/exchange_busy_records", "cycle/quiet", "cycle/busy"};
    for (const char* name : needed) {
        if (!r.Has(name)) {
            std::printf("\nSummary needs every floor and cycle benchmark (no filter).\n");
            return;
        }
    }
    const double copy = r.Ns("floor/block_copy");
    const double nineReads = r.Ns("floor/exchange_nine_reads");
    const double busyRecords = r.Ns("floor/exchange_busy_records");
    const double quiet = r.Ns("cycle/quiet");
    const double busy = r.Ns("cycle/busy");
    const double quietFloor = copy + nineReads;
    const double busyFloor = copy + busyRecords;
    const double extraExchange = busyRecords - nineReads;

    std::printf("\nSummary: CPU ns per iteration (median when repeated)\n");
    std::printf("  floor  block copy (3976 bytes)          %8.0f ns\n", copy);
    std::printf("  floor  exchange of the nine reads       %8.0f ns  %4.0f bytes\n", nineReads,
                r.WireBytes("floor/exchange_nine_reads"));
    std::printf("  floor  exchange of a busy cycle's records %6.0f ns  %4.0f bytes\n", busyRecords,
                r.WireBytes("floor/exchange_busy_records"));
    std::printf(
        "  quiet cycle                             %8.0f ns  %4.0f bytes  %5.2fx its floor"
        " (copy + nine reads)\n",
        quiet, r.WireBytes("cycle/quiet"), quiet / quietFloor);
    std::printf(
        "  busy cycle                              %8.0f ns  %4.0f bytes  %5.2fx its floor"
        " (copy + busy records)\n",
        busy, r.WireBytes("cycle/busy"), busy / busyFloor);

    std::printf("\n  stages alone on a busy snapshot (setup subtracted where there is one)\n");
    const char* stages[] = {"DecodeDisplays", "PackIndicatorFlags", "ExportDisplays",
                            "ExportIndicatorFlags", "ExportSingleValues"};
    for (const char* stage : stages) {
        const std::string name = std::string("stage/") + stage;
        if (!r.Has(name)) continue;
        const double setup = r.Ns(std::string("setup/") + stage);
        std::printf("    %-22s %8.0f ns\n", stage, r.Ns(name) - setup);
    }

    const double quietRatio = quiet / copy;
    const double busyRatio = busy / (quiet + extraExchange);
    const double busyBytes = r.WireBytes("cycle/busy");
    std::printf("\n  goals\n");
    std::printf("    quiet cycle / block copy                 %5.2f  (<= %.0f) %s\n", quietRatio,
                kQuietGoal, Verdict(quietRatio <= kQuietGoal));
    std::printf("    busy / (quiet + extra exchange %4.0f ns)  %5.2f  (<= %.0f) %s\n",
                extraExchange, busyRatio, kBusyGoal, Verdict(busyRatio <= kBusyGoal));
    std::printf("    busy cycle's request bytes               %5.0f  (< %.0f) %s\n", busyBytes,
                kWireBound, Verdict(busyBytes < kWireBound));
}

}  // namespace

// Defaults for a shared, noisy machine: five repetitions in random order, medians reported.
// Flags given on the command line come later and win.
int main(int argc, char** argv) {
    std::vector<char*> args{argv[0]};
    char repetitions[] = "--benchmark_repetitions=5";
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    char aggregates[] = "--benchmark_report_aggregates_only=true";
    args.insert(args.end(), {repetitions, interleave, aggregates});
    args.insert(args.end(), argv + 1, argv + argc);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;

    if (!bench_world::Open()) return 1;
    RegisterAll();
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
