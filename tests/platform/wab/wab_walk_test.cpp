// A walk of the contents table, row by row as the address-book connection
// reads a book, may be interleaved with saves: they succeed, the walk sees
// each entry as it stands when its row is passed, and an entry created
// meanwhile is listed at the end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/wab/WabApi.h"
#include "tests/support/TestFiles.h"

namespace {

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

SPropValue Text(ULONG tag, const char* text)
{
    SPropValue value = {};
    value.ulPropTag = tag;
    value.Value.lpszA = const_cast<char*>(text);
    return value;
}

class WabWalkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string name = m_tmp.File("book.wab");
        WAB_PARAM wp = {};
        wp.cbSize = sizeof wp;
        wp.szFileName = name.data();
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
    void TearDown() override { WabTakeLogLines(); }

    void Create(const char* pszName)
    {
        SizedSPropTagArray<1> tags = {1, {PR_DEF_CREATE_MAILUSER}};
        ULONG count = 0;
        LPSPropValue props = nullptr;
        ASSERT_EQ(m_container->GetProps(tags.Get(), 0, &count, &props), hrSuccess);
        Ref<IMailUser> entry;
        ASSERT_EQ(m_container->CreateEntry(props[0].Value.bin.cb, reinterpret_cast<LPENTRYID>(props[0].Value.bin.lpb),
                                           CREATE_CHECK_DUP_LOOSE, &entry.p),
                  hrSuccess);
        m_object->FreeBuffer(props);
        SPropValue name = Text(PR_DISPLAY_NAME, pszName);
        ASSERT_EQ(entry->SetProps(1, &name, nullptr), hrSuccess);
        ASSERT_EQ(entry->SaveChanges(0), hrSuccess);
    }

    void Rename(const std::string& id, const char* pszName)
    {
        ULONG type = 0;
        Ref<IMAPIUnknown> unknown;
        ASSERT_EQ(m_book->OpenEntry(static_cast<ULONG>(id.size()),
                                    reinterpret_cast<LPENTRYID>(const_cast<char*>(id.data())), nullptr, MAPI_MODIFY,
                                    &type, &unknown.p),
                  hrSuccess);
        auto* entry = static_cast<IMailUser*>(unknown.p);
        SPropValue name = Text(PR_DISPLAY_NAME, pszName);
        ASSERT_EQ(entry->SetProps(1, &name, nullptr), hrSuccess);
        ASSERT_EQ(entry->SaveChanges(0), hrSuccess);
    }

    // The next row of the table: its identifier and display name; false at
    // the end.
    bool Next(IMAPITable* table, std::string* pId, std::string* pName)
    {
        LPSRowSet rows = nullptr;
        EXPECT_EQ(table->QueryRows(1, 0, &rows), hrSuccess);
        if (rows == nullptr)
            return false;
        const bool bRow = rows->cRows == 1;
        if (bRow) {
            const SPropValue* props = rows->aRow[0].lpProps;
            pId->assign(reinterpret_cast<const char*>(props[0].Value.bin.lpb), props[0].Value.bin.cb);
            pName->assign(PROP_TYPE(props[1].ulPropTag) == PT_STRING8 ? props[1].Value.lpszA : "");
            m_object->FreeBuffer(rows->aRow[0].lpProps);
        }
        m_object->FreeBuffer(rows);
        return bRow;
    }

    vwtest::TempDir m_tmp{"wabwalk"};
    Ref<IAddrBook> m_book;
    Ref<IWABObject> m_object;
    Ref<IABContainer> m_container;
};

TEST_F(WabWalkTest, SavesDuringAWalkAreSeenByIt)
{
    // More entries than the library reads ahead at once.
    constexpr int kCount = 600;
    for (int n = 0; n < kCount; ++n)
        Create(("n" + std::to_string(n)).c_str());
    std::vector<std::string> ids;
    {
        Ref<IMAPITable> table;
        ASSERT_EQ(m_container->GetContentsTable(0, &table.p), hrSuccess);
        std::string id;
        std::string name;
        while (Next(table.p, &id, &name))
            ids.push_back(id);
    }
    ASSERT_EQ(ids.size(), static_cast<size_t>(kCount));

    Ref<IMAPITable> table;
    ASSERT_EQ(m_container->GetContentsTable(0, &table.p), hrSuccess);
    SizedSPropTagArray<2> columns = {2, {PR_ENTRYID, PR_DISPLAY_NAME}};
    ASSERT_EQ(table->SetColumns(columns.Get(), 0), hrSuccess);
    std::vector<std::string> names;
    std::string id;
    std::string name;
    for (int n = 0; n < 10 && Next(table.p, &id, &name); ++n)
        names.push_back(name);
    // Changes to rows ahead of the walk, and a new entry, while it runs.
    Rename(ids[20], "renamed 20");
    Rename(ids[kCount - 1], "renamed last");
    Create("late");
    while (Next(table.p, &id, &name))
        names.push_back(name);

    ASSERT_EQ(names.size(), static_cast<size_t>(kCount + 1));
    EXPECT_EQ(names[9], "n9");
    EXPECT_EQ(names[20], "renamed 20");
    EXPECT_EQ(names[kCount - 1], "renamed last");
    EXPECT_EQ(names[kCount], "late");
}

}  // namespace
