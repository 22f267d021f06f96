#include "tools/kit-addon/kit_mark.h"

#include <cstring>

#include "sdk/sdk.h"
#include "tools/kit-addon/addon_blocks.h"

namespace {

// The mark lies at the mapping's end, far beyond the bytes any reader of the add-on's block
// maps (kStateViewSize): the bridge never sees it, and the real add-on's mapping, which ends
// after those bytes, cannot hold it.
struct KitMark {
    char text[16];  // kMarkText
    DWORD owner;    // the process id of the kit add-on playing into it; 0 after its end
};

constexpr char kMarkText[16] = "Quorvane kit!";
constexpr std::size_t kMarkAt = kStateBlockSize - sizeof(KitMark);
static_assert(kMarkAt >= kStateViewSize, "the mark must lie beyond what readers map");

constexpr BOOL kNotInheritable = FALSE;

// Whether process `id` still runs. One that cannot be opened is taken as ended.
bool ProcessRuns(DWORD id) {
    const HANDLE process = OpenProcess(SYNCHRONIZE, kNotInheritable, id);
    if (process == nullptr) return false;
    const bool runs = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return runs;
}

void WriteOwner(std::uint8_t* stateView, DWORD owner) {
    KitMark mark{};
    std::memcpy(mark.text, kMarkText, sizeof mark.text);
    mark.owner = owner;
    std::memcpy(stateView + kMarkAt, &mark, sizeof mark);
}

}  // namespace

StateMappingFound ExamineStateMapping(DWORD& owner) {
    owner = 0;
    const HANDLE existing = OpenFileMappingW(FILE_MAP_READ, kNotInheritable, kStateMappingName);
    if (existing == nullptr) {
        return GetLastError() == ERROR_FILE_NOT_FOUND ? StateMappingFound::None
                                                      : StateMappingFound::Foreign;
    }
    // A mapping smaller than the kit's (the real add-on's) gives no view of this size.
    StateMappingFound found = StateMappingFound::Foreign;
    if (const void* view = MapViewOfFile(existing, FILE_MAP_READ, 0, 0, kStateBlockSize)) {
        KitMark mark;
        std::memcpy(&mark, static_cast<const std::uint8_t*>(view) + kMarkAt, sizeof mark);
        if (std::memcmp(mark.text, kMarkText, sizeof mark.text) == 0) {
            owner = mark.owner;
            found = owner != 0 && ProcessRuns(owner) ? StateMappingFound::KitRuns
                                                     : StateMappingFound::LeftByKit;
        }
        UnmapViewOfFile(view);
    }
    CloseHandle(existing);
    return found;
}

void WriteKitMark(std::uint8_t* stateView) {
    WriteOwner(stateView, GetCurrentProcessId());
}

void ReleaseKitMark(std::uint8_t* stateView) {
    WriteOwner(stateView, 0);
}
