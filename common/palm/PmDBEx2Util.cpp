#include "common/palm/PmDBEx2Util.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "common/palm/PmCategoryEx2.h"
#include "common/palm/PmCategoryEx2Mgr.h"
#include "common/palm/PmInfoEx2.h"
#include "common/palm/PmMDBAccessor.h"
#include "platform/fsutil/FsUtil.h"

namespace {

constexpr const char* kCategoryColumns[] = {"ID", "Name", "Status", "Color"};
constexpr int kCategoryColumnCount = 4;
constexpr const char* kInformationColumns[] = {"Name", "Note"};
constexpr int kInformationColumnCount = 2;
constexpr const char* kRecordIdColumn[] = {"Record ID"};
// Where clauses of a select on "Main" are built in a buffer of this size.
constexpr int kWhereBufferSize = 40960;
// Longest Information key or value handled here.
constexpr int kInfoTextSize = 1024;

// The numeric keys of "Information" and the field each one sets.
struct InfoKey {
    const char* pszKey;
    int32_t PmInfoEx2::*pField;
};
constexpr InfoKey kInfoKeys[] = {
    {"License", &PmInfoEx2::License},   {"Version", &PmInfoEx2::Version},     {"Minor", &PmInfoEx2::Minor},
    {"CodePage", &PmInfoEx2::CodePage}, {"PreSahara", &PmInfoEx2::PreSahara}, {"FreeRecID", &PmInfoEx2::FreeRecID},
};

}  // namespace

PmDBEx2Util::PmDBEx2Util() : m_pAccessor(nullptr), m_pCategoryMgr(new PmCategoryEx2Mgr()), m_pInfo(new PmInfoEx2()) { }

PmDBEx2Util::~PmDBEx2Util()
{
    delete m_pCategoryMgr;
    delete m_pInfo;
    delete m_pAccessor;
}

bool PmDBEx2Util::Open(int nKind, const char* pszPath)
{
    if (pszPath == nullptr || pszPath[0] == '\0')
        return false;
    m_LastFailure.Clear();
    m_bFailureLogged = false;
    const std::string path = ResolvePathCase(pszPath);
    m_LastFailure = CheckInputPath(path);
    if (m_LastFailure.IsSet())
        return false;
    if (m_pAccessor == nullptr)
        m_pAccessor = new PmMDBAccessor(nKind, path.c_str());
    else
        m_pAccessor->Connect(nKind, path.c_str());
    m_pCategoryMgr->SetAccessor(m_pAccessor);
    if (!m_pAccessor->IsConnected()) {
        // Not a database, or not one that can be read: nothing is listed
        // from it and nothing is ever written to it.
        m_LastFailure = m_pAccessor->GetLastFailure();
        m_bFailureLogged = true;  // by the accessor
        if (!m_LastFailure.IsSet())
            m_LastFailure = FailReason::Of(FailKind::Unreadable);
        m_pCategoryMgr->Clear();
        return false;
    }
    LoadCategories();
    return true;
}

bool PmDBEx2Util::LoadCategories()
{
    if (m_pAccessor == nullptr)
        return false;
    m_pCategoryMgr->Clear();
    VARIANT* pValues = nullptr;
    int nCount = kCategoryColumnCount;
    for (bool bRow = m_pAccessor->QueryFirst("Category", kCategoryColumns, &pValues, &nCount); bRow;
         bRow = m_pAccessor->QueryNext("Category", kCategoryColumns, &pValues, &nCount)) {
        PmCategoryEx2 category;
        if (nCount == kCategoryColumnCount) {
            PmDataAccessor::ValueToInt(&pValues[0], &category.m_nId);
            PmDataAccessor::ValueToText(&pValues[1], category.m_szName, PmCategoryEx2::kNameSize);
            PmDataAccessor::ValueToInt(&pValues[2], &category.m_nStatus);
            PmDataAccessor::ValueToInt(&pValues[3], &category.m_nColor);
        }
        m_pCategoryMgr->Append(&category);
        PmDataAccessor::FreeValues(pValues, nCount);
        pValues = nullptr;
        nCount = kCategoryColumnCount;
    }
    return true;
}

