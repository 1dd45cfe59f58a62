#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/wab/WabApi.h"
#include "platform/wab/WabLoader.h"
#include "tests/support/TestEnv.h"
#include "tests/support/TestFiles.h"

namespace {

using vwtest::PathExists;
using vwtest::ReadFileText;
using vwtest::WriteFileText;

// Releases an interface at the end of a scope.
template <class T>
struct Ref {
    T* p = nullptr;
    ~Ref()
    {
        if (p != nullptr)
            p->Release();
    }
    T* operator->() const { return p; }
};

class WabLibraryTest : public ::testing::Test {
protected:
    void SetUp() override { WabTakeLogLines(); }
    void TearDown() override { WabTakeLogLines(); }

    std::string Path(const std::string& name) const { return m_tmp.File(name); }

    // Opens the book at path; returns the status of WABOpen.
    static HRESULT Open(const std::string& path, Ref<IAddrBook>& book, Ref<IWABObject>& object)
    {
        WAB_PARAM wp = {};
        wp.cbSize = sizeof wp;
        std::string name = path;
        wp.szFileName = name.data();
        return WABOpen(&book.p, &object.p, &wp, 0);
    }

    static void OpenPab(IAddrBook* book, IWABObject* object, Ref<IABContainer>& container)
    {
        ULONG cb = 0;
        LPENTRYID id = nullptr;
        ASSERT_EQ(book->GetPAB(&cb, &id), hrSuccess);
        ULONG type = 0;
        IMAPIUnknown* unknown = nullptr;
        ASSERT_EQ(book->OpenEntry(cb, id, nullptr, 0, &type, &unknown), hrSuccess);
        object->FreeBuffer(id);
        ASSERT_EQ(type, static_cast<ULONG>(MAPI_ABCONT));
        container.p = static_cast<IABContainer*>(unknown);
    }

    // The template identifier of PR_DEF_CREATE_MAILUSER or PR_DEF_CREATE_DL.
    static std::string Template(IABContainer* container, IWABObject* object, ULONG tag)
    {
        SizedSPropTagArray<1> tags = {1, {tag}};
        ULONG count = 0;
        LPSPropValue props = nullptr;
        EXPECT_EQ(container->GetProps(tags.Get(), 0, &count, &props), hrSuccess);
        std::string id(reinterpret_cast<const char*>(props[0].Value.bin.lpb), props[0].Value.bin.cb);
        object->FreeBuffer(props);
        return id;
    }

    static void CreateEntry(IABContainer* container, IWABObject* object, ULONG templateTag,
                            std::vector<SPropValue> props)
    {
        std::string id = Template(container, object, templateTag);
        Ref<IMailUser> entry;
        ASSERT_EQ(container->CreateEntry(static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()),
                                         CREATE_CHECK_DUP_LOOSE, &entry.p),
                  hrSuccess);
        ASSERT_EQ(entry->SetProps(static_cast<ULONG>(props.size()), props.data(), nullptr), hrSuccess);
        ASSERT_EQ(entry->SaveChanges(0), hrSuccess);
    }

    // All rows of the contents table: entry identifier and object type.
    static std::vector<std::pair<std::string, LONG>> Rows(IABContainer* container, IWABObject* object)
    {
        std::vector<std::pair<std::string, LONG>> rows;
        Ref<IMAPITable> table;
        EXPECT_EQ(container->GetContentsTable(0, &table.p), hrSuccess);
        SizedSPropTagArray<2> columns = {2, {PR_ENTRYID, PR_OBJECT_TYPE}};
        EXPECT_EQ(table->SetColumns(columns.Get(), 0), hrSuccess);
        EXPECT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr), hrSuccess);
        for (;;) {
            LPSRowSet set = nullptr;
            EXPECT_EQ(table->QueryRows(1, 0, &set), hrSuccess);
            const ULONG count = set->cRows;
            if (count == 1) {
                const SPropValue* props = set->aRow[0].lpProps;
                rows.emplace_back(
                    std::string(reinterpret_cast<const char*>(props[0].Value.bin.lpb), props[0].Value.bin.cb),
                    props[1].Value.l);
                object->FreeBuffer(set->aRow[0].lpProps);
            }
            object->FreeBuffer(set);
            if (count == 0)
                break;
        }
        return rows;
    }

    static SPropValue Text(ULONG tag, const char* text)
    {
        SPropValue value = {};
        value.ulPropTag = tag;
        value.Value.lpszA = const_cast<char*>(text);
        return value;
    }

    vwtest::TempDir m_tmp{"wab"};
};

