// What every class of the kernel-streaming client library shares: the Windows headers, the
// library's trace output, its private heap and its doubly linked lists.
#pragma once
#include <windows.h>
#include <winioctl.h>
#include <mmreg.h>
#include <ks.h>
#include <ksmedia.h>
#include <setupapi.h>
#include <stdarg.h>
#include <string.h>

// ---- tracing: messages of a level above the threshold are dropped (the shipped threshold is 0)
#define KS_LOG_ERROR 1
#define KS_LOG_PIN_PROPERTY 3
#define KS_LOG_WARNING 4
#define KS_LOG_INFO 5
#define KS_LOG_TRACE 6
extern LONG g_ksLogThreshold;
void LogMessage(int level, const char* format, ...);

#define KS_ENTER(name) LogMessage(KS_LOG_TRACE, "%s Enter", name "()")
#define KS_LEAVE(name) LogMessage(KS_LOG_TRACE, "%s Leave", name "()")
#define KS_LEAVE_HR(name, hr) LogMessage(KS_LOG_TRACE, "%s Leave, returning %#08x", name, (unsigned)(hr))

// ---- the library's private heap (zero-filled allocations)
void* KsHeapAlloc(SIZE_T bytes);
void KsHeapFree(void* memory);

// Library objects live on the private heap; a failed allocation gives a null object.
class CKsHeapObject {
 public:
  static void* operator new(size_t bytes) noexcept { return KsHeapAlloc(bytes); }
  static void operator delete(void* memory) noexcept { KsHeapFree(memory); }
};

// Copies text into a fixed buffer, cutting it to fit (always terminated).
void KsCopyText(char* destination, size_t destinationSize, const char* source);

// ---- lists: doubly linked, entries from the private heap, appended at the tail
template <class T>
class CKsList {
 public:
  struct Entry {
    Entry* next;
    Entry* previous;
    T* item;
  };
  CKsList() : head(NULL), tail(NULL), count(0) {}
  ~CKsList() { RemoveAll(); }
  bool AddTail(T* item) {
    Entry* entry = static_cast<Entry*>(KsHeapAlloc(sizeof(Entry)));
    if (entry == NULL) return false;
    entry->item = item;
    entry->next = NULL;
    entry->previous = tail;
    if (tail != NULL) tail->next = entry;
    else head = entry;
    tail = entry;
    count++;
    return true;
  }
  // Frees the entries, not the items they refer to.
  void RemoveAll() {
    Entry* entry = head;
    while (entry != NULL) {
      Entry* next = entry->next;
      KsHeapFree(entry);
      entry = next;
    }
    head = tail = NULL;
    count = 0;
  }
  Entry* GetHead() const { return head; }
  ULONG GetCount() const { return count; }
  bool IsEmpty() const { return count == 0; }

 private:
  CKsList(const CKsList&);
  CKsList& operator=(const CKsList&);
  Entry* head;
  Entry* tail;
  ULONG count;
};

// The items of a variable-length property result: the KSMULTIPLE_ITEM buffer it came in, the
// number of items and the bytes that really follow the header.
struct CKsPropertyItems {
  PKSMULTIPLE_ITEM buffer;
  ULONG count;
  ULONG size;
  void* First() const { return buffer != NULL ? reinterpret_cast<void*>(buffer + 1) : NULL; }
};

// Fills `items` from a result of GetPropertyMulti, keeping the count within the bytes that
// follow the header for items of `itemSize` bytes (0: variable-size items, bounded by size only).
void KsTakeItems(PKSMULTIPLE_ITEM buffer, ULONG itemSize, CKsPropertyItems* items);
void KsFreeItems(CKsPropertyItems* items);

class CKsFilter;
class CKsPin;
class CKsAudPin;
class CKsNode;
