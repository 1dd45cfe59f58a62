// PmCategoryEx2Mgr: the category list of an open Desktop 6 database.
//
// It holds copies of the categories (PmCategoryEx2) it owns, in table order
// followed by the categories it created, and the accessor through which it
// adds new categories to the table "Category" (none until the database is
// opened; not owned).
#pragma once

#include <cstdint>

#include "common/misc/CxList.h"

class PmCategoryEx2;
class PmDataAccessor;

class PmCategoryEx2Mgr {
public:
    PmCategoryEx2Mgr();
    // Destroys every category.
    virtual ~PmCategoryEx2Mgr();
    PmCategoryEx2Mgr(const PmCategoryEx2Mgr&) = delete;
    PmCategoryEx2Mgr& operator=(const PmCategoryEx2Mgr&) = delete;

    virtual int Count();
    // Destroys every category and empties the list.
    virtual void Clear();
    // Appends a copy of the category. False for null, or when the list
    // cannot take it (the copy is then destroyed).
    virtual bool Append(const PmCategoryEx2* pCategory);
    // Creates the category in the database and appends a copy of it. Its id
    // is the count of categories + 1 when no category has that id, else one
    // more than the largest id in the list; the id is stored into
    // pCategory. The row gets the name, status 1 and color 0 (pCategory's
    // own status and color are left as they are). False without an
    // accessor or a category; otherwise the answer of Append. A failed
    // insert is logged by the accessor and the category is kept in the list
    // all the same, so that contacts of this run can refer to it.
    virtual bool AddCategory(PmCategoryEx2* pCategory);
    // The first category with this id, or null.
    virtual PmCategoryEx2* FindById(int32_t nId);
    // The category at a zero-based index, or null.
    virtual PmCategoryEx2* GetAt(int nIndex);
    // The first category whose name equals pszName exactly (letter case
    // counts); null for a null or empty name.
    virtual PmCategoryEx2* FindByName(const char* pszName);
    // Iteration in list order; null at the end. FindById, FindByName and
    // GetAt move the same cursor.
    virtual PmCategoryEx2* First();
    virtual PmCategoryEx2* Next();

    void SetAccessor(PmDataAccessor* pAccessor) { m_pAccessor = pAccessor; }
    PmDataAccessor* GetAccessor() const { return m_pAccessor; }

private:
    PmDataAccessor* m_pAccessor;  // not owned
    CxList m_list;                // PmCategoryEx2*, owned
};
