// Named mappings backed by the paging file: blocks, the handles and views that hold them, and
// blocks held by another process.
#include <algorithm>

#include "tests/fake_win32/world.h"

namespace fake {
namespace detail {
namespace {

// Larger requests fail as the system would when the paging file cannot back them.
constexpr std::uint64_t kLargestBlock = 64u << 20;
// Views start on multiples of the allocation granularity.
constexpr std::uint64_t kAllocationGranularity = 0x10000;

Block* FindNamedBlock(std::string_view name, unsigned* id = nullptr) {
    for (auto& [blockId, block] : TheWorld().blocks) {
        if (!block.name.empty() && block.name == name) {
            if (id != nullptr) *id = blockId;
            return &block;
        }
    }
    return nullptr;
}

// Block names are ASCII; a wide name matches when every character matches.
Block* FindNamedBlock(const WCHAR* name, unsigned* id) {
    for (auto& [blockId, block] : TheWorld().blocks) {
        if (block.name.empty()) continue;
        std::size_t i = 0;
        while (i < block.name.size() && name[i] == static_cast<WCHAR>(block.name[i])) ++i;
        if (i == block.name.size() && name[i] == 0) {
            *id = blockId;
            return &block;
        }
    }
    return nullptr;
}

unsigned NewBlock(std::string_view name, std::size_t size) {
    World& world = TheWorld();
    const unsigned id = world.nextBlock++;
    Block& block = world.blocks[id];
    block.name = std::string(name);
    block.size = size;
    block.bytes = std::make_unique<std::uint8_t[]>(size);  // zero-filled, as fresh pages are
    return id;
}

HANDLE NewHandle(unsigned blockId, DWORD access) {
    World& world = TheWorld();
    const std::uintptr_t value = world.nextHandle;
    world.nextHandle += 4;
    world.handles[value] = {blockId, access};
    ++world.blocks[blockId].handles;
    return reinterpret_cast<HANDLE>(value);
}

MappingHandle* FindHandle(HANDLE handle) {
    auto& handles = TheWorld().handles;
    const auto found = handles.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == handles.end() ? nullptr : &found->second;
}

// A write view needs a handle with write access; a read view one with read or write access.
bool AccessAllows(DWORD handleAccess, DWORD viewAccess) {
    if ((viewAccess & FILE_MAP_WRITE) != 0) return (handleAccess & FILE_MAP_WRITE) != 0;
    return (handleAccess & (FILE_MAP_READ | FILE_MAP_WRITE)) != 0;
}

}  // namespace

void ReleaseBlockIfUnused(unsigned blockId) {
    auto& blocks = TheWorld().blocks;
    const auto found = blocks.find(blockId);
    if (found == blocks.end()) return;
    const Block& block = found->second;
    if (block.handles == 0 && block.views == 0 && !block.heldByOtherProcess) blocks.erase(found);
}

}  // namespace detail

using detail::TheWorld;

unsigned LiveHandleCount() {
    return static_cast<unsigned>(TheWorld().handles.size());
}
unsigned LiveViewCount() {
    return static_cast<unsigned>(TheWorld().views.size());
}
bool BlockExists(std::string_view name) {
    return detail::FindNamedBlock(name) != nullptr;
}

std::span<std::uint8_t> BlockBytes(std::string_view name) {
    detail::Block* block = detail::FindNamedBlock(name);
    if (block == nullptr) return {};
    return {block->bytes.get(), block->size};
}

std::span<std::uint8_t> CreateBlockAsOtherProcess(std::string_view name, std::size_t size) {
    detail::Block* block = detail::FindNamedBlock(name);
    if (block == nullptr) block = &TheWorld().blocks[detail::NewBlock(name, size)];
    block->heldByOtherProcess = true;
    return {block->bytes.get(), block->size};
}

void ReleaseBlockOfOtherProcess(std::string_view name) {
    unsigned id = 0;
    detail::Block* block = detail::FindNamedBlock(name, &id);
    if (block == nullptr) return;
    block->heldByOtherProcess = false;
    detail::ReleaseBlockIfUnused(id);
}

DWORD LastOpenAccess() {
    return TheWorld().lastOpenAccess;
}
DWORD LastMapAccess() {
    return TheWorld().lastMapAccess;
}

}  // namespace fake

