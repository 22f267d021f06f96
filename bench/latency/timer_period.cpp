// The period the cycle's timer achieves, seen from the module's side: the stand-in counts the
// exchanges it handles, and with no command posted every cycle makes exactly one. Against a
// stand-in that draws frames, the frames it drew meanwhile too: the pace the module allows.
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "bench/latency/latency.h"
#include "tools/appwindow/repaint_probe.h"
#include "tools/kit-module/offsets_mapping.h"

namespace {

// The figures of one watch of the counter; `name`, when given, tells them apart from the
// plain watch's.
bool WatchPeriod(std::uint32_t seconds, const char* name) {
    OffsetsView module{};
    if (!OpenOffsetsView(module)) {
        Report("period: no stand-in module runs\n");
        return false;
    }
    // Polled once a millisecond: each interval is known to about a millisecond, the mean over
    // the whole window exactly.
    std::vector<double> intervals;
    intervals.reserve(seconds * 1000 / 5 + 1);
    std::uint32_t lastCount = ExchangeCount(module);
    const std::uint32_t firstFrame = FrameCount(module);
    const double watchStart = NowMicroseconds();
    double lastSeen = 0.0, firstSeen = 0.0;
    std::uint32_t exchanges = 0;
    const double end = NowMicroseconds() + seconds * 1e6;
    while (NowMicroseconds() < end) {
        Sleep(1);
        const std::uint32_t count = ExchangeCount(module);
        if (count == lastCount) continue;
        const double now = NowMicroseconds();
        if (exchanges == 0) {
            firstSeen = now;
        } else {
            intervals.push_back((now - lastSeen) / 1000.0 / (count - lastCount));
        }
        exchanges += exchanges == 0 ? 1 : count - lastCount;
        lastCount = count;
        lastSeen = now;
    }
    const std::uint32_t frames = FrameCount(module) - firstFrame;
    const double watchedS = (NowMicroseconds() - watchStart) / 1e6;
    CloseOffsetsView(module);
    if (exchanges < 2) {
        Report("period: fewer than two exchanges in %u s; is the bridge running?\n", seconds);
        return false;
    }
    const double meanMs = (lastSeen - firstSeen) / 1000.0 / (exchanges - 1);
    char label[64];
    std::snprintf(label, sizeof label, "%s%s%s", "period_ms", *name ? " name=" : "", name);
    Report("%s mean=%.3f exchanges_per_s=%.1f\n", label, meanMs, 1000.0 / meanMs);
    if (frames != 0) {
        std::snprintf(label, sizeof label, "%s%s%s", "frames", *name ? " name=" : "", name);
        Report("%s frames_per_s=%.1f exchanges_per_frame=%.3f\n", label, frames / watchedS,
               (1000.0 / meanMs) / (frames / watchedS));
    }
    std::snprintf(label, sizeof label, "%s%s%s", "period_interval_ms", *name ? " name=" : "", name);
    PrintDistribution(label, intervals.data(), intervals.size());
    return true;
}

}  // namespace

bool MeasureTimerPeriod(std::uint32_t seconds) {
    return WatchPeriod(seconds, "");
}

// Help > About's command, 104, as the menu sends it; the box is found by its caption.
bool MeasureTimerPeriodWithAboutBox(std::uint32_t seconds) {
    const HWND quorvane = FindWindowA("QUORVANE", nullptr);
    if (quorvane == nullptr) {
        Report("period-about: Quorvane's window was not found\n");
        return false;
    }
    constexpr WPARAM kAboutCommand = 104;
    PostMessageA(quorvane, WM_COMMAND, kAboutCommand, 0);
    HWND about = nullptr;
    for (int wait = 0; wait < 300 && about == nullptr; ++wait) {
        Sleep(10);
        about = FindWindowA(nullptr, "About Quorvane");
    }
    if (about == nullptr) {
        Report("period-about: the About box did not open\n");
        return false;
    }
    // Meanwhile the box is laid bare again and again, as a person's windows would, each time
    // once the last was painted or given up.
    constexpr DWORD kBetweenRepaintsMs = 150;
    constexpr DWORD kRepaintGiveUpMs = 3000;
    std::vector<double> repaints;
    std::uint32_t unpainted = 0;
    std::atomic<bool> watching{true};
    std::thread painter([&] {
        while (watching.load()) {
            Sleep(kBetweenRepaintsMs);
            const double tookMs = RepaintMs(about, kRepaintGiveUpMs);
            if (tookMs < 0) {
                ++unpainted;
            } else {
                repaints.push_back(tookMs);
            }
        }
    });
    const bool watched = WatchPeriod(seconds, "about_box");
    watching = false;
    painter.join();
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    PrintDistribution("about_repaint_ms", repaints.data(), repaints.size());
    Report("about_unpainted within_ms=%lu count=%u\n", kRepaintGiveUpMs, unpainted);
    return watched;
}
