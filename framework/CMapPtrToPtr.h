// CMapPtrToPtr: a hash map from void* to void*.
//
// Chained buckets of small entries, allocated a block at a time. Not synchronised: callers that
// share a map between threads lock around it.
#pragma once
#include <windows.h>
#include "CObject.h"

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

protected:
    struct CAssoc
    {
        CAssoc* pNext;
        void* key;
        void* value;
    };

    UINT HashKey(void* key) const { return (UINT)((DWORD_PTR)key >> 4) % kHashTableSize; }
    CAssoc** FindLink(void* key) const;
    CAssoc* NewAssoc();
    void FreeAssoc(CAssoc* pAssoc);

    static const UINT kHashTableSize = 17;
    CAssoc** m_pHashTable;  // made with the first entry
    int m_nCount;
    CAssoc* m_pFreeList;
    void* m_pBlocks;  // chain of entry blocks; each starts with the pointer to the next
    int m_nBlockSize;
};
