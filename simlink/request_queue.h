// Layout of the shared request buffer, as both sides of an exchange see it. All fields are
// little-endian 32-bit words, packed with no alignment.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t kRequestBufferSize = 0x8000;  // the whole shared mapping
constexpr std::size_t kRequestAreaSize = 0x7F00;    // records and terminator; the rest is spare

constexpr std::uint32_t kTerminatorId = 0;
constexpr std::uint32_t kReadRecordId = 1;
constexpr std::uint32_t kWriteRecordId = 2;

constexpr std::size_t kReadHeaderSize = 16;   // id, offset, size, destination
constexpr std::size_t kWriteHeaderSize = 12;  // id, offset, size
constexpr std::size_t kTerminatorSize = 4;

// Field positions within a record.
constexpr std::size_t kRecordIdField = 0;
constexpr std::size_t kRecordOffsetField = 4;
constexpr std::size_t kRecordSizeField = 8;
constexpr std::size_t kRecordDestinationField = 12;

// The most records that fit: empty writes, each 12 bytes, before the terminator.
constexpr std::size_t kMaxQueuedRecords = (kRequestAreaSize - kTerminatorSize) / kWriteHeaderSize;
