// The road of one change: written into the add-on's state block, copied by the next cycle,
// found changed, queued and exchanged, standing at the module's offset. Timed from the write to
// the moment the value is seen in the stand-in module's offset space; against a stand-in that
// draws frames, also in the frames it drew meanwhile.
#include <atomic>
#include <vector>

#include "bench/latency/latency.h"
#include "bridge/single_value_table.h"
#include "sdk/sdk.h"
#include "tools/kit-module/offsets_mapping.h"

namespace {

// A 32-bit field sent as one byte: the byte at the module's offset is the field's low byte.
constexpr SingleValueRow kProbe = kSingleValueTable[2];
static_assert(kProbe.type == kInt32 && kProbe.size == 1);

constexpr double kGiveUpUs = 2e6;          // a bridge that stopped cycling
constexpr std::uint32_t kMaxPauseMs = 20;  // two timer periods: changes land at any phase

std::uint8_t ModuleByte(const OffsetsView& module) {
    return std::atomic_ref(module.base[kProbe.destination]).load(std::memory_order_acquire);
}

void WriteField(std::uint8_t* state, std::int32_t value) {
    // The field is 4-byte aligned in a page-aligned view: one store, as the add-on makes it.
    std::atomic_ref(*reinterpret_cast<std::int32_t*>(state + kProbe.source))
        .store(value, std::memory_order_release);
}

// Microseconds from now until the module holds `value`, or a negative number on giving up.
// Yields between looks, so the bridge and the module keep a core on a small machine.
double WaitForModule(const OffsetsView& module, std::uint8_t value, double since) {
    for (;;) {
        const double now = NowMicroseconds();
        if (ModuleByte(module) == value) return now - since;
        if (now - since > kGiveUpUs) return -1.0;
        SwitchToThread();
    }
}

}  // namespace

bool MeasureChangeLatency(std::uint32_t count) {
    OffsetsView module{};
    if (!OpenOffsetsView(module)) {
        Report("change: no stand-in module runs\n");
        return false;
    }
    const HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, kStateMappingName);
    auto* state = mapping == nullptr ? nullptr
                                     : static_cast<std::uint8_t*>(MapViewOfFile(
                                           mapping, FILE_MAP_ALL_ACCESS, 0, 0, kStateViewSize));
    if (state == nullptr) {
        Report("change: the add-on's state block is not published\n");
        CloseOffsetsView(module);
        return false;
    }

    std::vector<double> samples;
    std::vector<double> frameSamples;
    samples.reserve(count);
    frameSamples.reserve(count);
    const std::uint32_t firstFrame = FrameCount(module);
    std::uint32_t noise = 0x9E3779B9u;
    bool stalled = false;
    std::uint8_t value = 0;
    WriteField(state, value);
    stalled = WaitForModule(module, value, NowMicroseconds()) < 0;
    for (std::uint32_t i = 0; i < count && !stalled; ++i) {
        noise = noise * 1664525u + 1013904223u;
        Sleep((noise >> 16) % (kMaxPauseMs + 1));
        value = static_cast<std::uint8_t>(value % 250 + 1);  // 1..250, never the last one
        const double written = NowMicroseconds();
        const std::uint32_t frameWritten = FrameCount(module);
        WriteField(state, value);
        const double took = WaitForModule(module, value, written);
        stalled = took < 0;
        if (stalled) break;
        samples.push_back(took / 1000.0);
        frameSamples.push_back(FrameCount(module) - frameWritten);
    }

    const bool drewFrames = FrameCount(module) != firstFrame;
    UnmapViewOfFile(state);
    CloseHandle(mapping);
    CloseOffsetsView(module);
    PrintDistribution("change_ms", samples.data(), samples.size());
    if (drewFrames) PrintDistribution("change_frames", frameSamples.data(), frameSamples.size());
    if (stalled) Report("change: the value never reached the module; is the bridge running?\n");
    return !stalled;
}