TEST_F(WabLibraryTest, ForeignFilesAreRefusedAndNeverTouched)
{
    std::mt19937 random(7);
    std::string noise(4096, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    const std::string windowsBook =
        std::string("\x9C\xCB\xCB\x8D\x13\x75\xD2\x11\x91\x58\x00\xC0\x4F\x79\x56\xA4", 16) + noise;

    // Another program's SQLite database: a valid database without our mark.
    const std::string otherDb = Path("other.db");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(otherDb.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE Main(x); INSERT INTO Main VALUES(1);", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    const struct {
        const char* name;
        std::string content;  // empty: keep what is there
    } cases[] = {
        {"noise.wab", noise},
        {"windows.wab", windowsBook},
        {"text.wab", "BEGIN:VCARD\r\nFN:Ann\r\nEND:VCARD\r\n"},
        {"other.db", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Path(c.name);
        if (!c.content.empty())
            WriteFileText(path, c.content);
        const std::string before = ReadFileText(path);
        WabTakeLogLines();

        Ref<IAddrBook> book;
        Ref<IWABObject> object;
        EXPECT_EQ(Open(path, book, object), MAPI_E_NOT_A_BOOK);
        EXPECT_EQ(book.p, nullptr);
        EXPECT_EQ(object.p, nullptr);
        EXPECT_EQ(ReadFileText(path), before);
        EXPECT_FALSE(PathExists(path + "-wal"));
        EXPECT_FALSE(PathExists(path + "-journal"));
        // One line for the program's log, naming the file.
        const std::vector<std::string> lines = WabTakeLogLines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find(c.name), std::string::npos) << lines[0];
    }
}

TEST_F(WabLibraryTest, MissingAndEmptyFilesReadAsEmptyBooksAndTheFirstSaveMakesThem)
{
    for (const char* name : {"new.wab", "empty.wab"}) {
        SCOPED_TRACE(name);
        const std::string path = Path(name);
        const bool bEmptyFile = std::strcmp(name, "empty.wab") == 0;
        if (bEmptyFile)
            WriteFileText(path, "");
        {
            Ref<IAddrBook> book;
            Ref<IWABObject> object;
            ASSERT_EQ(Open(path, book, object), hrSuccess);
            Ref<IABContainer> container;
            OpenPab(book.p, object.p, container);
            EXPECT_TRUE(Rows(container.p, object.p).empty());
        }
        // Reading created and wrote nothing.
        EXPECT_EQ(PathExists(path), bEmptyFile);
        if (bEmptyFile) {
            EXPECT_EQ(ReadFileText(path), "");
        }
        {
            Ref<IAddrBook> book;
            Ref<IWABObject> object;
            ASSERT_EQ(Open(path, book, object), hrSuccess);
            Ref<IABContainer> container;
            OpenPab(book.p, object.p, container);
            CreateEntry(container.p, object.p, PR_DEF_CREATE_MAILUSER, {Text(PR_DISPLAY_NAME, "Ann")});
        }
        // Recognisable from its header, and opens again with the entry.
        const std::string header = ReadFileText(path).substr(0, 100);
        EXPECT_EQ(header.compare(0, 16, std::string("SQLite format 3\0", 16)), 0);
        EXPECT_EQ(header.substr(68, 4), "VWAB");
        Ref<IAddrBook> book;
        Ref<IWABObject> object;
        ASSERT_EQ(Open(path, book, object), hrSuccess);
        Ref<IABContainer> container;
        OpenPab(book.p, object.p, container);
        EXPECT_EQ(Rows(container.p, object.p).size(), 1u);
    }

    // A named file in a folder that does not exist is not created.
    Ref<IAddrBook> book;
    Ref<IWABObject> object;
    EXPECT_EQ(Open(Path("no/such/folder/book.wab"), book, object), hrSuccess);
    Ref<IABContainer> container;
    OpenPab(book.p, object.p, container);
    std::string id = Template(container.p, object.p, PR_DEF_CREATE_MAILUSER);
    Ref<IMailUser> entry;
    ASSERT_EQ(container->CreateEntry(static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()),
                                     CREATE_CHECK_DUP_LOOSE, &entry.p),
              hrSuccess);
    SPropValue name = Text(PR_DISPLAY_NAME, "Ann");
    ASSERT_EQ(entry->SetProps(1, &name, nullptr), hrSuccess);
    EXPECT_TRUE(HR_FAILED(entry->SaveChanges(0)));
    EXPECT_FALSE(PathExists(Path("no")));
}

