// CxList: the ordered container every record list of the program is built on.
//
// A doubly linked list of untyped element pointers. Elements are only ever
// appended and only ever removed all at once, so each element keeps the dense
// zero-based index it received when it was appended. The list carries one
// built-in cursor; every call that moves it (GetFirst, GetNext, GetByIndex,
// AddTail) disturbs any walk of the same list in progress, so never nest two
// walks of one list.
//
// The list owns its nodes, which it takes from blocks of its own and frees a
// block at a time (nodes are only appended and only removed all at once, so
// a long list costs a few allocations, not one per element). It owns its
// elements only when RemoveAll is told to
// free them, and then releases each with plain free(): elements stored in a
// list that is emptied with RemoveAll(true) must come from malloc/calloc/
// realloc, never from new.
#pragma once

#include <cstdint>

// One element of a CxList.
struct CxListNode {
    void* pData;        // the element pointer, never null
    uint32_t nIndex;    // the element's index, 0 for the head
    CxListNode* pPrev;  // null at the head
    CxListNode* pNext;  // null at the tail
};

class CxList {
public:
    // An empty list: every member zero or null.
    CxList();
    // Deletes the nodes; the elements are left alone (RemoveAll(false)).
    ~CxList();

    CxList(const CxList&) = delete;
    CxList& operator=(const CxList&) = delete;

    // Appends pData with index GetCount() and moves the cursor to it.
    // Returns false, changing nothing, when pData is null.
    bool AddTail(void* pData);

    // Moves the cursor to the head and returns its element; null when empty.
    void* GetFirst();

    // Moves the cursor one step on and returns that element. Returns null,
    // leaving the cursor where it is, on the last element or an empty list.
    void* GetNext();

    // Moves the cursor to the element with index nIndex and returns it.
    // Returns null, leaving the cursor where it is, when nIndex is not below
    // GetCount(). Costs the distance from the cursor, the head or the tail,
    // whichever is nearest.
    void* GetByIndex(uint32_t nIndex);

    // Number of elements; also the index the next appended element receives.
    uint32_t GetCount() const { return m_nCount; }

    // Deletes every node and returns the list to the empty state. With
    // bFreeData set, each element is released with free() first.
    void RemoveAll(bool bFreeData);

private:
    // A node from the newest block (a new block when it is full), or null
    // when memory runs out.
    CxListNode* NewNode();

    struct NodeBlock;
    NodeBlock* m_pBlocks = nullptr;  // the newest block of nodes, linked to the older ones
    CxListNode* m_pHead;             // first node, null when empty
    CxListNode* m_pTail;             // last node, null when empty
    CxListNode* m_pCurr;             // the cursor node
    uint32_t m_nCount;               // number of nodes
    uint32_t m_nFindIndex;           // index of the cursor node
};
