// A walk of the contents table reads the properties of the entries it hands
// out ahead of their GetProps. Whatever order the entries are opened in, and
// whatever odd rows a book holds, every entry answers exactly what it
// answers when it is opened on its own, outside any walk.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/wab/MapiTags.h"
#include "platform/wab/WabApi.h"
#include "tests/support/TestFiles.h"

namespace {

template <class T>
struct Ref {
    T* p = nullptr;
    ~Ref() { Reset(); }
    void Reset()
    {
        if (p != nullptr)
            p->Release();
        p = nullptr;
    }
    T* operator->() const { return p; }
};

constexpr int kContacts = 700;  // more than the library keeps read ahead
constexpr ULONG kNumberTag = PROP_TAG(PT_LONG, 0x6100);

// A GetProps answer as text, one line per property.
std::string Describe(ULONG count, const SPropValue* props)
{
    std::string text;
    char line[64];
    for (ULONG i = 0; i < count; ++i) {
        const SPropValue& prop = props[i];
        std::snprintf(line, sizeof line, "%08x=", prop.ulPropTag);
        text += line;
        switch (PROP_TYPE(prop.ulPropTag)) {
        case PT_STRING8:
            text += prop.Value.lpszA;
            break;
        case PT_BINARY:
            text.append(reinterpret_cast<const char*>(prop.Value.bin.lpb), prop.Value.bin.cb);
            break;
        case PT_SYSTIME:
            text += std::to_string(prop.Value.ft.dwHighDateTime) + ":" + std::to_string(prop.Value.ft.dwLowDateTime);
            break;
        case PT_SHORT:
            text += std::to_string(prop.Value.i);
            break;
        default:
            text += std::to_string(prop.Value.l);
            break;
        }
        text += '\n';
    }
    return text;
}

class WabReadAheadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = m_tmp.File("book.wab");
        OpenBook();
        // Contacts, with a list of many properties after every 50th (a walk
        // of contacts steps over lists).
        for (int n = 0; n < kContacts; ++n) {
            const std::string name = "contact " + std::to_string(n);
            const std::string note(static_cast<size_t>(n % 7) * 40, static_cast<char>('a' + n % 26));
            std::vector<SPropValue> props = {Text(PR_DISPLAY_NAME, name.c_str()), Text(PR_SURNAME, "Lee")};
            if (!note.empty())
                props.push_back(Text(PR_COMMENT, note.c_str()));
            SPropValue number = {};
            number.ulPropTag = kNumberTag;
            number.Value.l = n;
            props.push_back(number);
            Create(PR_DEF_CREATE_MAILUSER, props);
            if (n % 50 == 49) {
                std::vector<std::string> texts;
                for (int i = 0; i < 100; ++i)
                    texts.push_back("member " + std::to_string(i));
                std::vector<SPropValue> list;
                for (int i = 0; i < 100; ++i)
                    list.push_back(Text(PROP_TAG(PT_STRING8, 0x6200 + i), texts[static_cast<size_t>(i)].c_str()));
                Create(PR_DEF_CREATE_DL, list);
            }
        }
        CloseBook();

