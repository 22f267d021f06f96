// The stand-in module's offset space as other processes see it, without the IPC protocol: the
// stand-in keeps its whole space in a named mapping, so a test or a person can look at what
// landed, or plant values, directly. All fields are little-endian; use ReadOffsets and
// WriteOffsets (or memcpy) on them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win32.h"

constexpr char kOffsetsMappingName[] = "QuorvaneStandInModuleOffsets";

// Mapping bytes 0x00000..0x0FFFF are the module's offsets 0x0000..0xFFFF, byte for byte. The
// stand-in's counters follow at fixed places.
constexpr std::size_t kExchangeCountAt = 0x11000;   // uint32: exchange messages handled
constexpr std::size_t kGreetingAt = 0x11004;        // uint16: last word a client wrote at 0x330A
constexpr std::size_t kGreetingWritesAt = 0x11008;  // uint32: writes that reached 0x330A
constexpr std::size_t kFrameCountAt = 0x1100C;      // uint32: frames drawn (with --frame-ms)
constexpr std::size_t kOffsetsMappingSize = 0x12000;

// Another process's window onto a running stand-in's space.
struct OffsetsView {
    HANDLE mapping;      // null while closed
    std::uint8_t* base;  // mapping byte 0
};

// False when no stand-in module with that mapping runs.
bool OpenOffsetsView(OffsetsView& view, const char* name = kOffsetsMappingName);
void CloseOffsetsView(OffsetsView& view);

void ReadOffsets(const OffsetsView& view, std::uint32_t offset, void* into, std::size_t size);
void WriteOffsets(const OffsetsView& view, std::uint32_t offset, const void* from,
                  std::size_t size);
std::uint32_t ExchangeCount(const OffsetsView& view);
std::uint32_t FrameCount(const OffsetsView& view);
std::uint16_t LastGreeting(const OffsetsView& view);
