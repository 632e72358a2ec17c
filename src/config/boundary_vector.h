// The growable array of the configuration structures that the proxy plug-in shares, laid out as the
// standard library of the plug-in's generation lays out its vector: an allocator word, then the begin,
// end and end-of-storage pointers. The storage comes from the C runtime heap that every library of the
// process shares, so either side can grow or free it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <type_traits>

template <typename T>
class CBoundaryVector {
  static_assert(std::is_trivially_copyable_v<T>, "elements move with realloc");

 public:
  CBoundaryVector() = default;
  ~CBoundaryVector() { clear(); }
  CBoundaryVector(const CBoundaryVector&) = delete;
  CBoundaryVector& operator=(const CBoundaryVector&) = delete;

  T* begin() const { return m_pBegin; }
  T* end() const { return m_pEnd; }
  size_t size() const { return static_cast<size_t>(m_pEnd - m_pBegin); }
  bool empty() const { return m_pEnd == m_pBegin; }
  T& operator[](size_t index) const { return m_pBegin[index]; }

  // False, with nothing changed, when the storage cannot grow.
  bool push_back(T value) {
    if (m_pEnd == m_pEndOfStorage && !Grow()) return false;
    *m_pEnd++ = value;
    return true;
  }
  // Empties the array and gives its storage back.
  void clear() {
    std::free(m_pBegin);
    m_pBegin = m_pEnd = m_pEndOfStorage = nullptr;
  }

 private:
  bool Grow() {
    const size_t count = size();
    const size_t capacity = count == 0 ? 4 : count * 2;
    if (capacity > SIZE_MAX / sizeof(T)) return false;
    T* storage = static_cast<T*>(std::realloc(m_pBegin, capacity * sizeof(T)));
    if (storage == nullptr) return false;
    m_pBegin = storage;
    m_pEnd = storage + count;
    m_pEndOfStorage = storage + capacity;
    return true;
  }

  [[maybe_unused]] uintptr_t m_allocator = 0;  // where the plug-in's allocator object sits; never read
  T* m_pBegin = nullptr;
  T* m_pEnd = nullptr;
  T* m_pEndOfStorage = nullptr;
};