TEST_F(WabLibraryTest, DefaultBookLivesInTheDataFolderAndIsMadeByItsFirstSave)
{
    const vwtest::ScopedEnv dataHome("XDG_DATA_HOME", Path("data").c_str());
    for (bool bSave : {false, true}) {
        Ref<IAddrBook> book;
        Ref<IWABObject> object;
        WAB_PARAM wp = {};
        wp.cbSize = sizeof wp;
        EXPECT_EQ(WABOpen(&book.p, &object.p, &wp, 0), hrSuccess);
        EXPECT_FALSE(PathExists(Path("data"))) << "opening the default book makes nothing";
        if (bSave) {
            Ref<IABContainer> container;
            OpenPab(book.p, object.p, container);
            CreateEntry(container.p, object.p, PR_DEF_CREATE_MAILUSER, {Text(PR_DISPLAY_NAME, "Ann")});
        }
    }
    EXPECT_TRUE(PathExists(Path("data/varnwick/default.wab")));
}

TEST_F(WabLibraryTest, PropertiesSurviveReopeningByteForByte)
{
    const std::string path = Path("book.wab");
    const char ansi[] = "Ren\xE9 M\xFCller \x80\x9F\xFF";  // Windows-1252 bytes, not UTF-8
    const BYTE blob[] = {0, 1, 2, 0xFE, 0};
    std::string entryId;
    {
        Ref<IAddrBook> book;
        Ref<IWABObject> object;
        ASSERT_EQ(Open(path, book, object), hrSuccess);
        Ref<IABContainer> container;
        OpenPab(book.p, object.p, container);

        std::vector<SPropValue> props = {Text(PR_DISPLAY_NAME, ansi), Text(PR_COMMENT, "")};
        SPropValue value = {};
        value.ulPropTag = PR_BIRTHDAY;
        value.Value.ft = FILETIME{0x89ABCDEFu, 0x01D2F3A4u};
        props.push_back(value);
        value = {};
        value.ulPropTag = PR_GENDER;
        value.Value.i = -2;
        props.push_back(value);
        value = {};
        value.ulPropTag = PROP_TAG(PT_BINARY, 0x6600);
        value.Value.bin = SBinary{sizeof blob, const_cast<BYTE*>(blob)};
        props.push_back(value);
        CreateEntry(container.p, object.p, PR_DEF_CREATE_MAILUSER, props);
        CreateEntry(container.p, object.p, PR_DEF_CREATE_DL, {Text(PR_DISPLAY_NAME, "List")});
    }

    Ref<IAddrBook> book;
    Ref<IWABObject> object;
    ASSERT_EQ(Open(path, book, object), hrSuccess);
    Ref<IABContainer> container;
    OpenPab(book.p, object.p, container);
    const auto rows = Rows(container.p, object.p);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].second, MAPI_MAILUSER);
    EXPECT_EQ(rows[1].second, MAPI_DISTLIST);
    EXPECT_NE(rows[0].first, rows[1].first);

    ULONG type = 0;
    Ref<IMAPIUnknown> unknown;
    std::string id = rows[0].first;
    ASSERT_EQ(book->OpenEntry(static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()), nullptr, 0, &type,
                              &unknown.p),
              hrSuccess);
    ASSERT_EQ(type, static_cast<ULONG>(MAPI_MAILUSER));
    auto* entry = static_cast<IMailUser*>(unknown.p);
    SizedSPropTagArray<6> tags = {
        6, {PR_DISPLAY_NAME, PR_COMMENT, PR_BIRTHDAY, PR_GENDER, PROP_TAG(PT_BINARY, 0x6600), PR_SURNAME}};
    ULONG count = 0;
    LPSPropValue props = nullptr;
    ASSERT_EQ(entry->GetProps(tags.Get(), 0, &count, &props), MAPI_W_ERRORS_RETURNED);
    ASSERT_EQ(count, 6u);
    EXPECT_STREQ(props[0].Value.lpszA, ansi);
    EXPECT_EQ(props[1].ulPropTag, PR_COMMENT);
    EXPECT_STREQ(props[1].Value.lpszA, "");
    EXPECT_EQ(props[2].Value.ft.dwLowDateTime, 0x89ABCDEFu);
    EXPECT_EQ(props[2].Value.ft.dwHighDateTime, 0x01D2F3A4u);
    EXPECT_EQ(props[3].Value.i, -2);
    ASSERT_EQ(props[4].Value.bin.cb, sizeof blob);
    EXPECT_EQ(std::memcmp(props[4].Value.bin.lpb, blob, sizeof blob), 0);
    EXPECT_EQ(props[5].ulPropTag, CHANGE_PROP_TYPE(PR_SURNAME, PT_ERROR));
    EXPECT_EQ(props[5].Value.err, MAPI_E_NOT_FOUND);
    object->FreeBuffer(props);
}

