// Quorvane.exe between the stand-in module and add-on, each a process of its own, for the tests
// of what it survives. The test process itself can be one more client of the module, through
// the same link code Quorvane uses, to post codes and to load the module with exchanges.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "simlink/simlink.h"
#include "tests/wine/app_process.h"
#include "tests/wine/stand_in_fixture.h"

class FaultTest : public StandInTest {
  protected:
    static constexpr std::uint32_t kMailbox = 0x9400;
    // "Status: LOADING" and its two seconds, a handshake and a margin for a busy machine.
    static constexpr DWORD kStartTimeoutMs = 15000;
    // Nine sends that fail at once, each followed by its 100 ms pause, and a margin.
    static constexpr DWORD kFailedExchangeTimeoutMs = 5000;

    void SetUp() override { ResetLinkStateForTest(); }
    void TearDown() override {
        LinkClose();
        StandInTest::TearDown();
    }

    // The module, an empty mailbox in it (so that no code 0 is forwarded at start), the add-on.
    ::testing::AssertionResult StartStandIns(const std::string& moduleArguments,
                                             const std::string& addonArguments) {
        ::testing::AssertionResult started = StartModule(moduleArguments);
        if (!started) return started;
        const std::int16_t empty = -1;
        WriteOffsets(offsets_, kMailbox, &empty, sizeof empty);
        return StartAddon(addonArguments);
    }

    // Quorvane until its window shows `status`.
    ::testing::AssertionResult StartQuorvane(const wchar_t* status) {
        if (!quorvane_.Start() || !quorvane_.WaitForWindow()) {
            return ::testing::AssertionFailure() << "Quorvane.exe did not start";
        }
        return StatusBecomes(status, kStartTimeoutMs);
    }

    // Polls the status bar with WM_GETTEXT, as any program could, until it shows `status`.
    ::testing::AssertionResult StatusBecomes(const wchar_t* status, DWORD timeoutMs) const {
        if (WaitUntil([&] { return quorvane_.StatusText() == status; }, timeoutMs)) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << "the status bar shows \"" << Narrow(quorvane_.StatusText()) << "\"";
    }

    bool QuorvaneRuns() const {
        DWORD exitCode = 0;
        return !quorvane_.WaitForExit(0, exitCode);
    }

    std::uint32_t Exchanges() const { return ExchangeCount(offsets_); }

    // Whether `count` more exchanges reach the module within `timeoutMs`.
    bool ExchangesArrive(std::uint32_t count, DWORD timeoutMs = 5000) const {
        const std::uint32_t start = Exchanges();
        return WaitUntil([&] { return Exchanges() >= start + count; }, timeoutMs);
    }

    // The test process as a client of the module.
    ::testing::AssertionResult OpenClient() {
        LinkResult result = -1;
        if (LinkOpen(0, result)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the client's link did not open: " << result;
    }

    // Posts `code` and waits until the bridge has emptied the mailbox again.
    ::testing::AssertionResult PostAndAwaitServed(std::int16_t code, DWORD timeoutMs = 3000) {
        LinkResult result = -1;
        if (!LinkWrite(kMailbox, sizeof code, &code, result) || !LinkProcess(result)) {
            return ::testing::AssertionFailure() << "posting " << code << " failed: " << result;
        }
        std::int16_t mailbox = code;
        const bool served = WaitUntil(
            [&] {
                return LinkRead(kMailbox, sizeof mailbox, &mailbox, result) &&
                       LinkProcess(result) && mailbox == -1;
            },
            timeoutMs);
        if (served) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "code " << code << " was not taken; the mailbox "
                                             << "holds " << mailbox << ", last result " << result;
    }

    static std::string Narrow(const std::wstring& text) { return {text.begin(), text.end()}; }

    QuorvaneProcess quorvane_;
};
