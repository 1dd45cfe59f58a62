// The cut-text rule: how a text that came from a narrower field is known for
// the same text cut short.
//
// The two address books keep their texts in fields of different widths, and
// every writer cuts a text to its field's width minus one. A text that went
// through a narrower field and came back therefore arrives with one of a few
// lengths and is the start of the text it was cut from. Matching takes such
// a cut copy for the whole text, and merging never lets it shorten the whole
// text it came from. Both go through IsCutCopy, so the two never disagree.
#pragma once

#include <cstddef>
#include <cstring>

// The lengths a cut text has: the widths, minus one, of the narrower text
// fields of either address book (16, 24, 32, 64, 128, 256 and 2048 bytes).
inline constexpr size_t kCutLengths[] = {15, 23, 31, 63, 127, 255, 2047};

// Whether a text of nLength characters may be a cut copy.
constexpr bool IsCutLength(size_t nLength)
{
    for (size_t nCut : kCutLengths)
        if (nLength == nCut)
            return true;
    return false;
}

// How IsCutCopy compares the characters of the two texts.
enum class CutCompare {
    Exact,   // byte for byte (merging: the stored bytes are kept as they are)
    FoldAZ,  // a-z taken for A-Z, nothing else folded (matching)
};

// Whether pszCut (nCutLen characters) is pszWhole (nWholeLen characters) cut
// short on its way: nCutLen is a cut length, the whole text is longer, and it
// starts with the cut one. Reads at most nCutLen bytes of either text, so
// neither needs its terminator within its field.
inline bool IsCutCopy(const char* pszCut, size_t nCutLen, const char* pszWhole, size_t nWholeLen,
                      CutCompare eCompare = CutCompare::Exact)
{
    if (!IsCutLength(nCutLen) || nWholeLen <= nCutLen)
        return false;
    if (eCompare == CutCompare::Exact)
        return std::memcmp(pszCut, pszWhole, nCutLen) == 0;
    const auto upper = [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 'a' && u <= 'z' ? static_cast<unsigned char>(u - 'a' + 'A') : u;
    };
    for (size_t i = 0; i < nCutLen; ++i)
        if (upper(pszCut[i]) != upper(pszWhole[i]))
            return false;
    return true;
}
