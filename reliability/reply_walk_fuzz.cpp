// The reply walk against a module that may leave anything in the request buffer: a queue of
// reads and writes of any offsets and sizes, some reads into nothing, then any bytes written
// over the buffer after the module carried out the records.
//
// Whatever the buffer holds, the walk must stay inside it and inside each destination: every
// destination sits between guard bytes, and after the exchange holds either its old bytes or the
// data area of its own record, and the count of records walked ends where the reads handed on
// do. A module that keeps to the protocol (it changes data areas only) gets every read
// delivered, and the link serves a further exchange as if nothing had happened. The link opens
// once per process; each input starts from the same module space and an empty queue.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>

#include "simlink/simlink.h"
#include "tests/fake_win32/fake_win32.h"
#include "tests/fresh_world/fresh_world.h"

namespace {

constexpr std::size_t kGuardSize = 16;
constexpr std::uint8_t kGuardByte = 0xCC;
constexpr std::size_t kMostRecords = 200;
constexpr std::uint32_t kLargestSize = 32600;  // past what fits, so full queues happen too
constexpr std::size_t kMostPatches = 16;

[[noreturn]] void Broken(const char* rule) {
    std::fprintf(stderr, "reply walk: %s\n", rule);
    std::abort();
}

// What the module's space holds at every offset, so each read brings recognisable bytes.
std::uint8_t SpaceByte(std::uint64_t offset) {
    if (offset >= exchange::kModuleSpaceSize) return 0;  // past the space reads as 0
    return static_cast<std::uint8_t>(offset * 131 + (offset >> 8) + 7);
}

// What a destination holds when queued, from byte record % 256 of this pattern on:
// recognisable, and other from record to record.
constexpr std::size_t kPatternSize = 256 + kLargestSize;

struct QueuedRead {
    std::size_t record;    // its number in the input, which chose its bytes before
    std::size_t index;     // records queued before it
    std::size_t position;  // where the record starts in the buffer
    std::uint32_t offset;
    std::uint32_t size;
    std::uint8_t* storage;  // guard, destination, guard

    std::uint8_t* Destination() const { return storage + kGuardSize; }
};

// How the module treats the buffer once it has carried out the records.
enum class Tampering : std::uint8_t {
    None,      // as the protocol asks
    DataOnly,  // other bytes in the data areas of reads, headers untouched
    Anywhere,  // any bytes anywhere in the 32 KiB
};

struct Patch {
    std::size_t at;
    const std::uint8_t* bytes;
    std::size_t size;
};

// Everything an input uses, made once per process: the open link, the module's space as each
// input starts from it, and fixed room for the destinations, the written bytes and the patches.
// The accepted reads' destinations never add up to more than the request area; one refused read
// may still be as large as the largest size.
struct Bench {
    static constexpr std::size_t kDestinationRoom =
        kRequestAreaSize + kLargestSize + (kMostRecords + 1) * 2 * kGuardSize;

    exchange::ModuleSpace spaceAtStart;
    std::uint8_t before[kPatternSize];
    std::uint8_t zeros[kLargestSize];
    std::uint8_t destinations[kDestinationRoom];
    std::uint8_t source[kLargestSize];
    std::uint8_t patchBytes[kMostPatches * kRequestBufferSize];
    QueuedRead reads[kMostRecords];
    Patch patches[kMostPatches];
};

std::uint32_t ConsumeOffset(FuzzedDataProvider& input) {
    return input.ConsumeBool() ? input.ConsumeIntegral<std::uint32_t>()
                               : input.ConsumeIntegralInRange<std::uint32_t>(0, 0x10010);
}

std::uint32_t ConsumeSize(FuzzedDataProvider& input) {
    return input.ConsumeIntegralInRange<int>(0, 15) == 0
               ? input.ConsumeIntegralInRange<std::uint32_t>(0, kLargestSize)
               : input.ConsumeIntegralInRange<std::uint32_t>(0, 40);
}

bool SameBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t size) {
    return size == 0 || std::memcmp(a, b, size) == 0;
}

// The bytes a fixed buffer holds, compared and copied whole: a loop per byte here would cost
// more than the exchange under test.
const std::uint8_t* BytesBefore(const Bench& bench, std::size_t record) {
    return bench.before + record % 256;
}

// How many of `size` bytes from `offset` lie in the space; the rest read as 0.
std::size_t InsideSpace(std::uint64_t offset, std::uint32_t size) {
    return offset >= exchange::kModuleSpaceSize
               ? 0
               : std::min<std::uint64_t>(size, exchange::kModuleSpaceSize - offset);
}

