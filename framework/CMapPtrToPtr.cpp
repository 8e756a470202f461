#include "CMapPtrToPtr.h"

IMPLEMENT_DYNAMIC(CMapPtrToPtr, CObject)

CMapPtrToPtr::CMapPtrToPtr(int nBlockSize)
    : m_pHashTable(nullptr), m_nCount(0), m_pFreeList(nullptr), m_pBlocks(nullptr),
      m_nBlockSize(nBlockSize > 0 ? nBlockSize : 10)
{
}

CMapPtrToPtr::~CMapPtrToPtr() { RemoveAll(); }

// The link that points at the key's entry, or at the null that ends its bucket when the key is
// missing. Only while the table exists.
CMapPtrToPtr::CAssoc** CMapPtrToPtr::FindLink(void* key) const
{
    CAssoc** ppAssoc = &m_pHashTable[HashKey(key)];
    while (*ppAssoc != nullptr && (*ppAssoc)->key != key)
        ppAssoc = &(*ppAssoc)->pNext;
    return ppAssoc;
}

// Entries come from blocks of m_nBlockSize; freed ones go to a free list until RemoveAll.
CMapPtrToPtr::CAssoc* CMapPtrToPtr::NewAssoc()
{
    if (m_pFreeList == nullptr)
    {
        size_t cbBlock = sizeof(void*) + sizeof(CAssoc) * (size_t)m_nBlockSize;
        void** pBlock = static_cast<void**>(::operator new(cbBlock));
        *pBlock = m_pBlocks;
        m_pBlocks = pBlock;
        CAssoc* pFirst = reinterpret_cast<CAssoc*>(pBlock + 1);
        for (int i = m_nBlockSize - 1; i >= 0; --i)
        {
            pFirst[i].pNext = m_pFreeList;
            m_pFreeList = &pFirst[i];
        }
    }
    CAssoc* pAssoc = m_pFreeList;
    m_pFreeList = pAssoc->pNext;
    pAssoc->pNext = nullptr;
    pAssoc->key = nullptr;
    pAssoc->value = nullptr;
    ++m_nCount;
    return pAssoc;
}

void CMapPtrToPtr::FreeAssoc(CAssoc* pAssoc)
{
    pAssoc->pNext = m_pFreeList;
    m_pFreeList = pAssoc;
    if (--m_nCount == 0)
        RemoveAll();
}

BOOL CMapPtrToPtr::Lookup(void* key, void*& rValue) const
{
    CAssoc* pAssoc = m_pHashTable != nullptr ? *FindLink(key) : nullptr;
    if (pAssoc == nullptr)
        return FALSE;
    rValue = pAssoc->value;
    return TRUE;
}

void*& CMapPtrToPtr::operator[](void* key)
{
    if (m_pHashTable == nullptr)
        m_pHashTable = new CAssoc*[kHashTableSize]();
    CAssoc** ppAssoc = FindLink(key);
    if (*ppAssoc == nullptr)
    {
        *ppAssoc = NewAssoc();
        (*ppAssoc)->key = key;
    }
    return (*ppAssoc)->value;
}

BOOL CMapPtrToPtr::RemoveKey(void* key)
{
    if (m_pHashTable == nullptr)
        return FALSE;
    CAssoc** ppAssoc = FindLink(key);
    CAssoc* pAssoc = *ppAssoc;
    if (pAssoc == nullptr)
        return FALSE;
    *ppAssoc = pAssoc->pNext;
    FreeAssoc(pAssoc);
    return TRUE;
}

void CMapPtrToPtr::RemoveAll()
{
    delete[] m_pHashTable;
    m_pHashTable = nullptr;
    m_nCount = 0;
    m_pFreeList = nullptr;
    while (m_pBlocks != nullptr)
    {
        void* pNext = *static_cast<void**>(m_pBlocks);
        ::operator delete(m_pBlocks);
        m_pBlocks = pNext;
    }
}