bool PmDBEx2Util::LoadInformation()
{
    if (m_pAccessor == nullptr)
        return false;
    VARIANT* pValues = nullptr;
    int nCount = kInformationColumnCount;
    for (bool bRow = m_pAccessor->QueryFirst("Information", kInformationColumns, &pValues, &nCount); bRow;
         bRow = m_pAccessor->QueryNext("Information", kInformationColumns, &pValues, &nCount)) {
        char szKey[kInfoTextSize];
        char szNote[PmInfoEx2::kTableStringSize];
        if (nCount == kInformationColumnCount && PmDataAccessor::ValueToText(&pValues[0], szKey, sizeof(szKey)) &&
            PmDataAccessor::ValueToText(&pValues[1], szNote, sizeof(szNote))) {
            if (std::strcmp(szKey, "TableString") == 0) {
                std::memcpy(m_pInfo->TableString, szNote, std::strlen(szNote) + 1);
            } else {
                for (const InfoKey& key : kInfoKeys) {
                    if (std::strcmp(szKey, key.pszKey) == 0)
                        m_pInfo->*key.pField = static_cast<int32_t>(std::strtol(szNote, nullptr, 10));
                }
            }
        }
        PmDataAccessor::FreeValues(pValues, nCount);
        pValues = nullptr;
        nCount = kInformationColumnCount;
    }
    return true;
}

bool PmDBEx2Util::QueryMainById(int32_t nId, const char* const* ppszColumns, VARIANT** ppValues, int* pnCount)
{
    if (m_pAccessor == nullptr)
        return false;
    VARIANT key;
    PmDataAccessor::IntValue(nId, &key);
    std::string where(kWhereBufferSize, '\0');
    if (!PmDataAccessor::BuildWhere(kRecordIdColumn, 1, &key, where.data(), kWhereBufferSize))
        return false;
    return QueryMainWhere(where.c_str(), ppszColumns, ppValues, pnCount);
}

bool PmDBEx2Util::QueryMainWhere(const char* pszWhere, const char* const* ppszColumns, VARIANT** ppValues, int* pnCount)
{
    if (m_pAccessor == nullptr || pnCount == nullptr)
        return false;
    const char* pszSql = m_pAccessor->BuildMainSql(pszWhere, kSqlSelect, ppszColumns, nullptr, *pnCount);
    return m_pAccessor->OpenQuery(pszSql, ppValues, pnCount);
}

bool PmDBEx2Util::ReadInformationValue(const char* pszKey, char* pszBuf, int nSize, bool* pbFound)
{
    if (m_pAccessor == nullptr || pszKey == nullptr || pszBuf == nullptr || nSize < 1 || pbFound == nullptr)
        return false;
    *pbFound = false;
    pszBuf[0] = '\0';
    VARIANT key;
    if (!PmDataAccessor::TextValue(pszKey, &key))
        return false;
    char szWhere[kInfoTextSize * 2 + 64];
    const bool bWhere = PmDataAccessor::BuildWhere(kInformationColumns, 1, &key, szWhere, sizeof(szWhere));
    JetClearValue(&key);
    if (!bWhere)
        return false;
    const char* pszSql =
        m_pAccessor->BuildInformationSql(szWhere, kSqlSelect, kInformationColumns, nullptr, kInformationColumnCount);
    VARIANT* pValues = nullptr;
    int nCount = 0;
    if (!m_pAccessor->OpenQuery(pszSql, &pValues, &nCount))
        return !m_pAccessor->LastExecuteFailed();
    *pbFound = true;
    if (nCount == kInformationColumnCount)
        PmDataAccessor::ValueToText(&pValues[1], pszBuf, nSize);
    PmDataAccessor::FreeValues(pValues, nCount);
    return true;
}

bool PmDBEx2Util::WriteInformationValue(const char* pszKey, const char* pszValue)
{
    char szOld[kInfoTextSize];
    bool bFound = false;
    if (!ReadInformationValue(pszKey, szOld, sizeof(szOld), &bFound))
        return false;

    VARIANT values[kInformationColumnCount];
    if (!PmDataAccessor::TextValue(pszKey, &values[0]))
        return false;
    if (!PmDataAccessor::TextValue(pszValue, &values[1])) {
        JetClearValue(&values[0]);
        return false;
    }
    std::string sql;
    if (bFound) {
        char szWhere[kInfoTextSize * 2 + 64];
        if (PmDataAccessor::BuildWhere(kInformationColumns, 1, &values[0], szWhere, sizeof(szWhere)))
            sql = m_pAccessor->BuildInformationSql(szWhere, kSqlUpdate, &kInformationColumns[1], &values[1], 1);
    } else {
        sql =
            m_pAccessor->BuildInformationSql(nullptr, kSqlInsert, kInformationColumns, values, kInformationColumnCount);
    }
    JetClearValue(&values[0]);
    JetClearValue(&values[1]);
    return !sql.empty() && m_pAccessor->Execute(sql.c_str(), false);
}
