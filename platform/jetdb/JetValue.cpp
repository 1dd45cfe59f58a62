#include "platform/jetdb/JetValue.h"

#include <cstring>
#include <new>

BSTR JetAllocText(const char16_t* pText, size_t nLength)
{
    BSTR pCopy = new (std::nothrow) char16_t[nLength + 1];
    if (pCopy == nullptr)
        return nullptr;
    if (nLength > 0)
        std::memcpy(pCopy, pText, nLength * sizeof(char16_t));
    pCopy[nLength] = u'\0';
    return pCopy;
}

void JetFreeText(BSTR pText)
{
    delete[] pText;
}

size_t JetTextLength(const char16_t* pText)
{
    size_t nLength = 0;
    if (pText != nullptr) {
        while (pText[nLength] != u'\0')
            ++nLength;
    }
    return nLength;
}

void JetInitValue(VARIANT* pValue)
{
    if (pValue == nullptr)
        return;
    std::memset(pValue, 0, sizeof(*pValue));
    pValue->vt = VT_EMPTY;
}

void JetClearValue(VARIANT* pValue)
{
    if (pValue == nullptr)
        return;
    if (pValue->vt == VT_BSTR)
        JetFreeText(pValue->bstrVal);
    JetInitValue(pValue);
}
