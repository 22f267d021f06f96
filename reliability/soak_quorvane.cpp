// The soak of Quorvane.exe itself: minutes against the stand-in module and the scripted add-on,
// with this process as a client that posts one code after another and turns the encoders in
// between. Quorvane's handle count and private memory are sampled all along and must be flat at
// the end; every code and every turn must have reached the add-on exactly once.
//
//     soak_quorvane.exe [MINUTES [SAMPLE_SECONDS]]      default 5 minutes, a sample every 15 s
//
// scripts/soak-wine builds and runs it; it is no ctest test, being minutes long by design.
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "simlink/simlink.h"
#include "tests/wine/app_process.h"
#include "tests/wine/stand_in_process.h"
#include "tools/kit-addon/addon_blocks.h"
#include "tools/kit-module/offsets_mapping.h"

namespace {

constexpr std::uint32_t kMailbox = 0x9400;
constexpr std::uint32_t kFirstCounter = 0x94F0;
constexpr std::size_t kEncoders = 8;
constexpr std::int16_t kLastCode = 32767;
// Codes the encoders produce; posted codes skip them so the add-on's output tells them apart.
constexpr std::int32_t kFirstEncoderCode = 1232;
constexpr std::int32_t kLastEncoderCode = 1239;
constexpr DWORD kTakeTimeoutMs = 5000;
constexpr std::size_t kWrongCodesShown = 10;
constexpr DWORD kWarmUpSamples = 2;                  // the first samples, before values settle
constexpr SIZE_T kPrivateGrowthAllowed = 64 * 1024;  // allocator noise, not a leak

struct Sample {
    ULONGLONG atMs;
    DWORD handles;
    SIZE_T privateBytes;
    SIZE_T workingSet;
    std::uint32_t exchanges;
};

bool TakeSample(HANDLE process, const OffsetsView& offsets, ULONGLONG startMs, Sample& sample) {
    sample.atMs = GetTickCount64() - startMs;
    sample.exchanges = ExchangeCount(offsets);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (!GetProcessHandleCount(process, &sample.handles) ||
        !GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                              sizeof memory)) {
        return false;
    }
    sample.privateBytes = memory.PrivateUsage;
    sample.workingSet = memory.WorkingSetSize;
    return true;
}

void PrintSample(const Sample& sample) {
    std::printf("%6.1f min  %7lu handles  %8zu KiB private  %8zu KiB working set  %9u exchanges\n",
                sample.atMs / 60000.0, sample.handles, sample.privateBytes / 1024,
                sample.workingSet / 1024, sample.exchanges);
    std::fflush(stdout);
}

// The client: posts a code and waits until the bridge emptied the mailbox, then turns one
// encoder a step and waits until the bridge has begun a second exchange since, so that the cycle
// that took the turn is over: commands of one cycle overwrite each other in the add-on's block.
// After each it also waits until the add-on has taken the command: 0xFFFF in the mailbox says
// only that Quorvane forwarded the code, and a command the add-on has not taken yet is replaced
// by the next one.
class Client {
  public:
    explicit Client(const OffsetsView& offsets) : offsets_(offsets) {}

    bool Open() {
        LinkResult result = LINK_OK;
        commandMapping_ = OpenFileMappingW(FILE_MAP_READ, FALSE, kCommandMappingName);
        commandBlock_ = static_cast<const std::uint8_t*>(
            MapViewOfFile(commandMapping_, FILE_MAP_READ, 0, 0, kCommandViewSize));
        return commandBlock_ != nullptr && LinkOpen(0, result);
    }

    ~Client() {
        LinkClose();
        if (commandBlock_ != nullptr) UnmapViewOfFile(commandBlock_);
        if (commandMapping_ != nullptr) CloseHandle(commandMapping_);
    }

    bool PostNextCode() {
        code_ = code_ == kLastCode ? 1 : static_cast<std::int16_t>(code_ + 1);
        if (code_ == kFirstEncoderCode) code_ = kLastEncoderCode + 1;
        ++posted_[code_];
        LinkResult result = LINK_OK;
        if (!LinkWrite(kMailbox, sizeof code_, &code_, result) || !LinkProcess(result)) {
            return false;
        }
        std::int16_t mailbox = code_;
        return WaitUntil(
                   [&] {
                       return LinkRead(kMailbox, sizeof mailbox, &mailbox, result) &&
                              LinkProcess(result) && mailbox == -1;
                   },
                   kTakeTimeoutMs) &&
               AddonTookTheCommand();
    }

    bool TurnEncoder() {
        const std::size_t k = turns_ % kEncoders;
        ++counters_[k];
        ++turns_;
        LinkResult result = LINK_OK;
        const bool sent =
            LinkWrite(kFirstCounter + static_cast<std::uint32_t>(k), 1, &counters_[k], result) &&
            LinkProcess(result);
        // The module counts exchanges as it handles them, ours included; we make no other now.
        const std::uint32_t afterTurn = ExchangeCount(offsets_);
        return sent &&
               WaitUntil([&] { return ExchangeCount(offsets_) >= afterTurn + 2; },
                         kTakeTimeoutMs) &&
               AddonTookTheCommand();
    }

