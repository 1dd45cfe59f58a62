// Fuzzes the Palm data-file primitives over arbitrary bytes: counted texts,
// typed values, binary items and the category and schema blocks. The first
// byte picks the read sequence; every read must stay inside the data and
// every value read must write back to the bytes it came from.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/palm/PmDBUtil.h"

namespace {

void Check(bool bCondition)
{
    if (!bCondition)
        std::abort();
}

// Reads counted texts in both forms until the data runs out; each whole
// text read must write back to the same bytes (the short form below 255,
// the long form from 255 on, so a long-form text under 255 is the only
// difference allowed).
void CountedTexts(PmDBUtil& reader, const uint8_t* data, size_t size)
{
    for (int i = 0; i < 64; ++i) {
        const size_t nStart = size - reader.GetRemaining();
        char buf[40];
        int nCapacity = static_cast<int>(sizeof(buf)) - 1;
        if (i % 2 == 0) {
            if (!reader.ReadCString(buf, nCapacity)) {
                if (nCapacity > static_cast<int>(sizeof(buf)) - 1 && !reader.SkipBytes(static_cast<size_t>(nCapacity)))
                    return;
                continue;
            }
            Check(std::strlen(buf) <= sizeof(buf) - 1);
            continue;
        }
        std::string text;
        if (!reader.ReadCString(text))
            return;
        const size_t nUsed = size - reader.GetRemaining() - nStart;
        PmDBUtil writer;
        writer.OpenMemory();
        Check(writer.WriteCString(text.data(), text.size()));
        const auto& out = writer.GetWrittenBytes();
        const bool bShortStored = data[nStart] != 0xFF;
        if (bShortStored || text.size() >= 255) {
            Check(out.size() == nUsed);
            Check(std::memcmp(out.data(), data + nStart, nUsed) == 0);
        }
    }
}

// Reads typed values of every kind in an order driven by the data.
void TypedValues(PmDBUtil& reader)
{
    for (int i = 0; i < 256 && reader.GetRemaining() > 0; ++i) {
        BYTE kind = 0;
        if (!reader.ReadByte(kind))
            return;
        switch (kind % 5) {
        case 0: {
            int32_t n = 0;
            reader.ReadIntField(n);
            break;
        }
        case 1: {
            char buf[32];
            std::string whole;
            if (reader.ReadTextField(buf, static_cast<int>(1 + kind % sizeof(buf)), &whole))
                Check(std::strlen(buf) < sizeof(buf));
            break;
        }
        case 2: {
            PmBinaryItem item;
            if (reader.ReadBinaryItem(item)) {
                Check(item.data.size() == item.nSize);
                PmDBUtil writer;
                writer.OpenMemory();
                Check(writer.WriteBinaryItem(item));
                PmDBUtil again;
                const auto& out = writer.GetWrittenBytes();
                again.OpenBuffer(out.data(), out.size());
                PmBinaryItem back;
                Check(again.ReadBinaryItem(back));
                Check(back == item);
            }
            break;
        }
        case 3: {
            uint64_t q = 0;
            reader.ReadQuadField(q);
            break;
        }
        default: {
            if (kind & 0x80)
                reader.ReadCategories();
            else
                reader.ReadSchema();
            int32_t nId = 0;
            reader.GetCategoryId("Business", nId, (kind & 0x40) != 0);
            char szName[16];
            reader.GetCategoryName(nId, szName);
            break;
        }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    PmDBUtil reader;
    reader.OpenBuffer(data + 1, size - 1);
    if (data[0] & 1)
        CountedTexts(reader, data + 1, size - 1);
    else
        TypedValues(reader);

    // Whatever the list became, it must write and read back.
    PmDBUtil writer;
    writer.OpenMemory();
    writer.m_pCatMgr = std::move(reader.m_pCatMgr);
    if (writer.WriteCategories()) {
        PmDBUtil again;
        const auto& out = writer.GetWrittenBytes();
        again.OpenBuffer(out.data(), out.size());
        Check(again.ReadCategories());
        Check(again.GetRemaining() == 0);
    }
    return 0;
}
