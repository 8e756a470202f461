// CMapPtrToPtr: a hash map from void* to void*, walked with POSITION values.
//
// Chained buckets of small entries. A POSITION is the entry that GetNextAssoc answers next, so
// removing the entry just returned (or any other than the next one) during a walk is safe. Not
// synchronised: callers that share a map between threads lock around it.
#pragma once
#include <windows.h>
#include "CObject.h"

#ifndef AFX_POSITION_DEFINED
#define AFX_POSITION_DEFINED
struct __POSITION
{
};
typedef __POSITION* POSITION;
#endif

#ifndef BEFORE_START_POSITION
#define BEFORE_START_POSITION ((POSITION)-1L)
#endif

class CMapPtrToPtr : public CObject
{
    DECLARE_DYNAMIC(CMapPtrToPtr)
public:
    // nBlockSize: how many entries are allocated at a time.
    explicit CMapPtrToPtr(int nBlockSize = 10);
    ~CMapPtrToPtr() override;

    int GetCount() const { return m_nCount; }
    BOOL IsEmpty() const { return m_nCount == 0; }

    BOOL Lookup(void* key, void*& rValue) const;
    // Adds the key with a null value when it is missing.
    void*& operator[](void* key);
    void SetAt(void* key, void* newValue) { (*this)[key] = newValue; }
    BOOL RemoveKey(void* key);
    void RemoveAll();

    // Null for an empty map.
    POSITION GetStartPosition() const { return m_nCount == 0 ? nullptr : BEFORE_START_POSITION; }
    // Answers the entry at rNextPosition and moves it on; null after the last entry.
    void GetNextAssoc(POSITION& rNextPosition, void*& rKey, void*& rValue) const;

    UINT GetHashTableSize() const { return m_nHashTableSize; }
    // Only while the map is empty; rounded up to at least 1.
    void InitHashTable(UINT hashSize);

protected:
    struct CAssoc
    {
        CAssoc* pNext;
        void* key;
        void* value;
    };

    UINT HashKey(void* key) const;
    CAssoc* GetAssocAt(void* key, UINT& nHash) const;
    CAssoc* NewAssoc();
    void FreeAssoc(CAssoc* pAssoc);
    void GrowHashTable();

    CAssoc** m_pHashTable;
    UINT m_nHashTableSize;
    int m_nCount;
    CAssoc* m_pFreeList;
    void* m_pBlocks;  // chain of entry blocks; each starts with the pointer to the next
    int m_nBlockSize;
};
