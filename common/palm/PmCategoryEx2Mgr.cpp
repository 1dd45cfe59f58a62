#include "common/palm/PmCategoryEx2Mgr.h"

#include <cstring>
#include <new>

#include "common/misc/CxDebugUtil.h"
#include "common/palm/PmCategoryEx2.h"
#include "common/palm/PmDataAccessor.h"

namespace {

// Columns of "Category", in the order they are selected and inserted.
constexpr const char* kCategoryColumns[] = {"ID", "Name", "Status", "Color"};
constexpr int kCategoryColumnCount = 4;
// A category insert is kept in a buffer of this many bytes.
constexpr size_t kInsertBufferSize = 1024;

}  // namespace

PmCategoryEx2Mgr::PmCategoryEx2Mgr() : m_pAccessor(nullptr) { }

PmCategoryEx2Mgr::~PmCategoryEx2Mgr()
{
    Clear();
}

int PmCategoryEx2Mgr::Count()
{
    return static_cast<int>(m_list.GetCount());
}

void PmCategoryEx2Mgr::Clear()
{
    for (void* p = m_list.GetFirst(); p != nullptr; p = m_list.GetNext())
        delete static_cast<PmCategoryEx2*>(p);
    m_list.RemoveAll(false);
}

bool PmCategoryEx2Mgr::Append(const PmCategoryEx2* pCategory)
{
    if (pCategory == nullptr)
        return false;
    PmCategoryEx2* pCopy = new (std::nothrow) PmCategoryEx2(*pCategory);
    if (pCopy == nullptr)
        return false;
    if (!m_list.AddTail(pCopy)) {
        delete pCopy;
        return false;
    }
    return true;
}

bool PmCategoryEx2Mgr::AddCategory(PmCategoryEx2* pCategory)
{
    if (m_pAccessor == nullptr || pCategory == nullptr)
        return false;

    int32_t nId = Count() + 1;
    if (FindById(nId) != nullptr) {
        // The table's ids need not run from 1: take one past the largest.
        int32_t nMax = 0;
        for (PmCategoryEx2* p = First(); p != nullptr; p = Next()) {
            if (p->m_nId > nMax)
                nMax = p->m_nId;
        }
        nId = nMax + 1;
    }
    pCategory->m_nId = nId;

    VARIANT* pValues = PmDataAccessor::AllocValues(kCategoryColumnCount);
    if (pValues == nullptr)
        return false;
    const bool bValues = PmDataAccessor::IntValue(nId, &pValues[0]) &&
                         PmDataAccessor::TextValue(pCategory->m_szName, &pValues[1]) &&
                         PmDataAccessor::IntValue(1, &pValues[2]) && PmDataAccessor::IntValue(0, &pValues[3]);
    if (!bValues) {
        PmDataAccessor::FreeValues(pValues, kCategoryColumnCount);
        return false;
    }
    {
        const char* pszSql =
            m_pAccessor->BuildCategorySql(nullptr, kSqlInsert, kCategoryColumns, pValues, kCategoryColumnCount);
        const size_t nLength = std::strlen(pszSql);
        if (nLength >= kInsertBufferSize) {
            g_DebugUtil.Log(0, __FILE__, __LINE__, "Category insert too long, not run: %.60s", pCategory->m_szName);
        } else if (nLength > 0) {
            char szSql[kInsertBufferSize];
            std::memcpy(szSql, pszSql, nLength + 1);
            m_pAccessor->Execute(szSql, false);
        }
    }
    PmDataAccessor::FreeValues(pValues, kCategoryColumnCount);
    return Append(pCategory);
}

PmCategoryEx2* PmCategoryEx2Mgr::FindById(int32_t nId)
{
    for (PmCategoryEx2* p = First(); p != nullptr; p = Next()) {
        if (p->m_nId == nId)
            return p;
    }
    return nullptr;
}

PmCategoryEx2* PmCategoryEx2Mgr::GetAt(int nIndex)
{
    if (nIndex < 0)
        return nullptr;
    return static_cast<PmCategoryEx2*>(m_list.GetByIndex(static_cast<uint32_t>(nIndex)));
}

PmCategoryEx2* PmCategoryEx2Mgr::FindByName(const char* pszName)
{
    if (pszName == nullptr || pszName[0] == '\0')
        return nullptr;
    for (PmCategoryEx2* p = First(); p != nullptr; p = Next()) {
        if (std::strcmp(p->m_szName, pszName) == 0)
            return p;
    }
    return nullptr;
}

PmCategoryEx2* PmCategoryEx2Mgr::First()
{
    return static_cast<PmCategoryEx2*>(m_list.GetFirst());
}

PmCategoryEx2* PmCategoryEx2Mgr::Next()
{
    return static_cast<PmCategoryEx2*>(m_list.GetNext());
}
