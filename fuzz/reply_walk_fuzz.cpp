// The reply walk against a module that may leave anything in the request buffer: a queue of
// reads and writes of any offsets and sizes, some reads into nothing, then any bytes written
// over the buffer after the module carried out the records.
//
// Whatever the buffer holds, the walk must stay inside it and inside each destination: every
// destination sits between guard bytes, and after the exchange holds either its old bytes or the
// data area of its own record. A module that keeps to the protocol (it changes data areas only)
// gets every read delivered, and the link serves a further exchange as if nothing had happened.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "simlink/simlink.h"
#include "tests/fake_win32/fake_win32.h"

namespace {

constexpr std::size_t kGuardSize = 16;
constexpr std::uint8_t kGuardByte = 0xCC;
constexpr std::size_t kMostRecords = 200;
constexpr std::uint32_t kLargestSize = 32600;  // past what fits, so full queues happen too

[[noreturn]] void Broken(const char* rule) {
    std::fprintf(stderr, "reply walk: %s\n", rule);
    std::abort();
}

// What the module's space holds at every offset, so each read brings recognisable bytes.
std::uint8_t SpaceByte(std::uint64_t offset) {
    if (offset >= exchange::kModuleSpaceSize) return 0;  // past the space reads as 0
    return static_cast<std::uint8_t>(offset * 131 + (offset >> 8) + 7);
}

struct QueuedRead {
    std::size_t position;  // where the record starts in the buffer
    std::uint32_t offset;
    std::uint32_t size;
    std::vector<std::uint8_t> storage;  // guard, destination, guard
    std::vector<std::uint8_t> before;   // the destination's bytes when queued

    std::uint8_t* Destination() { return storage.data() + kGuardSize; }
};

// How the module treats the buffer once it has carried out the records.
enum class Tampering : std::uint8_t {
    None,      // as the protocol asks
    DataOnly,  // other bytes in the data areas of reads, headers untouched
    Anywhere,  // any bytes anywhere in the 32 KiB
};

struct Patch {
    std::size_t at;
    std::vector<std::uint8_t> bytes;
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

bool GuardsIntact(const QueuedRead& read) {
    for (std::size_t i = 0; i < kGuardSize; ++i) {
        if (read.storage[i] != kGuardByte) return false;
        if (read.storage[kGuardSize + read.size + i] != kGuardByte) return false;
    }
    return true;
}

void OpenLink() {
    fake::Reset();
    ResetLinkStateForTest();
    fake::StartModule();
    LinkResult result = LINK_OK;
    if (!LinkOpen(0, result)) Broken("the link did not open");
    for (std::size_t at = 0; at < exchange::kModuleSpaceSize; ++at) {
        fake::ModuleSpace().bytes[at] = SpaceByte(at);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    OpenLink();

    // The queue, as the client builds it.
    std::vector<QueuedRead> reads;
    std::vector<std::uint8_t> source;
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
            QueuedRead read{queued, offset, recordSize, {}, {}};
            read.storage.assign(kGuardSize + recordSize + kGuardSize, kGuardByte);
            for (std::uint32_t j = 0; j < recordSize; ++j) {
                read.Destination()[j] = static_cast<std::uint8_t>(i * 29 + j * 3 + 1);
            }
            read.before.assign(read.Destination(), read.Destination() + recordSize);
            accepted =
                LinkRead(offset, recordSize, intoNothing ? nullptr : read.Destination(), result);
            if (accepted && !intoNothing) reads.push_back(std::move(read));
            if (accepted) queued += kReadHeaderSize + recordSize;
        } else {
            // The bytes the space holds already, so later reads still find the pattern.
            source.resize(recordSize);
            for (std::uint32_t j = 0; j < recordSize; ++j)
                source[j] = SpaceByte(std::uint64_t{offset} + j);
            accepted = LinkWrite(offset, recordSize, source.data(), result);
            if (accepted) queued += kWriteHeaderSize + recordSize;
        }
        if (!accepted && result != LINK_QUEUE_FULL) Broken("a record refused for no reason");
        if (static_cast<std::size_t>(g_link.writePos - g_link.bufferStart) != queued) {
            Broken("the queue does not end where its records do");
        }
    }

    // The module's side of the exchange.
    const auto tampering = static_cast<Tampering>(input.ConsumeIntegralInRange<int>(0, 2));
    const bool answersOne = input.ConsumeIntegralInRange<int>(0, 15) != 0;
    std::vector<Patch> patches(input.ConsumeIntegralInRange<std::size_t>(0, 16));
    for (Patch& patch : patches) {
        if (tampering == Tampering::DataOnly && !reads.empty()) {
            const QueuedRead& read =
                reads[input.ConsumeIntegralInRange<std::size_t>(0, reads.size() - 1)];
            if (read.size == 0) continue;
            patch.at = read.position + kReadHeaderSize +
                       input.ConsumeIntegralInRange<std::size_t>(0, read.size - 1);
            const std::size_t room = read.position + kReadHeaderSize + read.size - patch.at;
            patch.bytes = input.ConsumeBytes<std::uint8_t>(
                input.ConsumeIntegralInRange<std::size_t>(1, room));
        } else if (tampering == Tampering::Anywhere) {
            patch.at = input.ConsumeIntegralInRange<std::size_t>(0, kRequestBufferSize - 1);
            patch.bytes =
                input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(
                    1, std::min<std::size_t>(16, kRequestBufferSize - patch.at)));
        }
    }
    fake::SetAfterExchangeHook([&](std::span<std::uint8_t> buffer) {
        for (const Patch& patch : patches) {
            if (patch.bytes.empty()) continue;
            std::memcpy(buffer.data() + patch.at, patch.bytes.data(), patch.bytes.size());
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

    // Each destination holds its old bytes or its own record's data, and nothing past it moved.
    // Once one read is left out, so is every later one: the walk ends at the first bad record.
    bool walkEnded = false;
    for (QueuedRead& read : reads) {
        if (!GuardsIntact(read)) Broken("a destination was written past its size");
        const std::uint8_t* data = buffer + read.position + kReadHeaderSize;
        const bool kept = SameBytes(read.Destination(), read.before.data(), read.size);
        const bool filled = SameBytes(read.Destination(), data, read.size);
        if (!kept && !filled) Broken("a destination holds bytes not of its own record");
        if (!answersOne && !kept) Broken("a destination written by a refused exchange");
        if (walkEnded && filled && !kept) Broken("a read delivered after the walk ended");
        if (kept && !filled) walkEnded = true;
        if (answersOne && tampering != Tampering::Anywhere && !filled) {
            Broken("a read of a well-behaved reply was not delivered");
        }
        if (answersOne && tampering == Tampering::None) {
            for (std::uint32_t j = 0; j < read.size; ++j) {
                if (data[j] != SpaceByte(std::uint64_t{read.offset} + j)) {
                    Broken("a read brought other bytes than the module's");
                }
            }
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
    LinkClose();
    return 0;
}