        // Rows the library never wrote but a damaged or edited book may
        // hold: a value of the wrong type, entries that are not integers,
        // and tags stored as text, which sort apart from the others.
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(m_path.c_str(), &db), SQLITE_OK);
        const char* const edits =
            "INSERT INTO props VALUES(3, 1610678275, 'not a number');"         // 0x60010003, a PT_LONG
            "INSERT INTO props VALUES(5.5, 3604510, 'between five and six');"  // 0x0037001e, a PT_STRING8
            "INSERT INTO props VALUES('7x', 3604510, 'an entry given as text');"
            "INSERT INTO props VALUES(x'09', 3604510, 'an entry given as bytes');"
            "INSERT INTO props VALUES(11, '3x', 12345);"  // reads as tag 3, a PT_LONG
            "INSERT INTO props VALUES(700, 'zzz', 'a tag after every other');";
        EXPECT_EQ(sqlite3_exec(db, edits, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);

        // What each entry answers when opened alone.
        OpenBook();
        Walk(1, [&](const std::vector<Row>& rows) {
            for (const Row& row : rows)
                m_ids.push_back(row.id);
        });
        for (const std::string& id : m_ids)
            m_alone[id] = PropsOf(id);
    }
    void TearDown() override
    {
        CloseBook();
        WabTakeLogLines();
    }

    struct Row {
        std::string id;
        LONG lType = 0;
        std::string name;
    };

    void OpenBook()
    {
        WAB_PARAM wp = {};
        wp.cbSize = sizeof wp;
        wp.szFileName = m_path.data();
        ASSERT_EQ(WABOpen(&m_book.p, &m_object.p, &wp, 0), hrSuccess);
        ULONG cb = 0;
        LPENTRYID id = nullptr;
        ASSERT_EQ(m_book->GetPAB(&cb, &id), hrSuccess);
        ULONG type = 0;
        IMAPIUnknown* unknown = nullptr;
        ASSERT_EQ(m_book->OpenEntry(cb, id, nullptr, 0, &type, &unknown), hrSuccess);
        m_object->FreeBuffer(id);
        m_container.p = static_cast<IABContainer*>(unknown);
    }

    void CloseBook()
    {
        m_container.Reset();
        m_book.Reset();
        m_object.Reset();
    }

    static SPropValue Text(ULONG tag, const char* text)
    {
        SPropValue value = {};
        value.ulPropTag = tag;
        value.Value.lpszA = const_cast<char*>(text);
        return value;
    }

    void Create(ULONG templateTag, std::vector<SPropValue> props)
    {
        SizedSPropTagArray<1> tags = {1, {templateTag}};
        ULONG count = 0;
        LPSPropValue templ = nullptr;
        ASSERT_EQ(m_container->GetProps(tags.Get(), 0, &count, &templ), hrSuccess);
        Ref<IMailUser> entry;
        ASSERT_EQ(m_container->CreateEntry(templ[0].Value.bin.cb, reinterpret_cast<LPENTRYID>(templ[0].Value.bin.lpb),
                                           CREATE_CHECK_DUP_LOOSE, &entry.p),
                  hrSuccess);
        m_object->FreeBuffer(templ);
        ASSERT_EQ(entry->SetProps(static_cast<ULONG>(props.size()), props.data(), nullptr), hrSuccess);
        ASSERT_EQ(entry->SaveChanges(0), hrSuccess);
    }

    // Every property of the entry id, as text; "(cannot open)" when it
    // cannot be opened.
    std::string PropsOf(const std::string& id)
    {
        ULONG type = 0;
        Ref<IMAPIUnknown> unknown;
        if (HR_FAILED(m_book->OpenEntry(static_cast<ULONG>(id.size()),
                                        reinterpret_cast<LPENTRYID>(const_cast<char*>(id.data())), nullptr, 0, &type,
                                        &unknown.p))) {
            return "(cannot open)";
        }
        ULONG count = 0;
        LPSPropValue props = nullptr;
        if (HR_FAILED(static_cast<IMailUser*>(unknown.p)->GetProps(nullptr, 0, &count, &props)))
            return "(cannot read)";
        std::string text = std::to_string(type) + "\n" + Describe(count, props);
        m_object->FreeBuffer(props);
        return text;
    }

    // Walks the contents table from its start, nBatch rows per QueryRows,
    // handing each batch to onBatch while the walk runs.
    void Walk(LONG nBatch, const std::function<void(const std::vector<Row>&)>& onBatch,
              const std::function<void(IMAPITable*)>& first = nullptr)
    {
        Ref<IMAPITable> table;
        ASSERT_EQ(m_container->GetContentsTable(0, &table.p), hrSuccess);
        SizedSPropTagArray<3> columns = {3, {PR_DISPLAY_NAME, PR_ENTRYID, PR_OBJECT_TYPE}};
        ASSERT_EQ(table->SetColumns(columns.Get(), 0), hrSuccess);
        if (first)
            first(table.p);
        for (;;) {
            LPSRowSet set = nullptr;
            ASSERT_EQ(table->QueryRows(nBatch, 0, &set), hrSuccess);
            std::vector<Row> rows;
            for (ULONG i = 0; i < set->cRows; ++i) {
                const SPropValue* props = set->aRow[i].lpProps;
                Row row;
                row.name = PROP_TYPE(props[0].ulPropTag) == PT_STRING8 ? props[0].Value.lpszA : "(none)";
                row.id.assign(reinterpret_cast<const char*>(props[1].Value.bin.lpb), props[1].Value.bin.cb);
                row.lType = props[2].Value.l;
                rows.push_back(row);
                m_object->FreeBuffer(set->aRow[i].lpProps);
            }
            const bool bEnd = set->cRows == 0;
            m_object->FreeBuffer(set);
            if (bEnd)
                break;
            onBatch(rows);
        }
    }

    vwtest::TempDir m_tmp{"wabreadahead"};
    std::string m_path;
    Ref<IAddrBook> m_book;
    Ref<IWABObject> m_object;
    Ref<IABContainer> m_container;
    std::vector<std::string> m_ids;              // every row, in table order
    std::map<std::string, std::string> m_alone;  // id -> PropsOf outside any walk
};

