// The simulator module: a window that answers "FsasmLib:IPC" by carrying out the records of
// the mapping named by the message's atom, with scripted answers and a log of what it did.
//
// Nothing on the exchange path allocates: lookups walk existing containers with string views
// and the log lives in fixed arrays.
#include <algorithm>
#include <cstring>

#include "simlink/simlink.h"
#include "tests/fake_win32/world.h"

namespace fake {
namespace detail {
namespace {

struct LoggedExchange {
    unsigned number;  // 1 for the first exchange since Reset; 0 for a slot never used
    std::size_t recordCount;
    LoggedRecord records[kLoggedRecordsEach];
};

struct Module {
    HWND window = nullptr;  // null while no module runs
    exchange::ModuleSpace space;
    DWORD_PTR answer = 1;
    unsigned timeoutsLeft = 0;
    std::optional<DWORD> timeoutError;  // none: the last error is left as it was
    std::function<void(std::span<std::uint8_t>)> afterExchange;
    unsigned exchangesHandled = 0;
    SendArguments lastSend{};
    LoggedExchange log[kLoggedExchanges];
};

Module& TheModule() {
    static Module module;  // static storage: the large log is not on any stack
    return module;
}

void LogRecord(void* context, exchange::RecordKind kind, std::uint32_t offset, std::uint32_t size,
               const std::uint8_t* data) {
    auto& entry = *static_cast<LoggedExchange*>(context);
    if (entry.recordCount == kLoggedRecordsEach) return;
    LoggedRecord& record = entry.records[entry.recordCount++];
    record.kind = kind;
    record.offset = offset;
    record.size = size;
    std::memset(record.data, 0, sizeof record.data);
    std::memcpy(record.data, data, std::min<std::size_t>(size, kLoggedDataBytes));
}

// The request buffer the atom names, or an empty span when the module cannot find one.
std::span<std::uint8_t> BufferNamedByAtom(WPARAM wParam) {
    const std::string_view name = AtomName(static_cast<ATOM>(wParam & 0xFFFF));
    if (name.empty()) return {};
    return BlockBytes(name);
}

}  // namespace

void ResetModule() {
    Module& module = TheModule();
    module.window = nullptr;
    exchange::ResetModuleSpace(module.space);
    module.answer = 1;
    module.timeoutsLeft = 0;
    module.timeoutError = 0;
    module.afterExchange = nullptr;
    module.exchangesHandled = 0;
    module.lastSend = {};
    for (LoggedExchange& entry : module.log) {
        entry.number = 0;
        entry.recordCount = 0;
    }
}

// Carries out one exchange on `buffer` and logs its records in the next slot.
void HandleExchange(std::span<std::uint8_t> buffer) {
    Module& module = TheModule();
    const unsigned number = ++module.exchangesHandled;
    LoggedExchange& entry = module.log[(number - 1) % kLoggedExchanges];
    entry.number = number;
    entry.recordCount = 0;
    exchange::CarryOutRecords(module.space, buffer.data(), buffer.size(), LogRecord, &entry);
    if (module.afterExchange) module.afterExchange(buffer);
}

}  // namespace detail

using detail::TheModule;

HWND StartModule(std::string_view className) {
    detail::Module& module = TheModule();
    module.window = AddWindow(className);
    return module.window;
}

exchange::ModuleSpace& ModuleSpace() {
    return TheModule().space;
}

void SetModuleVersion(std::uint32_t version) {
    exchange::WriteSpace32(TheModule().space, exchange::kModuleVersionOffset, version);
}

void SetModuleSimulatorWord(std::uint32_t word) {
    exchange::WriteSpace32(TheModule().space, exchange::kSimulatorWordOffset, word);
}

void SetModuleAnswer(DWORD_PTR answer) {
    TheModule().answer = answer;
}

void TimeOutNextSends(unsigned times, std::optional<DWORD> lastError) {
    TheModule().timeoutsLeft = times;
    TheModule().timeoutError = lastError;
}

void SetAfterExchangeHook(std::function<void(std::span<std::uint8_t> buffer)> hook) {
    TheModule().afterExchange = std::move(hook);
}

unsigned ExchangesHandled() {
    return TheModule().exchangesHandled;
}

const SendArguments& LastSend() {
    return TheModule().lastSend;
}

std::span<const std::uint8_t> LoggedRecord::Data() const {
    return {data, std::min<std::size_t>(size, kLoggedDataBytes)};
}

std::span<const LoggedRecord> ExchangeRecords(unsigned number) {
    if (number == 0) return {};
    const auto& entry = TheModule().log[(number - 1) % kLoggedExchanges];
    if (entry.number != number) return {};
    return {entry.records, entry.recordCount};
}

std::span<const LoggedRecord> LastExchangeRecords() {
    return ExchangeRecords(TheModule().exchangesHandled);
}

}  // namespace fake

using fake::Call;
using fake::detail::TheWorld;

// A window without the module, or a message other than the module's, is a window whose owner
// never answers: the send waits out its timeout.
LRESULT WINAPI SendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT flags, UINT timeoutMs, PDWORD_PTR result) {
    fake::detail::Module& module = fake::detail::TheModule();
    module.lastSend = {window, message, wParam, lParam, flags, timeoutMs};
    if (fake::detail::EnterCall(Call::SendMessageTimeoutA)) return 0;
    fake::detail::World& world = TheWorld();
    if (module.timeoutsLeft != 0) {
        --module.timeoutsLeft;
        world.now += timeoutMs;
        if (module.timeoutError) world.lastError = *module.timeoutError;
        return 0;
    }
    if (!fake::detail::WindowIsLive(window)) {
        world.lastError = fake::detail::kErrorInvalidWindowHandle;
        return 0;
    }
    // Any window whose thread runs answers WM_NULL at once.
    if (message == WM_NULL) {
        if (result != nullptr) *result = 0;
        return 1;
    }
    const UINT ipcMessage = fake::RegisteredMessage(kIpcMessageName);
    if (window != module.window || message == 0 || message != ipcMessage) {
        world.now += timeoutMs;
        world.lastError = ERROR_TIMEOUT;
        return 0;
    }
    // A module that cannot find the buffer handles the message but reports nothing done.
    const std::span<std::uint8_t> buffer = fake::detail::BufferNamedByAtom(wParam);
    DWORD_PTR answer = 0;
    if (!buffer.empty()) {
        fake::detail::HandleExchange(buffer);
        answer = module.answer;
    }
    if (result != nullptr) *result = answer;
    return 1;
}