TEST_F(WabLibraryTest, OnlyEntriesOpenedForWritingChange)
{
    const std::string path = Path("book.wab");
    Ref<IAddrBook> book;
    Ref<IWABObject> object;
    ASSERT_EQ(Open(path, book, object), hrSuccess);
    Ref<IABContainer> container;
    OpenPab(book.p, object.p, container);
    CreateEntry(container.p, object.p, PR_DEF_CREATE_MAILUSER, {Text(PR_GIVEN_NAME, "Ann"), Text(PR_SURNAME, "Lee")});
    std::string id = Rows(container.p, object.p).at(0).first;

    auto open = [&](ULONG flags, Ref<IMAPIUnknown>& entry) {
        ULONG type = 0;
        ASSERT_EQ(book->OpenEntry(static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()), nullptr, flags,
                                  &type, &entry.p),
                  hrSuccess);
    };
    SPropValue surname = Text(PR_SURNAME, "Long");
    {
        Ref<IMAPIUnknown> readOnly;
        open(0, readOnly);
        auto* entry = static_cast<IMailUser*>(readOnly.p);
        EXPECT_EQ(entry->SetProps(1, &surname, nullptr), MAPI_E_NO_ACCESS);
        EXPECT_EQ(entry->SaveChanges(0), MAPI_E_NO_ACCESS);
    }
    {
        Ref<IMAPIUnknown> writable;
        open(MAPI_MODIFY, writable);
        auto* entry = static_cast<IMailUser*>(writable.p);
        // A value type the book does not keep refuses the whole call.
        SPropValue values[2] = {surname, {}};
        values[1].ulPropTag = PR_CHILDRENS_NAMES;
        EXPECT_EQ(entry->SetProps(2, values, nullptr), MAPI_E_BAD_VALUE);
        EXPECT_EQ(entry->SetProps(1, &surname, nullptr), hrSuccess);
        EXPECT_EQ(entry->SaveChanges(0), hrSuccess);
    }
    Ref<IMAPIUnknown> reread;
    open(0, reread);
    ULONG count = 0;
    LPSPropValue props = nullptr;
    ASSERT_EQ(static_cast<IMailUser*>(reread.p)->GetProps(nullptr, 0, &count, &props), hrSuccess);
    std::vector<std::string> texts;
    for (ULONG i = 0; i < count; ++i) {
        if (PROP_TYPE(props[i].ulPropTag) == PT_STRING8)
            texts.push_back(props[i].Value.lpszA);
    }
    object->FreeBuffer(props);
    EXPECT_EQ(texts, (std::vector<std::string>{"Ann", "Long"}));
}