void CopySpace(const Bench& bench, std::uint64_t offset, std::uint32_t size, std::uint8_t* to) {
    const std::size_t inside = InsideSpace(offset, size);
    if (inside != 0) std::memcpy(to, bench.spaceAtStart.bytes + offset, inside);
    std::memset(to + inside, 0, size - inside);
}

bool ShowsSpace(const Bench& bench, const std::uint8_t* bytes, std::uint64_t offset,
                std::uint32_t size) {
    const std::size_t inside = InsideSpace(offset, size);
    return (inside == 0 || SameBytes(bytes, bench.spaceAtStart.bytes + offset, inside)) &&
           SameBytes(bytes + inside, bench.zeros, size - inside);
}

bool GuardsIntact(const QueuedRead& read) {
    static constexpr std::uint8_t kGuard[kGuardSize] = {
        kGuardByte, kGuardByte, kGuardByte, kGuardByte, kGuardByte, kGuardByte,
        kGuardByte, kGuardByte, kGuardByte, kGuardByte, kGuardByte, kGuardByte,
        kGuardByte, kGuardByte, kGuardByte, kGuardByte};
    return SameBytes(read.storage, kGuard, kGuardSize) &&
           SameBytes(read.Destination() + read.size, kGuard, kGuardSize);
}

// The link opened once, against a module whose space shows the pattern; the first input pays.
Bench& OpenBench() {
    static Bench* const bench = [] {
        static Bench made;
        fresh_world::Reset();
        fake::StartModule();
        LinkResult result = LINK_OK;
        if (!LinkOpen(0, result)) Broken("the link did not open");
        for (std::size_t at = 0; at < exchange::kModuleSpaceSize; ++at) {
            fake::ModuleSpace().bytes[at] = SpaceByte(at);
        }
        made.spaceAtStart = fake::ModuleSpace();
        for (std::size_t at = 0; at < kPatternSize; ++at) {
            made.before[at] = static_cast<std::uint8_t>(at * 3 + 1);
        }
        return &made;
    }();
    fake::ModuleSpace() = bench->spaceAtStart;
    return *bench;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    Bench& bench = OpenBench();

    // The queue, as the client builds it.
    std::size_t readCount = 0;
    std::size_t queuedRecords = 0;
    std::size_t room = 0;  // the destinations' bytes in use
    std::size_t queued = 0;
    const std::size_t records = input.ConsumeIntegralInRange<std::size_t>(0, kMostRecords);
    for (std::size_t i = 0; i < records; ++i) {
        const bool isRead = input.ConsumeBool();
        const std::uint32_t offset = ConsumeOffset(input);
        const std::uint32_t recordSize = ConsumeSize(input);
        LinkResult result = LINK_OK;
        bool accepted = false;
        if (isRead) {
            const bool intoNothing = input.ConsumeIntegralInRange<int>(0, 4) == 0;
            const QueuedRead read{i,      queuedRecords, queued,
                                  offset, recordSize,    bench.destinations + room};
            std::memset(read.storage, kGuardByte, kGuardSize + recordSize + kGuardSize);
            std::memcpy(read.Destination(), BytesBefore(bench, i), recordSize);
            accepted =
                LinkRead(offset, recordSize, intoNothing ? nullptr : read.Destination(), result);
            if (accepted && !intoNothing) {
                bench.reads[readCount++] = read;
                room += kGuardSize + recordSize + kGuardSize;
            }
            if (accepted) queued += kReadHeaderSize + recordSize;
        } else {
            // The bytes the space holds already, so later reads still find the pattern.
            CopySpace(bench, offset, recordSize, bench.source);
            accepted = LinkWrite(offset, recordSize, bench.source, result);
            if (accepted) queued += kWriteHeaderSize + recordSize;
        }
        if (accepted) ++queuedRecords;
        if (!accepted && result != LINK_QUEUE_FULL) Broken("a record refused for no reason");
        if (static_cast<std::size_t>(g_link.writePos - g_link.bufferStart) != queued) {
            Broken("the queue does not end where its records do");
        }
    }
    const std::span<const QueuedRead> reads(bench.reads, readCount);

    // The module's side of the exchange.
    const auto tampering = static_cast<Tampering>(input.ConsumeIntegralInRange<int>(0, 2));
    const bool answersOne = input.ConsumeIntegralInRange<int>(0, 15) != 0;
    const std::size_t patchCount = input.ConsumeIntegralInRange<std::size_t>(0, kMostPatches);
    std::uint8_t* patchBytes = bench.patchBytes;
    for (Patch& patch : std::span(bench.patches, patchCount)) {
        patch = {0, patchBytes, 0};
        std::size_t asked = 0;
        if (tampering == Tampering::DataOnly && !reads.empty()) {
            const QueuedRead& read =
                reads[input.ConsumeIntegralInRange<std::size_t>(0, reads.size() - 1)];
            if (read.size == 0) continue;
            patch.at = read.position + kReadHeaderSize +
                       input.ConsumeIntegralInRange<std::size_t>(0, read.size - 1);
            const std::size_t left = read.position + kReadHeaderSize + read.size - patch.at;
            asked = input.ConsumeIntegralInRange<std::size_t>(1, left);
        } else if (tampering == Tampering::Anywhere) {
            patch.at = input.ConsumeIntegralInRange<std::size_t>(0, kRequestBufferSize - 1);
            asked = input.ConsumeIntegralInRange<std::size_t>(
                1, std::min<std::size_t>(16, kRequestBufferSize - patch.at));
        }
        patch.size = input.ConsumeData(patchBytes, asked);
        patchBytes += patch.size;
    }
    const std::span<const Patch> patches(bench.patches, patchCount);
    fake::SetAfterExchangeHook([patches](std::span<std::uint8_t> buffer) {
        for (const Patch& patch : patches) {
            if (patch.size != 0) std::memcpy(buffer.data() + patch.at, patch.bytes, patch.size);
        }
    });
    fake::SetModuleAnswer(answersOne ? 1 : 0);

    const unsigned exchangesBefore = fake::ExchangesHandled();
    LinkResult result = LINK_OK;
    const bool delivered = LinkProcess(result);
    const std::uint8_t* buffer = g_link.bufferStart;
    if (queued == 0) {
        if (result != LINK_NOTHING_QUEUED || fake::ExchangesHandled() != exchangesBefore) {
            Broken("an empty queue was sent");
        }
    } else if (delivered != answersOne || result != (answersOne ? LINK_OK : LINK_BAD_REPLY)) {
        Broken("the result does not match the module's answer");
    }

    // The count a caller that needs every read relies on: the records before the walk ended.
    // An empty queue sends nothing, and so leaves the count of the exchange before.
    const std::size_t walked = queued == 0 ? 0 : g_link.recordsWalked;
    if (walked > queuedRecords || (!delivered && walked != 0) ||
        (answersOne && tampering != Tampering::Anywhere && walked != queuedRecords)) {
        Broken("the records counted as walked are not those the walk handed on");
    }

    // Each destination holds its old bytes or its own record's data, and nothing past it moved.
    // Once one read is left out, so is every later one: the walk ends at the first bad record.
    bool walkEnded = false;
    for (const QueuedRead& read : reads) {
        if (!GuardsIntact(read)) Broken("a destination was written past its size");
        const std::uint8_t* data = buffer + read.position + kReadHeaderSize;
        const bool kept = SameBytes(read.Destination(), BytesBefore(bench, read.record), read.size);
        const bool filled = SameBytes(read.Destination(), data, read.size);
        if (!kept && !filled) Broken("a destination holds bytes not of its own record");
        if (!answersOne && !kept) Broken("a destination written by a refused exchange");
        if (walkEnded && filled && !kept) Broken("a read delivered after the walk ended");
        if (kept && !filled) walkEnded = true;
        if ((filled && !kept && read.index >= walked) || (kept && !filled && read.index < walked)) {
            Broken("a read counted as walked that was not handed on, or the other way round");
        }
        if (answersOne && tampering != Tampering::Anywhere && !filled) {
            Broken("a read of a well-behaved reply was not delivered");
        }
        if (answersOne && tampering == Tampering::None &&
            !ShowsSpace(bench, data, read.offset, read.size)) {
            Broken("a read brought other bytes than the module's");
        }
    }

    // Whatever the reply held, the link goes on as before.
    fake::SetAfterExchangeHook(nullptr);
    fake::SetModuleAnswer(1);
    if (g_link.writePos != g_link.bufferStart || g_link.queuedCount != 0) {
        Broken("records left queued after the exchange");
    }
    std::uint32_t word = 0;
    if (!LinkRead(0x1234, sizeof word, &word, result) || !LinkProcess(result)) {
        Broken("the link failed after a hostile reply");
    }
    const std::uint32_t expected = SpaceByte(0x1234) | SpaceByte(0x1235) << 8 |
                                   SpaceByte(0x1236) << 16 |
                                   static_cast<std::uint32_t>(SpaceByte(0x1237)) << 24;
    if (word != expected) Broken("the exchange after a hostile reply brought wrong bytes");
    return 0;
}
