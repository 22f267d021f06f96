#include "tools/kit-module/offsets_mapping.h"

#include <cstring>

namespace {

bool InsideMapping(std::uint32_t offset, std::size_t size) {
    return offset <= kOffsetsMappingSize && size <= kOffsetsMappingSize - offset;
}

}  // namespace

bool OpenOffsetsView(OffsetsView& view, const char* name) {
    view = {};
    view.mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name);
    if (view.mapping == nullptr) return false;
    view.base = static_cast<std::uint8_t*>(
        MapViewOfFile(view.mapping, FILE_MAP_ALL_ACCESS, 0, 0, kOffsetsMappingSize));
    if (view.base != nullptr) return true;
    CloseOffsetsView(view);
    return false;
}

void CloseOffsetsView(OffsetsView& view) {
    if (view.base != nullptr) UnmapViewOfFile(view.base);
    if (view.mapping != nullptr) CloseHandle(view.mapping);
    view = {};
}

// Bytes beyond the mapping read as 0 and take no writes.
void ReadOffsets(const OffsetsView& view, std::uint32_t offset, void* into, std::size_t size) {
    if (!InsideMapping(offset, size)) {
        std::memset(into, 0, size);
        return;
    }
    std::memcpy(into, view.base + offset, size);
}

void WriteOffsets(const OffsetsView& view, std::uint32_t offset, const void* from,
                  std::size_t size) {
    if (!InsideMapping(offset, size)) return;
    std::memcpy(view.base + offset, from, size);
}

std::uint32_t ExchangeCount(const OffsetsView& view) {
    std::uint32_t count;
    std::memcpy(&count, view.base + kExchangeCountAt, sizeof count);
    return count;
}

std::uint32_t FrameCount(const OffsetsView& view) {
    std::uint32_t count;
    std::memcpy(&count, view.base + kFrameCountAt, sizeof count);
    return count;
}

std::uint16_t LastGreeting(const OffsetsView& view) {
    std::uint16_t word;
    std::memcpy(&word, view.base + kGreetingAt, sizeof word);
    return word;
}
