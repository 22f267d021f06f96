// The request queue and the exchange: records are built in place in the shared buffer, sent to
// the module in one message, and the read data is handed to its destinations afterwards.
#include <cstring>

#include "simlink/simlink.h"

LinkState g_link;

namespace {

constexpr UINT kSendTimeoutMs = 2000;
constexpr DWORD kPauseAfterFailedSendMs = 100;
constexpr int kSendAttempts = 9;

void StoreWord(std::uint8_t* at, std::uint32_t value) {
    std::memcpy(at, &value, sizeof value);
}

std::uint32_t LoadWord(const std::uint8_t* at) {
    std::uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

bool Fail(LinkResult code, LinkResult& result) {
    result = code;
    return false;
}

bool Succeed(LinkResult& result) {
    result = LINK_OK;
    return true;
}

std::size_t QueuedBytes() {
    return static_cast<std::size_t>(g_link.writePos - g_link.bufferStart);
}

// Whether a record of this header and size, with the terminator after it, still fits. Sizes
// come from the caller as 32-bit values, so the sum is formed in size_t and cannot wrap.
bool Fits(std::size_t header, std::uint32_t size) {
    return QueuedBytes() + header + size + kTerminatorSize <= kRequestAreaSize;
}

// Notes the record in the client's own table and returns what goes into its destination
// field: the note's number for a read into a variable, 0 for a read into nothing.
std::uint32_t NoteRecord(std::uint32_t id, std::uint32_t size, void* destination) {
    std::uint32_t index = g_link.queuedCount++;
    g_link.queued[index] = {id, size, destination};
    return destination != nullptr ? index + 1 : 0;
}

// Sends the exchange message, retrying only its delivery. Returns the module's answer, or
// nothing when every send failed, with the last send's error, read before the pause that
// follows it could overwrite it.
bool SendToModule(DWORD_PTR& answer, DWORD& lastError) {
    for (int attempt = 0; attempt < kSendAttempts; ++attempt) {
        if (SendMessageTimeoutA(g_link.moduleWindow, g_link.ipcMessageId,
                                static_cast<WPARAM>(g_link.bufferAtom), 0, SMTO_BLOCK,
                                kSendTimeoutMs, &answer) != 0) {
            return true;
        }
        lastError = GetLastError();
        Sleep(kPauseAfterFailedSendMs);
    }
    return false;
}

// What a send that got nothing back means. Windows 10 and 11 set ERROR_TIMEOUT when the timeout
// ran out, older systems leave 0: both are a module that did not answer in time. Any other error
// is a send that could not be delivered at all.
LinkResult SendFailure(DWORD lastError) {
    return lastError == 0 || lastError == ERROR_TIMEOUT ? LINK_TIMEOUT : LINK_SEND_FAILED;
}

// Hands each read's data to its destination. The module may have changed anything in the
// buffer, so every record is checked against the client's own note of it, and nothing is read
// past the bytes the queue occupied nor written past what the read asked for. The first record
// that does not match, or anything standing where the terminator was put, ends the walk as an
// unknown record would: its id is overwritten with 0. Returns the number of records walked,
// recordCount unless the walk ended early.
std::uint32_t DistributeReplies(std::uint32_t recordCount) {
    std::uint8_t* const start = g_link.bufferStart;
    std::size_t pos = 0;
    for (std::uint32_t index = 0; index < recordCount; ++index) {
        const QueuedRecord& note = g_link.queued[index];
        const std::uint32_t id = LoadWord(start + pos + kRecordIdField);
        if (id == kTerminatorId) return index;
        const bool isRead = note.id == kReadRecordId;
        const std::uint32_t expectedToken = isRead && note.destination != nullptr ? index + 1 : 0;
        if (id != note.id || LoadWord(start + pos + kRecordSizeField) != note.size ||
            (isRead && LoadWord(start + pos + kRecordDestinationField) != expectedToken)) {
            StoreWord(start + pos + kRecordIdField, kTerminatorId);
            return index;
        }
        if (!isRead) {
            pos += kWriteHeaderSize + note.size;
            continue;
        }
        if (note.destination != nullptr && note.size != 0) {
            std::memcpy(note.destination, start + pos + kReadHeaderSize, note.size);
        }
        pos += kReadHeaderSize + note.size;
    }
    // Every queued record was walked; pos is where the terminator was stored.
    if (LoadWord(start + pos) != kTerminatorId) StoreWord(start + pos, kTerminatorId);
    return recordCount;
}

}  // namespace

bool LinkRead(std::uint32_t offset, std::uint32_t size, void* destination, LinkResult& result) {
    if (g_link.bufferStart == nullptr) return Fail(LINK_NOT_OPEN, result);
    if (!Fits(kReadHeaderSize, size)) return Fail(LINK_QUEUE_FULL, result);

    std::uint8_t* record = g_link.writePos;
    StoreWord(record + kRecordIdField, kReadRecordId);
    StoreWord(record + kRecordOffsetField, offset);
    StoreWord(record + kRecordSizeField, size);
    StoreWord(record + kRecordDestinationField, NoteRecord(kReadRecordId, size, destination));
    std::memset(record + kReadHeaderSize, 0, size);
    g_link.writePos = record + kReadHeaderSize + size;
    return Succeed(result);
}

bool LinkWrite(std::uint32_t offset, std::uint32_t size, const void* source, LinkResult& result) {
    if (g_link.bufferStart == nullptr) return Fail(LINK_NOT_OPEN, result);
    if (!Fits(kWriteHeaderSize, size)) return Fail(LINK_QUEUE_FULL, result);

    std::uint8_t* record = g_link.writePos;
    StoreWord(record + kRecordIdField, kWriteRecordId);
    StoreWord(record + kRecordOffsetField, offset);
    StoreWord(record + kRecordSizeField, size);
    NoteRecord(kWriteRecordId, size, nullptr);
    if (size != 0) std::memcpy(record + kWriteHeaderSize, source, size);
    g_link.writePos = record + kWriteHeaderSize + size;
    return Succeed(result);
}

bool LinkProcess(LinkResult& result) {
    if (g_link.bufferStart == nullptr) return Fail(LINK_NOT_OPEN, result);
    if (g_link.writePos == g_link.bufferStart) return Fail(LINK_NOTHING_QUEUED, result);

    // From here on the queue is empty, whatever becomes of the exchange.
    const std::uint32_t recordCount = g_link.queuedCount;
    StoreWord(g_link.writePos, kTerminatorId);
    g_link.writePos = g_link.bufferStart;
    g_link.queuedCount = 0;

    DWORD_PTR answer = 0;
    // Kept for the window: access denied tells a module running with higher rights.
    if (!SendToModule(answer, g_link.lastSendError)) {
        g_link.recordsWalked = 0;
        return Fail(SendFailure(g_link.lastSendError), result);
    }
    if (answer != 1) {
        g_link.recordsWalked = 0;
        return Fail(LINK_BAD_REPLY, result);
    }

    g_link.recordsWalked = DistributeReplies(recordCount);
    return Succeed(result);
}
