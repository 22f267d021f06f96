// The SDK views: which mappings are opened with which rights and lengths, what is released,
// and how a command lands in the add-on's block.
#include "sdk/sdk.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>

#include "tests/fresh_world/fresh_world.h"
#include "tests/unit/cycle_world.h"

namespace {

using cycle_world::kCommandBlock;
using cycle_world::kStateBlock;

class SdkViewsTest : public ::testing::Test {
  protected:
    void SetUp() override { fresh_world::Reset(); }
};

TEST_F(SdkViewsTest, WithoutStateBlockReportsUnavailableAndLeavesCommandsAlone) {
    fake::CreateBlockAsOtherProcess(kCommandBlock, kCommandViewSize);

    EXPECT_EQ(SdkOpen(), STATUS_SDK_UNAVAILABLE);
    EXPECT_EQ(fake::CallCount(fake::Call::OpenFileMappingW), 1u);
    EXPECT_EQ(fake::LastOpenAccess(), FILE_MAP_READ);
    EXPECT_EQ(fake::CallCount(fake::Call::MapViewOfFile), 0u);
    EXPECT_EQ(fake::LiveHandleCount(), 0u);
    EXPECT_EQ(SdkStateView(), nullptr);
    EXPECT_FALSE(SdkCommandViewMapped());
}

TEST_F(SdkViewsTest, FailedStateViewClosesItsMapping) {
    fake::CreateBlockAsOtherProcess(kStateBlock, kStateViewSize);
    fake::CreateBlockAsOtherProcess(kCommandBlock, kCommandViewSize);
    fake::FailNext(fake::Call::MapViewOfFile);

    EXPECT_EQ(SdkOpen(), STATUS_SDK_UNAVAILABLE);
    EXPECT_EQ(fake::CallCount(fake::Call::CloseHandle), 1u);
    EXPECT_EQ(fake::LiveHandleCount(), 0u);
    EXPECT_EQ(fake::LiveViewCount(), 0u);
    EXPECT_EQ(fake::CallCount(fake::Call::OpenFileMappingW), 1u);
    EXPECT_EQ(g_sdk.stateMapping, nullptr);
    EXPECT_EQ(SdkStateView(), nullptr);

    // A state block one byte short of the view cannot be mapped either.
    fresh_world::Reset();
    fake::CreateBlockAsOtherProcess(kStateBlock, kStateViewSize - 1);
    EXPECT_EQ(SdkOpen(), STATUS_SDK_UNAVAILABLE);
    EXPECT_EQ(fake::LiveHandleCount(), 0u);
}

TEST_F(SdkViewsTest, StateAloneIsEnoughAndIsMappedForReading) {
    const auto state = fake::CreateBlockAsOtherProcess(kStateBlock, kStateViewSize);

    EXPECT_EQ(SdkOpen(), LINK_OK);
    EXPECT_EQ(SdkStateView(), state.data());
    EXPECT_FALSE(SdkCommandViewMapped());
    // The command mapping was asked for, in vain; the state view was the last one mapped.
    EXPECT_EQ(fake::CallCount(fake::Call::OpenFileMappingW), 2u);
    EXPECT_EQ(fake::LastOpenAccess(), FILE_MAP_ALL_ACCESS);
    EXPECT_EQ(fake::CallCount(fake::Call::MapViewOfFile), 1u);
    EXPECT_EQ(fake::LastMapAccess(), FILE_MAP_READ);
}

TEST_F(SdkViewsTest, CommandViewNeedsSeventeenBytesAndFullAccess) {
    fake::CreateBlockAsOtherProcess(kStateBlock, kStateViewSize);
    fake::CreateBlockAsOtherProcess(kCommandBlock, kCommandViewSize - 1);
    EXPECT_EQ(SdkOpen(), LINK_OK);  // a command view that cannot be mapped is not reported
    EXPECT_FALSE(SdkCommandViewMapped());

    fresh_world::Reset();
    fake::CreateBlockAsOtherProcess(kStateBlock, kStateViewSize);
    const auto command = fake::CreateBlockAsOtherProcess(kCommandBlock, kCommandViewSize);
    EXPECT_EQ(SdkOpen(), LINK_OK);
    EXPECT_EQ(g_sdk.commandView, command.data());
    EXPECT_EQ(fake::LastOpenAccess(), FILE_MAP_ALL_ACCESS);
    EXPECT_EQ(fake::LastMapAccess(), FILE_MAP_ALL_ACCESS);
    EXPECT_EQ(fake::LiveViewCount(), 2u);
}

TEST_F(SdkViewsTest, CloseReleasesTheStateViewOnceAndKeepsTheCommandView) {
    SdkClose();  // nothing acquired yet
    EXPECT_EQ(fake::CallCount(fake::Call::UnmapViewOfFile), 0u);
    EXPECT_EQ(fake::CallCount(fake::Call::CloseHandle), 0u);

    fake::CreateBlockAsOtherProcess(kStateBlock, kStateViewSize);
    fake::CreateBlockAsOtherProcess(kCommandBlock, kCommandViewSize);
    ASSERT_EQ(SdkOpen(), LINK_OK);
    SdkClose();
    SdkClose();

    EXPECT_EQ(fake::CallCount(fake::Call::UnmapViewOfFile), 1u);
    EXPECT_EQ(fake::CallCount(fake::Call::CloseHandle), 1u);
    EXPECT_EQ(SdkStateView(), nullptr);
    EXPECT_EQ(g_sdk.stateMapping, nullptr);
    EXPECT_EQ(fake::LiveViewCount(), 1u);
    EXPECT_EQ(fake::LiveHandleCount(), 1u);
    EXPECT_TRUE(SdkCommandViewMapped());
}

TEST_F(SdkViewsTest, CommandTakesCodeAndParameterAndKeepsTheRest) {
    fake::CreateBlockAsOtherProcess(kStateBlock, kStateViewSize);
    const auto block = fake::CreateBlockAsOtherProcess(kCommandBlock, kCommandViewSize);
    ASSERT_EQ(SdkOpen(), LINK_OK);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(0xA0 + i);

    SdkSendCommand(1235, 0.78);

    std::int32_t code;
    double parameter;
    std::memcpy(&code, block.data(), sizeof code);
    std::memcpy(&parameter, block.data() + 8, sizeof parameter);
    EXPECT_EQ(code, 1235);
    EXPECT_EQ(parameter, 0.78);
    EXPECT_EQ(block[4], 0xA4);
    EXPECT_EQ(block[5], 0xA5);
    EXPECT_EQ(block[6], 0xA6);
    EXPECT_EQ(block[7], 0xA7);
    EXPECT_EQ(block[16], 0xB0);
}

// The add-on reads the block from another process while the bridge writes it. Whenever it
// sees a new code, the parameter beside it must belong to that command or a later one, never
// to the command before. Each command here carries its own code as parameter; small whole
// numbers have a zero low word, so only the high word tells parameters apart.
TEST_F(SdkViewsTest, AddOnNeverSeesANewCodeWithAnOldParameter) {
    fake::CreateBlockAsOtherProcess(kStateBlock, kStateViewSize);
    const auto block = fake::CreateBlockAsOtherProcess(kCommandBlock, kCommandViewSize);
    ASSERT_EQ(SdkOpen(), LINK_OK);
    auto* words = reinterpret_cast<std::uint32_t*>(block.data());

    constexpr std::int32_t kMostCommands = 2'000'000;
    constexpr unsigned kEnoughSightings = 20'000;
    std::atomic<bool> done{false};
    std::atomic<unsigned> sightings{0};
    std::atomic<unsigned> stalePairs{0};

    std::thread addOn([&] {
        std::uint32_t lastCode = 0;
        while (!done.load(std::memory_order_acquire)) {
            const std::uint32_t code = std::atomic_ref(words[0]).load(std::memory_order_acquire);
            if (code == lastCode) continue;
            lastCode = code;
            const std::uint64_t high = std::atomic_ref(words[3]).load(std::memory_order_acquire);
            double parameter;
            const std::uint64_t bits = high << 32;
            std::memcpy(&parameter, &bits, sizeof parameter);
            if (parameter < static_cast<double>(code)) stalePairs.fetch_add(1);
            sightings.fetch_add(1, std::memory_order_relaxed);
        }
    });
    for (std::int32_t code = 1; code <= kMostCommands; ++code) {
        SdkSendCommand(code, static_cast<double>(code));
        if (sightings.load(std::memory_order_relaxed) >= kEnoughSightings) break;
    }
    done.store(true, std::memory_order_release);
    addOn.join();

    EXPECT_EQ(stalePairs.load(), 0u);
}

}  // namespace