TEST_F(WabReadAheadTest, EntriesAnswerAsWhenOpenedAloneInEveryOrder)
{
    ASSERT_EQ(m_ids.size(), static_cast<size_t>(kContacts + kContacts / 50));
    // The odd rows read as the book holds them: the value of the wrong type
    // is left out, rows of entries that are not integers belong to none,
    // and a tag stored as text is read like the others.
    EXPECT_EQ(m_alone[m_ids[2]].find("not a number"), std::string::npos);
    for (const auto& answer : m_alone) {
        EXPECT_EQ(answer.second.find("given as"), std::string::npos);
        EXPECT_EQ(answer.second.find("between"), std::string::npos);
    }
    EXPECT_NE(m_alone[m_ids[10]].find("00000003=12345\n"), std::string::npos);

    struct Case {
        const char* pszName;
        LONG nBatch;
        // Which rows of a batch to open, and in which order.
        std::function<std::vector<size_t>(size_t)> order;
        std::function<void(IMAPITable*)> first;
    };
    const auto all = [](size_t n) {
        std::vector<size_t> order(n);
        for (size_t i = 0; i < n; ++i)
            order[i] = i;
        return order;
    };
    const auto reversed = [&](size_t n) {
        std::vector<size_t> order = all(n);
        std::reverse(order.begin(), order.end());
        return order;
    };
    const auto everyFifth = [](size_t n) {
        std::vector<size_t> order;
        for (size_t i = 0; i < n; i += 5)
            order.push_back(i);
        return order;
    };
    const Case cases[] = {
        {"row by row", 1, all, nullptr},
        {"in batches", 128, all, nullptr},
        {"a batch opened backwards", 128, reversed, nullptr},
        {"more rows than are read ahead", 600, all, nullptr},
        {"every fifth entry", 7, everyFifth, nullptr},
        {"from the middle", 16, all,
         [](IMAPITable* table) { ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 300, nullptr), hrSuccess); }},
        {"back to the start after rows further on", 32, all,
         [this](IMAPITable* table) {
             ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 400, nullptr), hrSuccess);
             LPSRowSet set = nullptr;
             ASSERT_EQ(table->QueryRows(10, 0, &set), hrSuccess);
             for (ULONG i = 0; i < set->cRows; ++i)
                 m_object->FreeBuffer(set->aRow[i].lpProps);
             m_object->FreeBuffer(set);
             ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr), hrSuccess);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszName);
        size_t nOpened = 0;
        Walk(
            c.nBatch,
            [&](const std::vector<Row>& rows) {
                for (const Row& row : rows) {
                    const std::string& alone = m_alone[row.id];
                    const size_t nName = alone.find("3001001e=");
                    const std::string name = nName == std::string::npos
                                                 ? "(none)"
                                                 : alone.substr(nName + 9, alone.find('\n', nName) - nName - 9);
                    EXPECT_EQ(row.name, name);
                }
                for (size_t i : c.order(rows.size())) {
                    EXPECT_EQ(PropsOf(rows[i].id), m_alone[rows[i].id]) << i;
                    ++nOpened;
                }
            },
            c.first);
        EXPECT_GT(nOpened, 0u);
    }

    // An entry opened during a walk and asked again after it ends reads
    // the book again.
    Walk(64, [&](const std::vector<Row>& rows) { EXPECT_EQ(PropsOf(rows.back().id), m_alone[rows.back().id]); });
    EXPECT_EQ(PropsOf(m_ids[0]), m_alone[m_ids[0]]);
}

}  // namespace
