// A fresh process in a fresh fake world for the link's tests, and a link opened to the fake
// module for any test that needs one.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "simlink/simlink.h"
#include "tests/fake_win32/fake_win32.h"
#include "tests/fresh_world/fresh_world.h"

namespace link_test {

// Starts the module under `className` with its default handshake values and opens the link
// as the shell does; the result of LinkOpen.
inline LinkResult OpenLinkToModule(std::string_view className = kModuleWindowClasses[0]) {
    fake::StartModule(className);
    LinkResult result = -1;
    LinkOpen(0, result);
    return result;
}

inline std::size_t QueuedBytes() {
    return static_cast<std::size_t>(g_link.writePos - g_link.bufferStart);
}

// Little-endian words of the request buffer (or any byte span) as the other side sees them.
inline std::uint32_t WordAt(const std::uint8_t* bytes, std::size_t pos) {
    return static_cast<std::uint32_t>(bytes[pos]) |
           static_cast<std::uint32_t>(bytes[pos + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[pos + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[pos + 3]) << 24;
}
inline void SetWordAt(std::uint8_t* bytes, std::size_t pos, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i)
        bytes[pos + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The module's offsets as another client would have set them.
inline void SetModuleWord(std::uint32_t offset, std::uint32_t value) {
    exchange::WriteSpace32(fake::ModuleSpace(), offset, value);
}
inline std::uint32_t ModuleWord(std::uint32_t offset) {
    return exchange::ReadSpace32(fake::ModuleSpace(), offset);
}

// Every test starts from an empty world and the link of a fresh process.
class LinkTest : public ::testing::Test {
  protected:
    void SetUp() override { fresh_world::Reset(); }
};

// The same, with the link already open to a module under "UIPCMAIN".
class OpenLinkTest : public LinkTest {
  protected:
    void SetUp() override {
        LinkTest::SetUp();
        ASSERT_EQ(OpenLinkToModule(), LINK_OK);
    }
};

}  // namespace link_test