TEST_F(WabLibraryTest, AnEntryHeldOpenForReadingAnswersWhatTheBookHolds)
{
    const std::string path = Path("book.wab");
    Ref<IAddrBook> book;
    Ref<IWABObject> object;
    ASSERT_EQ(Open(path, book, object), hrSuccess);
    Ref<IABContainer> container;
    OpenPab(book.p, object.p, container);
    CreateEntry(container.p, object.p, PR_DEF_CREATE_MAILUSER, {Text(PR_GIVEN_NAME, "Ann"), Text(PR_SURNAME, "Lee")});
    std::string id = Rows(container.p, object.p).at(0).first;
    auto open = [&](ULONG flags, Ref<IMAPIUnknown>& entry) {
        ULONG type = 0;
        ASSERT_EQ(book->OpenEntry(static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()), nullptr, flags,
                                  &type, &entry.p),
                  hrSuccess);
        EXPECT_EQ(type, static_cast<ULONG>(MAPI_MAILUSER));
    };
    // The given name, the surname and a tag the entry lacks.
    auto names = [&](IMAPIUnknown* unknown) {
        SizedSPropTagArray<3> tags = {3, {PR_GIVEN_NAME, PR_SURNAME, PR_NICKNAME}};
        ULONG count = 0;
        LPSPropValue props = nullptr;
        EXPECT_EQ(static_cast<IMailUser*>(unknown)->GetProps(tags.Get(), 0, &count, &props), MAPI_W_ERRORS_RETURNED);
        std::vector<std::string> answer;
        for (ULONG i = 0; i < count; ++i)
            answer.push_back(PROP_TYPE(props[i].ulPropTag) == PT_STRING8 ? props[i].Value.lpszA : "(missing)");
        object->FreeBuffer(props);
        return answer;
    };
    Ref<IMAPIUnknown> held;
    open(0, held);
    EXPECT_EQ(names(held.p), (std::vector<std::string>{"Ann", "Lee", "(missing)"}));
    {
        Ref<IMAPIUnknown> writable;
        open(MAPI_MODIFY, writable);
        SPropValue surname = Text(PR_SURNAME, "Long");
        ASSERT_EQ(static_cast<IMailUser*>(writable.p)->SetProps(1, &surname, nullptr), hrSuccess);
        ASSERT_EQ(static_cast<IMailUser*>(writable.p)->SaveChanges(0), hrSuccess);
    }
    EXPECT_EQ(names(held.p), (std::vector<std::string>{"Ann", "Long", "(missing)"}));
    // Its identifier and type come with every answer.
    ULONG count = 0;
    LPSPropValue props = nullptr;
    ASSERT_EQ(static_cast<IMailUser*>(held.p)->GetProps(nullptr, 0, &count, &props), hrSuccess);
    bool bId = false;
    for (ULONG i = 0; i < count; ++i) {
        if (props[i].ulPropTag == PR_ENTRYID)
            bId = std::string(reinterpret_cast<const char*>(props[i].Value.bin.lpb), props[i].Value.bin.cb) == id;
    }
    object->FreeBuffer(props);
    EXPECT_TRUE(bId);
}

TEST_F(WabLibraryTest, TableRowsFollowCreationOrder)
{
    Ref<IAddrBook> book;
    Ref<IWABObject> object;
    ASSERT_EQ(Open(Path("book.wab"), book, object), hrSuccess);
    Ref<IABContainer> container;
    OpenPab(book.p, object.p, container);
    for (const char* name : {"one", "two", "three"})
        CreateEntry(container.p, object.p, PR_DEF_CREATE_MAILUSER, {Text(PR_DISPLAY_NAME, name)});

    Ref<IMAPITable> table;
    ASSERT_EQ(container->GetContentsTable(0, &table.p), hrSuccess);
    LONG sought = -1;
    ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 1, &sought), hrSuccess);
    EXPECT_EQ(sought, 1);
    LPSRowSet rows = nullptr;
    ASSERT_EQ(table->QueryRows(5, 0, &rows), hrSuccess);
    ASSERT_EQ(rows->cRows, 2u);
    // Default columns: PR_ENTRYID, PR_OBJECT_TYPE, PR_DISPLAY_NAME.
    EXPECT_STREQ(rows->aRow[0].lpProps[2].Value.lpszA, "two");
    EXPECT_STREQ(rows->aRow[1].lpProps[2].Value.lpszA, "three");
    for (ULONG i = 0; i < rows->cRows; ++i)
        object->FreeBuffer(rows->aRow[i].lpProps);
    object->FreeBuffer(rows);
    ASSERT_EQ(table->QueryRows(1, 0, &rows), hrSuccess);
    EXPECT_EQ(rows->cRows, 0u);
    object->FreeBuffer(rows);
}

