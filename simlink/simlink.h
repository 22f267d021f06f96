// The client side of the simulator module's IPC protocol: records queued in a shared request
// buffer, carried to the module by one window message per exchange.
//
// Every call writes its result on every call (LINK_OK on success) and returns true exactly
// when that result is LINK_OK.
#pragma once

#include <cstdint>

#include "platform/win32.h"
#include "simlink/link_result.h"
#include "simlink/request_queue.h"

// The names the simulator's module defines: the classes its window may have, looked for in this
// order, and the registered message that carries one exchange. Everything that finds, plays or
// fakes the module (the kit's module, the fake, the tools) takes them from here.
inline constexpr const char* kModuleWindowClasses[] = {"UIPCMAIN", "FS98MAIN"};
inline constexpr char kIpcMessageName[] = "FsasmLib:IPC";

// The client's own note of one record it queued. The buffer's 4-byte destination field
// cannot hold a 64-bit pointer, so it carries the record's index + 1 here instead (0 for no
// destination), and the reply walk checks every record against its note.
struct QueuedRecord {
    std::uint32_t id;    // kReadRecordId or kWriteRecordId
    std::uint32_t size;  // data bytes
    void* destination;   // where a read's bytes go; null for writes and for reads into nothing
};

struct LinkState {
    HWND moduleWindow;            // the module's window that receives the exchange message
    UINT ipcMessageId;            // the registered message kIpcMessageName
    ATOM bufferAtom;              // names the request buffer's mapping for the module
    std::uint8_t* bufferStart;    // this process's view of the buffer; null while closed
    std::uint8_t* writePos;       // where the next record goes
    HANDLE bufferMapping;         // the mapping behind bufferStart
    std::uint32_t moduleVersion;  // handshake read of 0x3304
    std::uint32_t simulatorId;    // handshake read of 0x3308; the simulator's id once accepted
    std::uint32_t openCount;      // second number of the mapping name, never reset
    std::uint32_t queuedCount;    // records queued since the last exchange
    DWORD lastSendError;          // the last error after the last exchange whose sends all failed
    std::uint32_t recordsWalked;  // records of the last exchange sent that its reply kept intact
    QueuedRecord queued[kMaxQueuedRecords];
};

extern LinkState g_link;

bool LinkRead(std::uint32_t offset, std::uint32_t size, void* destination, LinkResult& result);
bool LinkWrite(std::uint32_t offset, std::uint32_t size, const void* source, LinkResult& result);
// Sends the queue and hands each read its data. A reply may leave reads out (the walk stops at
// the first record the module disturbed): those destinations keep their old bytes and the
// exchange still succeeds. A caller that needs every read compares g_link.recordsWalked with
// the records it queued: the reads among the first recordsWalked records arrived, no later one
// did. It is 0 after an exchange that was sent and failed.
bool LinkProcess(LinkResult& result);

bool LinkOpen(std::uint32_t requiredSimulator, LinkResult& result);
// Whether the module's window answers WM_NULL within `timeoutMs`, asked without opening the
// link. No window, or a refusal outright (rights, a window just closed), counts as an answer:
// opening the link then fails at once, in its own words.
bool LinkModuleAnswers(UINT timeoutMs);
void LinkClose();

// Back to the start values after LinkClose, for a reconnect: only the name counter goes on, so
// that no buffer name is used twice in one process.
void ResetLinkState();
// Tests only: the state of a fresh process, whose name counter starts at 0 as well.
void ResetLinkStateForTest();
