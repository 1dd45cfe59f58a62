// The Palm address facade, end to end through files on disk: each generation
// is loaded, receives new and changed neutral records, is saved and loaded
// again, and what comes back is compared field by field with what was sent.
#include <gtest/gtest.h>

#include <fstream>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "common/misc/AppFolder.h"
#include "common/misc/CommAddrMgr.h"
#include "common/misc/CommAddrRecord.h"
#include "common/misc/CxDebugUtil.h"
#include "common/palm/PalmEntry.h"
#include "common/palm/PmAddrEx2DataMgr.h"
#include "common/palm/PmAddrEx2Record.h"
#include "common/palm/PmAddrEx2Util.h"
#include "common/palm/PmAddrExRecord.h"
#include "common/palm/PmAddrExUtil.h"
#include "common/palm/PmAddrInfo.h"
#include "common/palm/PmAddrUtil.h"
#include "common/palm/PmDesktop.h"
#include "common/palm/PmLibraries.h"
#include "platform/profile/PrivateProfile.h"
#include "tests/support/TestFiles.h"
#include "tools/d6gen/D6Gen.h"
#include "tools/datgen/DatGen.h"
#include "tools/pdgen/PdGen.h"

namespace {

constexpr int kDateConstant = 129080608;  // 0x07B20101 - 25569
constexpr double kJan1st2000 = 36526.0;   // OLE Automation day of 1 January 2000

// A scratch folder with its own (empty) settings file, so SwapName and PDPath
// never come from the machine running the tests.
class FacadeTest : public ::testing::Test {
protected:
    void SetUp() override { SetIniFilePathOverride(m_ini.c_str()); }
    void TearDown() override { SetIniFilePathOverride(nullptr); }

    std::string File(const std::string& name) const { return m_tmp.File(name); }