    // Counts the add-on's lines; false when a code or a turn arrived other than once.
    bool CheckDelivered(const std::string& addonOutput) const {
        std::vector<unsigned> taken(kLastCode + 1, 0);
        unsigned encoderCommands = 0;
        std::istringstream lines(addonOutput);
        std::string line;
        while (std::getline(lines, line)) {
            int code = -1;
            if (std::sscanf(line.c_str(), "command %d", &code) != 1) continue;
            if (code >= kFirstEncoderCode && code <= kLastEncoderCode) {
                ++encoderCommands;
            } else if (code >= 0 && code <= kLastCode) {
                ++taken[code];
            }
        }
        unsigned wrong = 0;
        for (std::size_t code = 0; code < taken.size(); ++code) {
            if (taken[code] == posted_[code]) continue;
            if (++wrong <= kWrongCodesShown) {
                std::printf("client: code %zu posted %u times, taken %u\n", code, posted_[code],
                            taken[code]);
            }
        }
        std::printf(
            "client: %llu codes posted, %u taken other than once; %llu turns, %u encoder "
            "commands\n",
            static_cast<unsigned long long>(Posted()), wrong,
            static_cast<unsigned long long>(turns_), encoderCommands);
        return wrong == 0 && encoderCommands == turns_;
    }

    std::uint64_t Posted() const {
        std::uint64_t total = 0;
        for (unsigned count : posted_) total += count;
        return total;
    }

  private:
    bool AddonTookTheCommand() const {
        return WaitUntil(
            [&] {
                std::int32_t code;
                std::memcpy(&code, commandBlock_ + kCommandCodeAt, sizeof code);
                return code == kNoCommand;
            },
            kTakeTimeoutMs);
    }

    const OffsetsView& offsets_;
    HANDLE commandMapping_ = nullptr;
    const std::uint8_t* commandBlock_ = nullptr;  // the add-on's command block, read only
    std::int16_t code_ = 0;
    std::vector<unsigned> posted_ = std::vector<unsigned>(kLastCode + 1, 0);
    std::uint8_t counters_[kEncoders] = {};
    std::uint64_t turns_ = 0;
};

int Fail(const char* what) {
    std::printf("soak: FAILED: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const double minutes = argc > 1 ? std::atof(argv[1]) : 5.0;
    const DWORD sampleMs = static_cast<DWORD>((argc > 2 ? std::atof(argv[2]) : 15.0) * 1000);
    if (minutes <= 0 || sampleMs == 0)
        return Fail("usage: soak_quorvane [MINUTES [SAMPLE_SECONDS]]");

    StandInProcess module;
    StandInProcess addon;
    OffsetsView offsets{};
    if (!module.StartReady("kit-module", "") || !OpenOffsetsView(offsets)) {
        return Fail("the stand-in module did not start");
    }
    const std::int16_t empty = -1;
    WriteOffsets(offsets, kMailbox, &empty, sizeof empty);
    if (!addon.StartReady("kit-addon", "--script")) {
        return Fail("the stand-in add-on did not start");
    }
    QuorvaneProcess quorvane;
    if (!quorvane.Start() || !quorvane.WaitForWindow() ||
        !WaitUntil([&] { return quorvane.StatusText() == L"Status: OK"; }, 15000)) {
        return Fail("Quorvane did not reach \"Status: OK\"");
    }
    const HANDLE process =
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, quorvane.processId());
    Client client(offsets);
    if (process == nullptr || !client.Open()) return Fail("no handle on Quorvane or no link");

    std::printf("soak: Quorvane.exe for %.1f minutes, a sample every %lu s\n", minutes,
                sampleMs / 1000);
    std::vector<Sample> samples;
    const ULONGLONG start = GetTickCount64();
    const ULONGLONG end = start + static_cast<ULONGLONG>(minutes * 60000);
    ULONGLONG nextSample = start;
    bool working = true;
    while (working && GetTickCount64() < end) {
        if (GetTickCount64() >= nextSample) {
            Sample sample{};
            if (!TakeSample(process, offsets, start, sample)) return Fail("cannot sample");
            PrintSample(sample);
            samples.push_back(sample);
            nextSample += sampleMs;
        }
        working = client.PostNextCode() && client.TurnEncoder();
    }
    Sample last{};
    if (!TakeSample(process, offsets, start, last)) return Fail("cannot sample");
    PrintSample(last);
    const std::wstring status = quorvane.StatusText();

    Sleep(500);  // the add-on prints the last command
    const bool delivered = client.CheckDelivered(addon.Output());
    const Sample& settled = samples.size() > kWarmUpSamples ? samples[kWarmUpSamples] : samples[0];
    const long long handleGrowth = static_cast<long long>(last.handles) - settled.handles;
    const long long privateGrowth =
        static_cast<long long>(last.privateBytes) - static_cast<long long>(settled.privateBytes);
    std::printf("soak: from %.1f min to the end: %+lld handles, %+lld KiB private\n",
                settled.atMs / 60000.0, handleGrowth, privateGrowth / 1024);

    CloseHandle(process);
    CloseOffsetsView(offsets);
    if (!working) return Fail("the client's exchanges or a posted code stopped being served");
    if (status != L"Status: OK") return Fail("the status bar no longer shows \"Status: OK\"");
    if (!delivered) return Fail("a code or a turn did not reach the add-on exactly once");
    if (handleGrowth > 0) return Fail("handles grew");
    if (privateGrowth > static_cast<long long>(kPrivateGrowthAllowed)) {
        return Fail("private memory grew");
    }
    std::printf("soak: flat and every command delivered\n");
    return 0;
}
