#include "CMapPtrToPtr.h"

#include <new>

IMPLEMENT_DYNAMIC(CMapPtrToPtr, CObject)

namespace
{
const UINT kDefaultHashTableSize = 17;
}

CMapPtrToPtr::CMapPtrToPtr(int nBlockSize)
    : m_pHashTable(nullptr),
      m_nHashTableSize(kDefaultHashTableSize),
      m_nCount(0),
      m_pFreeList(nullptr),
      m_pBlocks(nullptr),
      m_nBlockSize(nBlockSize > 0 ? nBlockSize : 10)
{
}

CMapPtrToPtr::~CMapPtrToPtr() { RemoveAll(); }

UINT CMapPtrToPtr::HashKey(void* key) const { return (UINT)((DWORD_PTR)key >> 4); }

void CMapPtrToPtr::InitHashTable(UINT hashSize)
{
    if (m_nCount != 0)
        return;
    delete[] m_pHashTable;
    m_pHashTable = nullptr;
    m_nHashTableSize = hashSize != 0 ? hashSize : 1;
}

CMapPtrToPtr::CAssoc* CMapPtrToPtr::GetAssocAt(void* key, UINT& nHash) const
{
    nHash = HashKey(key) % m_nHashTableSize;
    if (m_pHashTable == nullptr)
        return nullptr;
    for (CAssoc* pAssoc = m_pHashTable[nHash]; pAssoc != nullptr; pAssoc = pAssoc->pNext)
        if (pAssoc->key == key)
            return pAssoc;
    return nullptr;
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
    UINT nHash;
    CAssoc* pAssoc = GetAssocAt(key, nHash);
    if (pAssoc == nullptr)
        return FALSE;
    rValue = pAssoc->value;
    return TRUE;
}

void*& CMapPtrToPtr::operator[](void* key)
{
    UINT nHash;
    CAssoc* pAssoc = GetAssocAt(key, nHash);
    if (pAssoc != nullptr)
        return pAssoc->value;

    if (m_pHashTable == nullptr)
    {
        m_pHashTable = new CAssoc*[m_nHashTableSize]();
    }
    else if ((UINT)m_nCount >= m_nHashTableSize * 2)
    {
        GrowHashTable();
        nHash = HashKey(key) % m_nHashTableSize;
    }
    pAssoc = NewAssoc();
    pAssoc->key = key;
    pAssoc->pNext = m_pHashTable[nHash];
    m_pHashTable[nHash] = pAssoc;
    return pAssoc->value;
}

// Keeps chains short as the map fills. Entries keep their addresses, but the walk order changes,
// so adding entries during a walk is not supported (as with any hash map of the framework).
void CMapPtrToPtr::GrowHashTable()
{
    UINT nNewSize = m_nHashTableSize * 2 + 1;
    CAssoc** pNewTable = new CAssoc*[nNewSize]();
    for (UINT nBucket = 0; nBucket < m_nHashTableSize; ++nBucket)
    {
        CAssoc* pAssoc = m_pHashTable[nBucket];
        while (pAssoc != nullptr)
        {
            CAssoc* pNext = pAssoc->pNext;
            UINT nHash = HashKey(pAssoc->key) % nNewSize;
            pAssoc->pNext = pNewTable[nHash];
            pNewTable[nHash] = pAssoc;
            pAssoc = pNext;
        }
    }
    delete[] m_pHashTable;
    m_pHashTable = pNewTable;
    m_nHashTableSize = nNewSize;
}

BOOL CMapPtrToPtr::RemoveKey(void* key)
{
    if (m_pHashTable == nullptr)
        return FALSE;
    CAssoc** ppAssocPrev = &m_pHashTable[HashKey(key) % m_nHashTableSize];
    for (CAssoc* pAssoc = *ppAssocPrev; pAssoc != nullptr; pAssoc = pAssoc->pNext)
    {
        if (pAssoc->key == key)
        {
            *ppAssocPrev = pAssoc->pNext;
            FreeAssoc(pAssoc);
            return TRUE;
        }
        ppAssocPrev = &pAssoc->pNext;
    }
    return FALSE;
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

void CMapPtrToPtr::GetNextAssoc(POSITION& rNextPosition, void*& rKey, void*& rValue) const
{
    CAssoc* pAssocRet = reinterpret_cast<CAssoc*>(rNextPosition);
    if (pAssocRet == nullptr || m_pHashTable == nullptr)
    {
        rNextPosition = nullptr;
        return;
    }
    if (pAssocRet == reinterpret_cast<CAssoc*>(BEFORE_START_POSITION))
    {
        pAssocRet = nullptr;
        for (UINT nBucket = 0; nBucket < m_nHashTableSize && pAssocRet == nullptr; ++nBucket)
            pAssocRet = m_pHashTable[nBucket];
        if (pAssocRet == nullptr)
        {
            rNextPosition = nullptr;
            return;
        }
    }

    // The next entry is found before this one is handed out, so the caller may remove it.
    CAssoc* pAssocNext = pAssocRet->pNext;
    if (pAssocNext == nullptr)
    {
        for (UINT nBucket = HashKey(pAssocRet->key) % m_nHashTableSize + 1;
             nBucket < m_nHashTableSize && pAssocNext == nullptr; ++nBucket)
            pAssocNext = m_pHashTable[nBucket];
    }
    rNextPosition = reinterpret_cast<POSITION>(pAssocNext);
    rKey = pAssocRet->key;
    rValue = pAssocRet->value;
}
