// Calls an interface operation by its position in the table, as the host does, so tests pin the slot
// order rather than the declaration's names.
#pragma once

#include "base/platform.h"

template <typename Result = HRESULT, typename... Args>
Result CallSlot(void* iface, int slot, Args... args) {
  using Entry = Result(STDMETHODCALLTYPE*)(void*, Args...);
  Entry* table = *static_cast<Entry**>(iface);
  return table[slot](iface, args...);
}