using fake::Call;
using fake::detail::EnterCall;
using fake::detail::TheWorld;

// Only mappings backed by the paging file are modelled.
HANDLE WINAPI CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD sizeHigh,
                                 DWORD sizeLow, LPCSTR name) {
    if (EnterCall(Call::CreateFileMappingA)) return nullptr;
    fake::detail::World& world = TheWorld();
    const std::uint64_t size = static_cast<std::uint64_t>(sizeHigh) << 32 | sizeLow;
    DWORD access = 0;
    if (protect == PAGE_READWRITE) access = FILE_MAP_ALL_ACCESS;
    if (protect == PAGE_READONLY) access = FILE_MAP_READ;
    if (file != INVALID_HANDLE_VALUE || access == 0 || size == 0) {
        world.lastError = fake::detail::kErrorInvalidParameter;
        return nullptr;
    }
    const std::string_view wanted = name == nullptr ? std::string_view() : name;
    unsigned id = 0;
    if (!wanted.empty() && fake::detail::FindNamedBlock(wanted, &id) != nullptr) {
        const HANDLE handle = fake::detail::NewHandle(id, access);
        world.lastError = ERROR_ALREADY_EXISTS;
        return handle;
    }
    if (size > fake::detail::kLargestBlock) {
        world.lastError = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    const HANDLE handle = fake::detail::NewHandle(
        fake::detail::NewBlock(wanted, static_cast<std::size_t>(size)), access);
    world.lastError = ERROR_SUCCESS;
    return handle;
}

HANDLE WINAPI OpenFileMappingW(DWORD access, BOOL, LPCWSTR name) {
    if (EnterCall(Call::OpenFileMappingW)) return nullptr;
    fake::detail::World& world = TheWorld();
    world.lastOpenAccess = access;
    unsigned id = 0;
    if (name == nullptr || fake::detail::FindNamedBlock(name, &id) == nullptr) {
        world.lastError = ERROR_FILE_NOT_FOUND;
        return nullptr;
    }
    return fake::detail::NewHandle(id, access);
}

LPVOID WINAPI MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow,
                            SIZE_T bytes) {
    if (EnterCall(Call::MapViewOfFile)) return nullptr;
    fake::detail::World& world = TheWorld();
    world.lastMapAccess = access;
    const fake::detail::MappingHandle* handle = fake::detail::FindHandle(mapping);
    if (handle == nullptr) {
        world.lastError = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    if (!fake::detail::AccessAllows(handle->access, access)) {
        world.lastError = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    fake::detail::Block& block = world.blocks[handle->blockId];
    const std::uint64_t offset = static_cast<std::uint64_t>(offsetHigh) << 32 | offsetLow;
    if (offset % fake::detail::kAllocationGranularity != 0) {
        world.lastError = fake::detail::kErrorMappedAlignment;
        return nullptr;
    }
    if (offset >= block.size || bytes > block.size - offset) {
        world.lastError = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    std::uint8_t* address = block.bytes.get() + offset;
    world.views.push_back({address, handle->blockId});
    ++block.views;
    return address;
}

BOOL WINAPI UnmapViewOfFile(LPCVOID view) {
    if (EnterCall(Call::UnmapViewOfFile)) return 0;
    fake::detail::World& world = TheWorld();
    const auto found =
        std::find_if(world.views.begin(), world.views.end(),
                     [view](const fake::detail::View& v) { return v.address == view; });
    if (found == world.views.end()) {
        world.lastError = fake::detail::kErrorInvalidParameter;
        return 0;
    }
    const unsigned blockId = found->blockId;
    world.views.erase(found);
    --world.blocks[blockId].views;
    fake::detail::ReleaseBlockIfUnused(blockId);
    return 1;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
    if (EnterCall(Call::CloseHandle)) return 0;
    if (fake::detail::CloseOtherHandle(handle)) return 1;
    fake::detail::World& world = TheWorld();
    const auto found = world.handles.find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == world.handles.end()) {
        world.lastError = ERROR_INVALID_HANDLE;
        return 0;
    }
    const unsigned blockId = found->second.blockId;
    world.handles.erase(found);
    --world.blocks[blockId].handles;
    fake::detail::ReleaseBlockIfUnused(blockId);
    return 1;
}
