#include "common/misc/CxList.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdlib>
#include <new>

// A block of nodes: the older block, how many nodes it holds and how many
// are handed out, then the nodes.
struct CxList::NodeBlock {
    NodeBlock* pOlder;
    uint32_t nNodes;
    uint32_t nUsed;

    // The nodes follow the block's three members, aligned as they need.
    CxListNode* Nodes()
    {
        static_assert(sizeof(NodeBlock) % alignof(CxListNode) == 0);
        return reinterpret_cast<CxListNode*>(this + 1);
    }
    static size_t BytesFor(uint32_t nNodes) { return sizeof(NodeBlock) + nNodes * sizeof(CxListNode); }
};

namespace {

// Blocks grow from the first size to the largest, doubling: a short list
// takes one small block, a long one few large ones.
constexpr uint32_t kFirstBlockNodes = 8;
constexpr uint32_t kLargestBlockNodes = 4096;

}  // namespace

CxList::CxList() : m_pHead(nullptr), m_pTail(nullptr), m_pCurr(nullptr), m_nCount(0), m_nFindIndex(0) { }

CxListNode* CxList::NewNode()
{
    if (m_pBlocks == nullptr || m_pBlocks->nUsed == m_pBlocks->nNodes) {
        const uint32_t nNodes =
            m_pBlocks == nullptr ? kFirstBlockNodes : std::min(2 * m_pBlocks->nNodes, kLargestBlockNodes);
        auto* pBlock = static_cast<NodeBlock*>(std::malloc(NodeBlock::BytesFor(nNodes)));
        if (pBlock == nullptr)
            return nullptr;
        pBlock->pOlder = m_pBlocks;
        pBlock->nNodes = nNodes;
        pBlock->nUsed = 0;
        m_pBlocks = pBlock;
    }
    return &m_pBlocks->Nodes()[m_pBlocks->nUsed++];
}

CxList::~CxList()
{
    RemoveAll(false);
}

bool CxList::AddTail(void* pData)
{
    if (pData == nullptr)
        return false;

    CxListNode* pContainer = NewNode();
    assert(pContainer);
    if (pContainer == nullptr)
        return false;  // only reachable with assertions off: the list stays as it was

    pContainer->pData = pData;
    pContainer->nIndex = m_nCount;
    pContainer->pPrev = m_pTail;
    pContainer->pNext = nullptr;

    if (m_pHead == nullptr) {
        m_pHead = pContainer;
        m_pTail = pContainer;
        m_pCurr = pContainer;
        m_nFindIndex = 0;
    } else {
        m_pTail->pNext = pContainer;
        m_pTail = pContainer;
        m_pCurr = pContainer;
        m_nFindIndex = pContainer->nIndex;
    }
    ++m_nCount;
    return true;
}

void* CxList::GetFirst()
{
    m_nFindIndex = 0;
    m_pCurr = m_pHead;
    return m_pHead != nullptr ? m_pHead->pData : nullptr;
}

void* CxList::GetNext()
{
    // Unsigned arithmetic: on an empty list 0 + 1 is not below 0.
    if (m_nFindIndex + 1 < m_nCount)
        return GetByIndex(m_nFindIndex + 1);
    return nullptr;
}

void* CxList::GetByIndex(uint32_t nIndex)
{
    if (nIndex >= m_nCount)
        return nullptr;

    assert(m_pCurr->nIndex == m_nFindIndex);

    // The walk starts from the nearest of the cursor, the head and the tail
    // (it ends on the same element from any of them), so a jump across a
    // long list costs at most half its length. The direction is fixed once.
    CxListNode* pNode = m_pCurr;
    uint32_t nStart = m_nFindIndex;
    const uint32_t nFromCursor = nIndex > m_nFindIndex ? nIndex - m_nFindIndex : m_nFindIndex - nIndex;
    if (nIndex < nFromCursor) {
        pNode = m_pHead;
        nStart = 0;
    } else if (m_nCount - 1 - nIndex < nFromCursor) {
        pNode = m_pTail;
        nStart = m_nCount - 1;
    }
    const bool bForward = nIndex > nStart;
    while (pNode != nullptr && pNode->nIndex != nIndex)
        pNode = bForward ? pNode->pNext : pNode->pPrev;
    if (pNode == nullptr)
        return nullptr;  // a broken cursor; only reachable with assertions off

    m_pCurr = pNode;
    m_nFindIndex = nIndex;
    return pNode->pData;
}

void CxList::RemoveAll(bool bFreeData)
{
    if (bFreeData) {
        for (CxListNode* pNode = m_pHead; pNode != nullptr; pNode = pNode->pNext) {
            if (pNode->pData != nullptr)
                std::free(pNode->pData);
        }
    }
    while (m_pBlocks != nullptr) {
        NodeBlock* pOlder = m_pBlocks->pOlder;
        std::free(m_pBlocks);
        m_pBlocks = pOlder;
    }
    m_pHead = nullptr;
    m_pTail = nullptr;
    m_pCurr = nullptr;
    m_nCount = 0;
    m_nFindIndex = 0;
}