TEST_F(WabLibraryTest, SaveBatchIsInTheFileOnlyOnceCommitted)
{
    const std::string path = Path("book.wab");
    Ref<IAddrBook> book;
    Ref<IWABObject> object;
    ASSERT_EQ(Open(path, book, object), hrSuccess);
    Ref<IABContainer> container;
    OpenPab(book.p, object.p, container);
    // What another program reading the file sees: the committed entries.
    auto committedEntries = [&path]() {
        sqlite3* db = nullptr;
        int nCount = -1;
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* stmt = nullptr;
            if (sqlite3_prepare_v2(db, "SELECT count(*) FROM entries WHERE objtype = 6", -1, &stmt, nullptr) ==
                    SQLITE_OK &&
                sqlite3_step(stmt) == SQLITE_ROW)
                nCount = sqlite3_column_int(stmt, 0);
            sqlite3_finalize(stmt);
        }
        sqlite3_close(db);
        return nCount;
    };

    // The first entry makes the book; the batch then holds the second.
    CreateEntry(container.p, object.p, PR_DEF_CREATE_MAILUSER, {Text(PR_DISPLAY_NAME, "one")});
    ASSERT_EQ(committedEntries(), 1);
    ASSERT_EQ(WabBeginSaveBatch(book.p), hrSuccess);
    CreateEntry(container.p, object.p, PR_DEF_CREATE_MAILUSER, {Text(PR_DISPLAY_NAME, "two")});
    EXPECT_EQ(Rows(container.p, object.p).size(), 2u);  // the batch sees its own saves
    EXPECT_EQ(committedEntries(), 1);
    ASSERT_EQ(WabEndSaveBatch(book.p), hrSuccess);
    EXPECT_EQ(committedEntries(), 2);
    EXPECT_EQ(WabEndSaveBatch(book.p), hrSuccess);  // none open: nothing to do

    // A book released with its batch still open keeps what was saved.
    ASSERT_EQ(WabBeginSaveBatch(book.p), hrSuccess);
    CreateEntry(container.p, object.p, PR_DEF_CREATE_MAILUSER, {Text(PR_DISPLAY_NAME, "three")});
    container.p->Release();
    container.p = nullptr;
    book.p->Release();
    book.p = nullptr;
    object.p->Release();
    object.p = nullptr;
    EXPECT_EQ(committedEntries(), 3);

    EXPECT_EQ(WabBeginSaveBatch(nullptr), MAPI_E_NO_SUPPORT);
    EXPECT_EQ(WabEndSaveBatch(nullptr), MAPI_E_NO_SUPPORT);
}

TEST_F(WabLibraryTest, LoaderFindsTheLibraryByItsName)
{
    const struct {
        const char* name;
        bool found;
    } cases[] = {
        {"WAB32.DLL", true},
        {"wab32.dll", true},
        {"C:\\Program Files\\Common Files\\System\\Wab32.dll", true},
        {"/usr/lib/wab32.dll", true},
        {"wab32.dll.bak", false},
        {"other.dll", false},
        {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HMODULE module = WabLoadLibrary(c.name);
        EXPECT_EQ(module != nullptr, c.found);
        if (module != nullptr) {
            EXPECT_EQ(WabGetProcAddress(module, "WABOpen"), reinterpret_cast<void*>(&WABOpen));
            EXPECT_EQ(WabGetProcAddress(module, "WABClose"), nullptr);
            EXPECT_TRUE(WabFreeLibrary(module));
        }
    }

    char path[8] = "x";
    EXPECT_FALSE(WabQueryDllPath(path, sizeof path));
    EXPECT_STREQ(path, "");
    WabSetDllPath("C:\\long\\wab32.dll");
    EXPECT_TRUE(WabQueryDllPath(path, sizeof path));
    EXPECT_STREQ(path, "C:\\long");  // cut to the buffer
    WabSetDllPath(nullptr);
}

}  // namespace
