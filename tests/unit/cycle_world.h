// A fresh process in a fresh fake world for the poll cycle's tests: the module running, the
// link open, the add-on's blocks published and the SDK views open.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "bridge/bridge.h"
#include "bridge/connection.h"
#include "sdk/sdk.h"
#include "simlink/simlink.h"
#include "tests/fake_win32/fake_win32.h"
#include "tests/fresh_world/fresh_world.h"

namespace cycle_world {

// The add-on's names written out on purpose, not taken from sdk/sdk.h: every test that
// publishes a block through them holds the SDK's declarations to what the add-on really uses.
inline constexpr std::string_view kStateBlock = "iFly737NG_SDK_FileMappingObject";
inline constexpr std::string_view kCommandBlock = "iFly737NG_SDK1_FileMappingObject";
inline constexpr std::uint32_t kMailbox = 0x9400;
inline constexpr std::uint32_t kFirstCounter = 0x94F0;

// The module's offsets as another client would set them.
inline void PostCode(std::int16_t code) {
    std::memcpy(fake::ModuleSpace().bytes + kMailbox, &code, sizeof code);
}
inline std::int16_t ModuleMailbox() {
    std::int16_t code;
    std::memcpy(&code, fake::ModuleSpace().bytes + kMailbox, sizeof code);
    return code;
}
inline void SetCounter(std::size_t k, std::uint8_t value) {
    fake::ModuleSpace().bytes[kFirstCounter + k] = value;
}

// The module answers the handshake, then leaves the exchange after it unanswered: its nine sends
// time out with `lastError`.
inline void HangAfterHandshake(DWORD lastError) {
    fake::SetAfterExchangeHook(
        [lastError](std::span<std::uint8_t>) { fake::TimeOutNextSends(9, lastError); });
}

// The add-on's state block as the add-on writes it.
inline void SetStateInt32(std::uint32_t offset, std::int32_t value) {
    std::memcpy(fake::BlockBytes(kStateBlock).data() + offset, &value, sizeof value);
}
inline void SetStateDouble(std::uint32_t offset, double value) {
    std::memcpy(fake::BlockBytes(kStateBlock).data() + offset, &value, sizeof value);
}

// The command block as the add-on would read it.
inline std::int32_t CommandCode() {
    std::int32_t code;
    std::memcpy(&code, fake::BlockBytes(kCommandBlock).data(), sizeof code);
    return code;
}
inline double CommandParameter() {
    double parameter;
    std::memcpy(&parameter, fake::BlockBytes(kCommandBlock).data() + 8, sizeof parameter);
    return parameter;
}
inline void ClearCommand(std::int32_t code = -7, double parameter = -7.0) {
    std::memcpy(fake::BlockBytes(kCommandBlock).data(), &code, sizeof code);
    std::memcpy(fake::BlockBytes(kCommandBlock).data() + 8, &parameter, sizeof parameter);
}

// A running bridge as the shell leaves it after start-up, connected the way the shell connects;
// the mailbox on the module's side is empty so that a cycle forwards nothing unless a test posts
// a code (or asks for a fresh module's 0). The rest of the block is all zeros.
inline void Open(bool publishCommandBlock = true, std::int16_t mailbox = -1) {
    fresh_world::Reset();
    fake::CreateBlockAsOtherProcess(kStateBlock, kStateViewSize);
    if (publishCommandBlock) fake::CreateBlockAsOtherProcess(kCommandBlock, kCommandViewSize);
    fake::StartModule();
    PostCode(mailbox);
    ASSERT_EQ(ConnectBothSides(), LINK_OK);
}

}  // namespace cycle_world
