// The base of Wine tests that run against the stand-ins: each test starts the stand-ins it
// needs, with its own options, and they are ended after it, whatever its outcome.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "simlink/simlink.h"
#include "tests/wine/stand_in_process.h"
#include "tools/kit-module/offsets_mapping.h"

// The running module's window thread, suspended: a module that is loading or frozen, whose
// window answers nothing. Null when there is no module window. ResumeModule lets it answer again.
HANDLE SuspendModule();
void ResumeModule(HANDLE thread);

class StandInTest : public ::testing::Test {
  protected:
    // Starts kit-module.exe with `arguments`, waits until its window exists and opens its offset
    // space as offsets_.
    ::testing::AssertionResult StartModule(const std::string& arguments = "");
    // Starts kit-addon.exe with `arguments` and waits until both mappings exist.
    ::testing::AssertionResult StartAddon(const std::string& arguments = "");

    void TearDown() override;

    // A little-endian 32-bit value of the running module's space.
    std::uint32_t ModuleOffset32(std::uint32_t offset) const;

    StandInProcess module_;
    StandInProcess addon_;
    OffsetsView offsets_{};
};