    vwtest::TempDir m_tmp{"facade"};
    const std::string m_dir = m_tmp.Path();
    const std::string m_ini = m_tmp.File("corvane.ini");
};

CommAddrRecord Contact(const char* pszFirst, const char* pszLast, const char* pszEmail = "")
{
    CommAddrRecord rec;
    ZeroCommRecord(&rec);
    SetTextField(&rec, CF_FIRST_NAME, pszFirst);
    SetTextField(&rec, CF_LAST_NAME, pszLast);
    SetTextField(&rec, CF_EMAIL, pszEmail);
    return rec;
}

// A copy of a stored neutral record, without the set's attached block.
CommAddrRecord Detached(const CommAddrRecord* pStored)
{
    CommAddrRecord rec = *pStored;
    rec.pAttached = nullptr;
    rec.nAttachedLen = 0;
    return rec;
}

const PalmEntry* EntryOf(const CommAddrRecord* pStored)
{
    return static_cast<const PalmEntry*>(pStored->pAttached);
}

// The neutral fields each generation carries both ways, phones included
// (classic: the first five labels only, it has five slots).
const std::vector<int32_t>& RoundTripFields(int nGen)
{
    static const std::vector<int32_t> classic = {
        CF_FIRST_NAME,  CF_LAST_NAME,    CF_COMPANY,  CF_TITLE,       CF_WORK_STREET, CF_WORK_CITY,   CF_WORK_STATE,
        CF_WORK_POSTAL, CF_WORK_COUNTRY, CF_NOTE,     CF_CUSTOM1,     CF_CUSTOM1 + 1, CF_CUSTOM1 + 2, CF_CUSTOM1 + 3,
        CF_WORK_PHONE,  CF_HOME_PHONE,   CF_WORK_FAX, CF_OTHER_PHONE, CF_EMAIL};
    static const std::vector<int32_t> extended = [] {
        std::vector<int32_t> ids = classic;
        for (int32_t id = CF_HOME_STREET; id <= CF_OTHER_COUNTRY; ++id)
            ids.push_back(id);
        for (int32_t id = CF_CUSTOM1 + 4; id <= CF_CUSTOM9; ++id)
            ids.push_back(id);
        ids.push_back(CF_PRIMARY_PHONE);
        ids.push_back(CF_MOBILE_PHONE);
        ids.push_back(CF_BIRTHDAY);
        return ids;
    }();
    static const std::vector<int32_t> desktop6 = [] {
        std::vector<int32_t> ids = {
            CF_FIRST_NAME,     CF_MIDDLE_NAME,     CF_LAST_NAME, CF_PREFIX,        CF_SUFFIX,      CF_NICK_NAME,
            CF_DISPLAY_NAME,   CF_COMPANY,         CF_TITLE,     CF_NOTE,          CF_IM1,         CF_IM2,
            CF_ASSISTANT_NAME, CF_ASSISTANT_PHONE, CF_BIRTHDAY,  CF_ANNIVERSARY,   CF_WORK_PHONE,  CF_HOME_PHONE,
            CF_WORK_FAX,       CF_OTHER_PHONE,     CF_EMAIL,     CF_PRIMARY_PHONE, CF_MOBILE_PHONE};
        for (int32_t id = CF_WORK_STREET; id <= CF_OTHER_COUNTRY; ++id)
            ids.push_back(id);
        return ids;
    }();
    return nGen == PmAddrInfo::kGenClassic ? classic : nGen == PmAddrInfo::kGenExtended ? extended : desktop6;
}

// A neutral record with every field the generation carries filled with a
// value of its own, as long as the field allows; the e-mail address takes all
// 63 characters the neutral record holds.
CommAddrRecord FullContact(int nGen, const char* pszFirst, const char* pszLast)
{
    CommAddrRecord rec = Contact(pszFirst, pszLast);
    for (int32_t id : RoundTripFields(nGen)) {
        if (id == CF_FIRST_NAME || id == CF_LAST_NAME)
            continue;
        if (id == CF_BIRTHDAY || id == CF_ANNIVERSARY) {
            *static_cast<double*>(GetFieldAddress(&rec, id)) = kJan1st2000 + id;
            continue;
        }
        std::string text = "v" + std::to_string(id) + " Zo\xEB";  // a Windows-1252 byte
        // As long as the field allows; a Palm note holds 2047 characters.
        text.resize(std::min<size_t>(static_cast<size_t>(GetFieldWidth(id) - 1), 2047), 'x');
        SetTextField(&rec, id, text.c_str());
    }
    std::string email = "jos\xE9.ramirez-" + std::string(40, 'e') + "@example.org";
    email.resize(63, 'g');
    SetTextField(&rec, CF_EMAIL, email.c_str());
    return rec;
}

void ExpectFieldsEqual(int nGen, const CommAddrRecord& sent, const CommAddrRecord* pGot)
{
    ASSERT_NE(pGot, nullptr);
    for (int32_t id : RoundTripFields(nGen)) {
        if (id == CF_BIRTHDAY || id == CF_ANNIVERSARY) {
            EXPECT_EQ(*static_cast<const double*>(GetFieldAddress(&sent, id)),
                      *static_cast<const double*>(GetFieldAddress(pGot, id)))
                << "field " << id;
        } else {
            EXPECT_STREQ(GetTextField(&sent, id), GetTextField(pGot, id)) << "field " << id;
        }
    }
}

// The stored record whose first and last name are these, or null.
const CommAddrRecord* FindContact(PmAddrInfo& info, const char* pszFirst, const char* pszLast)
{
    CommAddrMgr* pSet = info.GetContactSet();
    for (int i = 0; i < pSet->GetCount(); ++i) {
        const CommAddrRecord* pRec = pSet->GetRecordAt(i);
        if (std::strcmp(pRec->szFirstName, pszFirst) == 0 && std::strcmp(pRec->szLastName, pszLast) == 0)
            return pRec;
    }
    return nullptr;
}

TEST(PmAddrInfoRules, GenerationFromVersionAndDateConstant)
{
    struct Case {
        DWORD dwVersion;
        int nGen;
    };
    const Case cases[] = {{30499, 0}, {30500, 1}, {40101, 1},      {40102, 2},
                          {59999, 2}, {60000, 3}, {0xFFFFFFFF, 3}, {0, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(PmAddrInfo::GenerationFromVersion(c.dwVersion), c.nGen) << c.dwVersion;
    }
    EXPECT_EQ(PmAddrInfo::DateConstant(), kDateConstant);
}

TEST_F(FacadeTest, ConstructionLogsTheVersion)
{
    g_DebugUtil.SetFolder((m_dir + "/").c_str());
    g_DebugUtil.SetDetail(true, 2);
    {
        PmAddrInfo info(40102);
        EXPECT_EQ(info.GetExpectedGeneration(), PmAddrInfo::kGenExtended);
        EXPECT_EQ(info.GetLoadedGeneration(), PmAddrInfo::kGenUnknown);
        EXPECT_FALSE(info.IsLoaded());
    }
    g_DebugUtil.SetDetail(false, 0);
    g_DebugUtil.SetFolder(nullptr);
    EXPECT_NE(vwtest::ReadFileText(File("appdebug.log")).find("Palm Desktop Version: 40102"), std::string::npos);
}

TEST_F(FacadeTest, UserFilePathFollowsTheInstalledGeneration)
{
    const std::string palm = File("Palm");
    pdgen::Folder folder;
    folder.version[0] = 6;
    folder.version[1] = 0;
    folder.version[2] = 1;
    folder.users = {{"Ann", "Address", "Address.MDB", {}}};
    ASSERT_TRUE(pdgen::MakePalmDesktopFolder(palm, folder));
    ASSERT_TRUE(WritePrivateProfileStringA("Path", "PDPath", palm.c_str(), m_ini.c_str()));
    ASSERT_TRUE(LoadDesktopLibraries(PD_LIB_ALL));
    DWORD dwUser = 0;
    ASSERT_EQ(UmGetUserID(0, &dwUser), 0);

    PmAddrInfo desktop6;  // asks the installation: palm.exe 6.0.1
    EXPECT_EQ(desktop6.GetExpectedGeneration(), PmAddrInfo::kGenDesktop6);
    char szPath[MAX_PATH] = "";
    ASSERT_TRUE(desktop6.GetUserFilePath(dwUser, szPath, sizeof szPath));
    EXPECT_EQ(std::string(szPath), palm + "/Ann/Address/Address.MDB");  // as it is on disk

    // A user who has only the other generation's file (a copied folder
    // without palm.exe says nothing of its version) gets that file.
    PmAddrInfo classic(30500);
    ASSERT_TRUE(classic.GetUserFilePath(dwUser, szPath, sizeof szPath));
    EXPECT_EQ(std::string(szPath), palm + "/Ann/Address/Address.MDB");
    std::ofstream(palm + "/Ann/Address/ADDRESS.dat").put('x');
    ASSERT_TRUE(classic.GetUserFilePath(dwUser, szPath, sizeof szPath));
    EXPECT_EQ(std::string(szPath), palm + "/Ann/Address/ADDRESS.dat");
    ASSERT_TRUE(desktop6.GetUserFilePath(dwUser, szPath, sizeof szPath));
    EXPECT_EQ(std::string(szPath), palm + "/Ann/Address/Address.MDB");

    char szSmall[12] = "untouched";
    EXPECT_TRUE(classic.GetUserFilePath(dwUser, szSmall, sizeof szSmall));
    EXPECT_EQ(std::string(szSmall), (palm + "/Ann/Address/ADDRESS.dat").substr(0, sizeof szSmall - 1));
    std::strcpy(szSmall, "untouched");
    EXPECT_FALSE(classic.GetUserFilePath(dwUser + 1, szSmall, sizeof szSmall));
    EXPECT_STREQ(szSmall, "untouched");
    EXPECT_FALSE(classic.GetUserFilePath(dwUser, nullptr, MAX_PATH));
    UnloadDesktopLibraries(PD_LIB_ALL);
}

TEST_F(FacadeTest, LoadingChoosesTheReaderByExtensionAndContent)
{
    datgen::DatDescription classicFile;
    classicFile.records.push_back(datgen::DatRecord().Text(datgen::classic::kFirstName, "Ann"));
    const std::string classicPath = File("address.DAT");
    ASSERT_TRUE(datgen::WriteBytesToFile(classicPath, datgen::BuildFile(classicFile)));
    const std::string textPath = File("address.txt");
    ASSERT_TRUE(datgen::WriteBytesToFile(textPath, datgen::BuildFile(classicFile)));
    const std::string before = vwtest::ReadFileText(textPath);

    PmAddrInfo info(40102);
    ASSERT_TRUE(info.LoadContacts(classicPath.c_str()));  // extended reader fails, classic loads
    EXPECT_EQ(info.GetLoadedGeneration(), PmAddrInfo::kGenClassic);
    EXPECT_EQ(info.GetContactSet()->GetCount(), 1);

    EXPECT_FALSE(info.LoadContacts(textPath.c_str()));
    EXPECT_EQ(info.GetLoadedGeneration(), PmAddrInfo::kGenFailed);
    EXPECT_FALSE(info.IsLoaded());
    EXPECT_EQ(info.GetContactSet()->GetCount(), 0);
    CommAddrRecord rec = Contact("New", "One");
    EXPECT_FALSE(info.AddOrUpdate(&rec));
    EXPECT_FALSE(info.SaveContacts());
    EXPECT_EQ(vwtest::ReadFileText(textPath), before);

    EXPECT_FALSE(info.LoadContacts(""));
    EXPECT_FALSE(info.LoadContacts(File("missing.dat").c_str()));
    EXPECT_EQ(info.GetLoadedGeneration(), PmAddrInfo::kGenFailed);
}

TEST_F(FacadeTest, ClassicEndToEnd)
{
    using namespace datgen::classic;
    datgen::DatDescription desc;
    desc.format = datgen::DatFormat::Classic;
    desc.categories.push_back({1, 1, 0, "Business", "Business"});
    datgen::DatRecord ann;
    ann.Int(kId, 11)
        .Text(kFirstName, "Ann")
        .Text(kLastName, "Lee")
        .Text(kTitle, "Boss")
        .Int(kPrivate, 1)
        .Int(kCategory, 1);
    const int labels[] = {0, 0, 7, 6, 3};
    for (int n = 1; n <= 5; ++n)
        ann.Int(PhoneLabel(n), labels[n - 1]).Text(Phone(n), "p" + std::to_string(n));
    desc.records.push_back(ann);
    desc.records.push_back(datgen::DatRecord().Int(kStatus, 0x04).Text(kFirstName, "Del").Text(kLastName, "Eted"));
    desc.records.push_back(datgen::DatRecord().Int(kStatus, 0x80).Text(kFirstName, "Arch").Text(kLastName, "Ived"));
    desc.records.push_back(datgen::DatRecord().Text(kFirstName, "Bob").Text(kLastName, "O'Brien"));
    const std::string path = File("address.dat");
    ASSERT_TRUE(datgen::WriteBytesToFile(path, datgen::BuildFile(desc)));

    PmAddrInfo info(30500);
    info.SetSwapName(false);
    ASSERT_TRUE(info.LoadContacts(path.c_str()));
    ASSERT_EQ(info.GetLoadedGeneration(), PmAddrInfo::kGenClassic);
    CommAddrMgr* pSet = info.GetContactSet();
    ASSERT_EQ(pSet->GetCount(), 2);  // deleted and archived records are not listed
    ASSERT_EQ(info.GetEntryCount(), 2);

    // Phones by label: a later slot replaces an earlier one, label 6 is dropped.
    const CommAddrRecord* pAnn = pSet->GetRecordAt(0);
    EXPECT_STREQ(pAnn->szWorkPhone, "p2");
    EXPECT_STREQ(pAnn->szMobilePhone, "p3");
    EXPECT_STREQ(pAnn->szOtherPhone, "p5");
    EXPECT_STREQ(pAnn->szCategory, "Business");
    EXPECT_EQ(pAnn->nSourceType, CST_PALM);
    ASSERT_EQ(pAnn->nAttachedLen, sizeof(PalmEntry));
    EXPECT_EQ(EntryOf(pAnn)->pReaderRecord, info.GetAddrUtil()->m_pDataMgr->GetAt(0));
    EXPECT_EQ(EntryOf(pAnn)->pSetRecord, pAnn);

    // A new contact: every field the classic record holds, a new category.
    CommAddrRecord added = FullContact(PmAddrInfo::kGenClassic, "Jos\xE9", "Ram\xEDrez");
    SetTextField(&added, CF_CATEGORY, "Personal,Business");
    added.nPrivate = 1;
    ASSERT_TRUE(info.AddOrUpdate(&added));
    EXPECT_FALSE(info.AddOrUpdate(&added));  // now the same: nothing added twice
    const PmAddrRecord* pAddedRec = info.GetAddrUtil()->m_pDataMgr->GetAt(4);
    ASSERT_NE(pAddedRec, nullptr);
    const CommAddrRecord* pAddedSet = pSet->GetRecordAt(2);
    ASSERT_EQ(pAddedSet->nAttachedLen, sizeof(PalmEntry));
    EXPECT_EQ(EntryOf(pAddedSet)->pReaderRecord, pAddedRec);
    EXPECT_EQ(EntryOf(pAddedSet)->pSetRecord, pAddedSet);
    EXPECT_EQ(info.GetEntry(2)->pReaderRecord, pAddedRec);
    EXPECT_EQ(pAddedRec->nStatus, 0x01);
    EXPECT_EQ(pAddedRec->nPosition, 0x7FFFFFFF);
    EXPECT_EQ(pAddedRec->nId, 0);

    // "Home Fax" goes to label 2 when "Work Fax" is empty; slots fill in label order.
    CommAddrRecord fax = Contact("Fax", "Only");
    SetTextField(&fax, CF_HOME_FAX, "555-0001");
    SetTextField(&fax, CF_MOBILE_PHONE, "555-0002");
    ASSERT_TRUE(info.AddRecord(&fax));
    const PmAddrRecord* pFaxRec = info.GetAddrUtil()->m_pDataMgr->GetAt(5);
    EXPECT_EQ(pFaxRec->nPhoneLabel[0], 2);
    EXPECT_STREQ(pFaxRec->szPhone[0], "555-0001");
    EXPECT_EQ(pFaxRec->nPhoneLabel[1], 7);
    EXPECT_STREQ(pFaxRec->szPhone[1], "555-0002");

    // A change from the other side: no title and no private flag there.
    CommAddrRecord changed = Contact("ann", "LEE");
    SetTextField(&changed, CF_WORK_PHONE, "555-0100");
    ASSERT_TRUE(info.AddOrUpdate(&changed));
    ASSERT_TRUE(info.SaveContacts());

    PmAddrInfo again(30500);
    ASSERT_TRUE(again.LoadContacts(path.c_str()));
    ASSERT_EQ(again.GetContactSet()->GetCount(), 4);
    ExpectFieldsEqual(PmAddrInfo::kGenClassic, added, FindContact(again, "Jos\xE9", "Ram\xEDrez"));
    EXPECT_STREQ(FindContact(again, "Jos\xE9", "Ram\xEDrez")->szCategory, "Personal");
    EXPECT_FALSE(again.AddOrUpdate(&added));  // the 63-character address still matches
    EXPECT_EQ(again.GetContactSet()->GetCount(), 4);

    PmAddrDataMgr* pRecs = again.GetAddrUtil()->m_pDataMgr;
    ASSERT_EQ(pRecs->Count(), 6);
    const PmAddrRecord* pAnnRec = pRecs->GetAt(0);
    EXPECT_STREQ(pAnnRec->szFirstName, "ann");
    EXPECT_STREQ(pAnnRec->szPhone[1], "555-0100");  // the work slot the contact shows
    EXPECT_STREQ(pAnnRec->szPhone[0], "p1");
    EXPECT_STREQ(pAnnRec->szTitle, "Boss");
    EXPECT_EQ(pAnnRec->nPrivate, 1);
    EXPECT_EQ(pAnnRec->nStatus, 0x02);
    EXPECT_EQ(pAnnRec->nCategoryId, 1);
    EXPECT_EQ(pRecs->GetAt(1)->nStatus, 0x04);
    EXPECT_STREQ(pRecs->GetAt(1)->szFirstName, "Del");
    EXPECT_EQ(pRecs->GetAt(2)->nStatus, 0x80);
    EXPECT_STREQ(pRecs->GetAt(2)->szLastName, "Ived");
    EXPECT_EQ(pRecs->GetAt(4)->nPrivate, 1);
}

TEST_F(FacadeTest, ExtendedEndToEnd)
{
    using namespace datgen::extended;
    const std::string company40 = "Northwind Traders International Holding";  // 39 + 1
    const std::string company = company40 + "s";
    ASSERT_EQ(company.size(), 40u);
    datgen::DatDescription desc;
    desc.format = datgen::DatFormat::Extended;
    for (int i = 0; i < 10; ++i) {
        datgen::DatRecord rec;
        rec.Int(kId, 100 + i)
            .Int(kSequence, 4096 + i)
            .Int(kField3, 73 * i)
            .Text(kFirstName, "First" + std::to_string(i))
            .Text(kLastName, "Last" + std::to_string(i))
            .Double(kBirthday, 0.0);
        if (i == 1 || i == 2)
            rec.Int(kStatus, i == 1 ? 0x04 : 0x80);
        if (i == 0) {
            rec.Text(kCompany, company).Int(kPrivate, 1).Double(kBirthday, kDateConstant + kJan1st2000);
            datgen::DatBinary item;
            item.nType = 64;
            item.nCount = 5;
            item.bytes = "\x01\x02\x03\x04\x05";
            rec.Binary(Binary(1), item);
        }
        desc.records.push_back(rec);
    }
    const std::string path = File("address.dat");
    ASSERT_TRUE(datgen::WriteBytesToFile(path, datgen::BuildFile(desc)));

    PmAddrInfo info(40102);
    ASSERT_TRUE(info.LoadContacts(path.c_str()));
    ASSERT_EQ(info.GetLoadedGeneration(), PmAddrInfo::kGenExtended);
    CommAddrMgr* pSet = info.GetContactSet();
    ASSERT_EQ(pSet->GetCount(), 8);
    EXPECT_EQ(pSet->GetRecordAt(0)->dtBirthday, kJan1st2000);
    EXPECT_EQ(pSet->GetRecordAt(1)->dtBirthday, 0.0);  // no date on the Palm side reads as not set

    // Set position 3 belongs to the sixth reader record (two skipped before it).
    CommAddrRecord third = Detached(pSet->GetRecordAt(3));
    EXPECT_STREQ(third.szFirstName, "First5");
    SetTextField(&third, CF_NOTE, "changed at position 3");
    ASSERT_TRUE(info.UpdateRecord(&third, 3));
    PmAddrExDataMgr* pRecs = info.GetAddrExUtil()->m_pDataMgr;
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(std::string(pRecs->GetAt(i)->szNote), i == 5 ? "changed at position 3" : "") << i;

    // A round trip through the other side: the company comes back cut to 31
    // characters, no birthday and no private flag; only the phone changed.
    CommAddrRecord cut = Detached(pSet->GetRecordAt(0));
    cut.szCompany[31] = '\0';
    cut.dtBirthday = 0.0;
    cut.nPrivate = 0;
    SetTextField(&cut, CF_WORK_PHONE, "555-0199");
    ASSERT_TRUE(info.AddOrUpdate(&cut));
    const PmAddrExRecord* pFirst = pRecs->GetAt(0);
    EXPECT_EQ(std::string(pFirst->szCompany), company);
    EXPECT_EQ(pFirst->nPrivate, 1);
    EXPECT_EQ(PmDBUtil::QuadToDouble(pFirst->qBirthday), kDateConstant + kJan1st2000);
    EXPECT_STREQ(pSet->GetRecordAt(0)->szCompany, company.c_str());

    // New records: sequence, field 3 and placement follow the reader's count.
    CommAddrRecord added = FullContact(PmAddrInfo::kGenExtended, "Zo\xEB", "O'Brien");
    ASSERT_TRUE(info.AddOrUpdate(&added));
    const PmAddrExRecord* pAdded = pRecs->GetAt(10);
    ASSERT_NE(pAdded, nullptr);
    EXPECT_EQ(pAdded->nSequence, 4106);
    EXPECT_EQ(pAdded->nField3, 730);
    EXPECT_EQ(pAdded->nPlacement, 0x7FFFFFFF);
    EXPECT_EQ(pAdded->nStatus, 0x01);
    EXPECT_EQ(pAdded->nId, 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(pAdded->addresses[i].nKind, i);
    CommAddrRecord undated = Contact("No", "Date");
    ASSERT_TRUE(info.AddOrUpdate(&undated));
    EXPECT_EQ(PmDBUtil::QuadToDouble(pRecs->GetAt(11)->qBirthday), static_cast<double>(kDateConstant));
    EXPECT_EQ(pRecs->GetAt(11)->nSequence, 4107);

    ASSERT_TRUE(info.SaveContacts());
    PmAddrInfo again(40102);
    ASSERT_TRUE(again.LoadContacts(path.c_str()));
    ASSERT_EQ(again.GetContactSet()->GetCount(), 10);
    ExpectFieldsEqual(PmAddrInfo::kGenExtended, added, FindContact(again, "Zo\xEB", "O'Brien"));
    EXPECT_FALSE(again.AddOrUpdate(&added));
    EXPECT_STREQ(FindContact(again, "First0", "Last0")->szCompany, company.c_str());
    EXPECT_STREQ(FindContact(again, "First5", "Last5")->szNote, "changed at position 3");

    PmAddrExDataMgr* pSaved = again.GetAddrExUtil()->m_pDataMgr;
    ASSERT_EQ(pSaved->Count(), 12);
    EXPECT_EQ(pSaved->GetAt(1)->nStatus, 0x04);
    EXPECT_STREQ(pSaved->GetAt(1)->szFirstName, "First1");
    EXPECT_EQ(pSaved->GetAt(2)->nStatus, 0x80);
    EXPECT_EQ(pSaved->GetAt(0)->nStatus, 0x02);
    EXPECT_EQ(pSaved->GetAt(0)->items[0].data, std::vector<BYTE>({1, 2, 3, 4, 5}));
    EXPECT_EQ(pSaved->GetAt(0)->nPrivate, 1);
}

// Rows of "Main" as column -> text, for the rows the where clause selects.
std::vector<std::map<std::string, std::string>> Rows(const std::string& path, const std::string& where)
{
    std::vector<std::map<std::string, std::string>> rows;
    std::string error;
    EXPECT_TRUE(D6Query(path, "SELECT * FROM Main WHERE " + where + " ORDER BY [Record ID]", &rows, &error)) << error;
    return rows;
}

TEST_F(FacadeTest, Desktop6EndToEnd)
{
    const std::string path = File("address.mdb");
    const std::string birthday = std::to_string(kDateConstant + 36526);
    std::string error;
    ASSERT_TRUE(D6CreateDatabase(path,
                                 "info FreeRecID=50\n"
                                 "category 1|Business\n"
                                 "contact Record ID=7|First Name=Ann|Last Name=Lee|Company=Acme|Private=1|Category=1|"
                                 "Work Phone=555-0100|Phone Label1=0|Birthday=" +
                                     birthday + "|Anniversary=" + birthday +
                                     "\n"
                                     "contact Record ID=8|Status=4|First Name=Del|Last Name=Eted\n"
                                     "contact Record ID=9|First Name=Bob|Last Name=O'Brien\n",
                                 &error))
        << error;

    PmAddrInfo info(60000);
    ASSERT_TRUE(info.LoadContacts(path.c_str()));
    ASSERT_EQ(info.GetLoadedGeneration(), PmAddrInfo::kGenDesktop6);
    CommAddrMgr* pSet = info.GetContactSet();
    ASSERT_EQ(pSet->GetCount(), 2);
    EXPECT_STREQ(pSet->GetRecordAt(0)->szCategory, "Business");
    EXPECT_EQ(pSet->GetRecordAt(0)->dtBirthday, 36526.0);
    EXPECT_EQ(pSet->GetRecordAt(1)->dtBirthday, 0.0);

    // Two new contacts with the same name each get a row of their own.
    CommAddrRecord first = FullContact(PmAddrInfo::kGenDesktop6, "Jos\xE9", "Ram\xEDrez");
    CommAddrRecord second = Contact("Jos\xE9", "Ram\xEDrez", "other@example.org");
    SetTextField(&second, CF_CATEGORY, "Family");
    ASSERT_TRUE(info.AddOrUpdate(&first));
    ASSERT_TRUE(info.AddOrUpdate(&second));
    EXPECT_FALSE(info.AddOrUpdate(&first));
    auto added = Rows(path, "[Record ID] >= 50");
    ASSERT_EQ(added.size(), 2u);
    EXPECT_EQ(added[0]["Record ID"], "50");
    EXPECT_EQ(added[1]["Record ID"], "51");
    EXPECT_EQ(added[0]["Status"], "1");
    EXPECT_EQ(added[0]["Placement"], std::to_string(0x7FFFFFFF));
    EXPECT_EQ(added[1]["Birthday"], std::to_string(kDateConstant));  // a zero date
    std::vector<std::map<std::string, std::string>> info50;
    ASSERT_TRUE(D6Query(path, "SELECT [Note] FROM Information WHERE [Name] = 'FreeRecID'", &info50, &error));
    ASSERT_EQ(info50.size(), 1u);
    EXPECT_EQ(info50[0]["Note"], "52");
    auto family = Rows(path, "[Record ID] = 51");
    ASSERT_EQ(family.size(), 1u);
    EXPECT_NE(family[0]["Category"], "0");
    EXPECT_NE(family[0]["Category"], "1");

    // A change without dates or private flag keeps them; the row is updated in place.
    CommAddrRecord changed = Contact("Ann", "Lee");
    SetTextField(&changed, CF_WORK_PHONE, "555-0111");
    ASSERT_TRUE(info.AddOrUpdate(&changed));
    auto ann = Rows(path, "[First Name] = 'Ann'");
    ASSERT_EQ(ann.size(), 1u);
    EXPECT_EQ(ann[0]["Work Phone"], "555-0111");
    EXPECT_EQ(ann[0]["Birthday"], birthday);
    EXPECT_EQ(ann[0]["Anniversary"], birthday);
    EXPECT_EQ(ann[0]["Private"], "1");
    EXPECT_EQ(ann[0]["Status"], "2");
    EXPECT_EQ(ann[0]["Company"], "Acme");
    ASSERT_TRUE(info.SaveContacts());
    info.ReleaseFile();  // one holder of the file at a time

    PmAddrInfo again(60000);
    ASSERT_TRUE(again.LoadContacts(path.c_str()));
    ASSERT_EQ(again.GetContactSet()->GetCount(), 4);
    ExpectFieldsEqual(PmAddrInfo::kGenDesktop6, first, again.GetContactSet()->GetRecordAt(2));
    EXPECT_STREQ(again.GetContactSet()->GetRecordAt(3)->szCategory, "Family");
    EXPECT_FALSE(again.AddOrUpdate(&first));
    EXPECT_EQ(Rows(path, "[Record ID] = 8").size(), 1u);  // the deleted row is left alone
    EXPECT_EQ(Rows(path, "1 = 1").size(), 5u);
}

// A transfer's Desktop 6 writes share one transaction: another reader of the
// file sees none of them before the save and all of them after it, and
// FreeRecID moves with them.
// A load that builds no contact set visits, one at a time, exactly the
// records the contact set would hold: the listed contacts in file order,
// deleted and archived ones left out, every byte but the attached block.
TEST_F(FacadeTest, VisitingTheLoadedContactsGivesTheContactSetsRecords)
{
    struct Case {
        const char* pszFile;
        DWORD dwVersion;
        int nGen;
    };
    const Case cases[] = {{"classic.dat", 30500, PmAddrInfo::kGenClassic},
                          {"extended.dat", 40102, PmAddrInfo::kGenExtended},
                          {"address.mdb", 60000, PmAddrInfo::kGenDesktop6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszFile);
        const std::string path = File(c.pszFile);
        if (c.nGen == PmAddrInfo::kGenDesktop6) {
            std::string error;
            ASSERT_TRUE(D6CreateDatabase(path,
                                         "info FreeRecID=50\n"
                                         "contact Record ID=7|First Name=Ann|Last Name=Lee|Company=Acme|Private=1\n"
                                         "contact Record ID=8|Status=4|First Name=Del|Last Name=Eted\n"
                                         "contact Record ID=9|First Name=Bob|Last Name=O'Brien|Note=A note\n",
                                         &error))
                << error;
        } else {
            const bool bClassic = c.nGen == PmAddrInfo::kGenClassic;
            datgen::DatDescription desc;
            desc.format = bClassic ? datgen::DatFormat::Classic : datgen::DatFormat::Extended;
            const int32_t kStatus = bClassic ? datgen::classic::kStatus : datgen::extended::kStatus;
            const int32_t kFirst = bClassic ? datgen::classic::kFirstName : datgen::extended::kFirstName;
            const int32_t kLast = bClassic ? datgen::classic::kLastName : datgen::extended::kLastName;
            const int32_t kNote = bClassic ? datgen::classic::kNote : datgen::extended::kNote;
            desc.records.push_back(
                datgen::DatRecord().Text(kFirst, "Ann").Text(kLast, "Lee").Text(kNote, std::string(2047, 'n')));
            desc.records.push_back(datgen::DatRecord().Int(kStatus, 0x04).Text(kFirst, "Del").Text(kLast, "Eted"));
            desc.records.push_back(datgen::DatRecord().Int(kStatus, 0x80).Text(kFirst, "Arch").Text(kLast, "Ived"));
            desc.records.push_back(datgen::DatRecord().Text(kFirst, "Bob").Text(kLast, "O'Brien"));
            ASSERT_TRUE(datgen::WriteBytesToFile(path, datgen::BuildFile(desc)));
        }

        PmAddrInfo withSet(c.dwVersion);
        ASSERT_TRUE(withSet.LoadContacts(path.c_str()));
        CommAddrMgr* pSet = withSet.GetContactSet();
        ASSERT_EQ(pSet->GetCount(), 2);

        PmAddrInfo visited(c.dwVersion);
        visited.SetBuildContactSet(false);
        ASSERT_TRUE(visited.LoadContacts(path.c_str()));
        ASSERT_EQ(visited.GetLoadedGeneration(), c.nGen);
        EXPECT_EQ(visited.GetContactSet()->GetCount(), 0);
        std::vector<CommAddrRecord> records;
        visited.ForEachLoadedContact([&](const CommAddrRecord& record) {
            records.push_back(record);
            return true;
        });
        ASSERT_EQ(records.size(), 2u);
        for (int i = 0; i < 2; ++i) {
            const CommAddrRecord expected = Detached(pSet->GetRecordAt(i));
            EXPECT_EQ(std::memcmp(&records[i], &expected, sizeof expected), 0) << "record " << i;
        }

        // The visit stops when asked to.
        int nVisits = 0;
        visited.ForEachLoadedContact([&](const CommAddrRecord&) { return ++nVisits < 1; });
        EXPECT_EQ(nVisits, 1);
    }
}

TEST_F(FacadeTest, EveryStoredCopyCarriesItsOwnEntryAcrossAddsAndLoads)
{
    // More contacts than the first blocks of entries hold, then contacts
    // added, then the file loaded again: every copy's attached block is the
    // entry at its position, linked to that copy and to the reader's record.
    const std::string path = File("address.dat");
    datgen::DatDescription desc;
    desc.format = datgen::DatFormat::Extended;
    datgen::AddRandomRecords(desc, 300, 31);
    ASSERT_TRUE(datgen::WriteBytesToFile(path, datgen::BuildFile(desc)));
    PmAddrInfo info(40102);
    auto expectLinked = [&info](const char* pszWhen) {
        SCOPED_TRACE(pszWhen);
        CommAddrMgr* pSet = info.GetContactSet();
        ASSERT_EQ(info.GetEntryCount(), pSet->GetCount());
        for (int32_t i = 0; i < pSet->GetCount(); ++i) {
            const CommAddrRecord* pCopy = pSet->GetRecordAt(i);
            ASSERT_EQ(pCopy->nAttachedLen, sizeof(PalmEntry));
            ASSERT_EQ(EntryOf(pCopy), info.GetEntry(i)) << i;
            EXPECT_EQ(EntryOf(pCopy)->pSetRecord, pCopy) << i;
            EXPECT_EQ(EntryOf(pCopy)->pRecord, EntryOf(pCopy)->pReaderRecord) << i;
            EXPECT_EQ(EntryOf(pCopy)->nKind, PmAddrInfo::kGenExtended) << i;
            const auto* pRecord = static_cast<const PmAddrExRecord*>(EntryOf(pCopy)->pReaderRecord);
            ASSERT_NE(pRecord, nullptr);
            EXPECT_STREQ(pRecord->szFirstName, pCopy->szFirstName) << i;
        }
    };
    ASSERT_TRUE(info.LoadContacts(path.c_str()));
    const int32_t nLoaded = info.GetContactSet()->GetCount();
    ASSERT_GT(nLoaded, 250);
    expectLinked("loaded");
    for (int n = 0; n < 70; ++n) {
        const std::string first = "Added" + std::to_string(n);
        CommAddrRecord added = Contact(first.c_str(), "Person");
        ASSERT_TRUE(info.AddRecord(&added));
    }
    EXPECT_EQ(info.GetContactSet()->GetCount(), nLoaded + 70);
    expectLinked("added");
    EXPECT_STREQ(info.GetContactSet()->GetRecordAt(nLoaded + 69)->szFirstName, "Added69");
    ASSERT_TRUE(info.LoadContacts(path.c_str()));
    EXPECT_EQ(info.GetContactSet()->GetCount(), nLoaded);
    expectLinked("loaded again");
}

TEST_F(FacadeTest, Desktop6BatchIsInTheFileOnlyOnceSaved)
{
    const std::string path = File("address.mdb");
    std::string error;
    ASSERT_TRUE(
        D6CreateDatabase(path,
                         "info FreeRecID=10\n"
                         "contact Record ID=7|First Name=Ann|Last Name=Lee|Work Phone=555-0100|Phone Label1=0\n",
                         &error))
        << error;
    PmAddrInfo info(60000);
    ASSERT_TRUE(info.LoadContacts(path.c_str()));
    info.BeginSaveBatch();
    CommAddrRecord added = Contact("Bob", "Lee", "bob@example.org");
    CommAddrRecord namesake = Contact("Bob", "Lee", "other@example.org");
    CommAddrRecord changed = Contact("Ann", "Lee");
    SetTextField(&changed, CF_WORK_PHONE, "555-0111");
    ASSERT_TRUE(info.AddOrUpdate(&added));
    ASSERT_TRUE(info.AddOrUpdate(&namesake));
    ASSERT_TRUE(info.AddOrUpdate(&changed));
    EXPECT_EQ(Rows(path, "1 = 1").size(), 1u);
    EXPECT_EQ(Rows(path, "[First Name] = 'Ann'")[0]["Work Phone"], "555-0100");

    ASSERT_TRUE(info.SaveContacts());
    auto rows = Rows(path, "[Record ID] >= 10");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]["Record ID"], "10");
    EXPECT_EQ(rows[1]["Record ID"], "11");
    EXPECT_EQ(Rows(path, "[First Name] = 'Ann'")[0]["Work Phone"], "555-0111");
    std::vector<std::map<std::string, std::string>> free;
    ASSERT_TRUE(D6Query(path, "SELECT [Note] FROM Information WHERE [Name] = 'FreeRecID'", &free, &error));
    ASSERT_EQ(free.size(), 1u);
    EXPECT_EQ(free[0]["Note"], "12");

    // Writes after the save are their own transactions again.
    CommAddrRecord later = Contact("Cy", "Lee", "cy@example.org");
    ASSERT_TRUE(info.AddOrUpdate(&later));
    EXPECT_EQ(Rows(path, "1 = 1").size(), 4u);
}

}  // namespace
