#include "config/boundary_string.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Bytes of a block with room for nAllocLength characters and a NUL; 0 when no such block can exist.
size_t BlockBytes(int nAllocLength, int nCharSize) {
  if (nAllocLength < 0 || nCharSize <= 0) return 0;
  const size_t chars = static_cast<size_t>(nAllocLength) + 1;
  if (chars > (SIZE_MAX - sizeof(CBoundaryStringData)) / static_cast<size_t>(nCharSize)) return 0;
  return sizeof(CBoundaryStringData) + chars * static_cast<size_t>(nCharSize);
}

class COwnStringMgr final : public IBoundaryStringMgr {
 public:
  constexpr COwnStringMgr() = default;

  CBoundaryStringData* QEL_THISCALL Allocate(int nAllocLength, int nCharSize) override;
  void QEL_THISCALL Free(CBoundaryStringData* pData) override;
  CBoundaryStringData* QEL_THISCALL Reallocate(CBoundaryStringData* pData, int nAllocLength,
                                               int nCharSize) override;
  CBoundaryStringData* QEL_THISCALL GetNilString() override;
  IBoundaryStringMgr* QEL_THISCALL Clone() override { return this; }

 private:
  bool IsOwnBlock(const CBoundaryStringData* pData) const;
};

constinit COwnStringMgr g_ownMgr;

// The empty text every fresh string points at. It starts with a reference no string holds, so its count
// never reaches 0 and it is never freed.
struct NilBlock {
  CBoundaryStringData header;
  char nul[sizeof(wchar_t)];
};
constinit NilBlock g_nil{{&g_ownMgr, 0, 0, 2}, {}};

bool COwnStringMgr::IsOwnBlock(const CBoundaryStringData* pData) const {
  return pData != nullptr && pData->pStringMgr == this && pData != &g_nil.header;
}

CBoundaryStringData* COwnStringMgr::Allocate(int nAllocLength, int nCharSize) {
  const size_t bytes = BlockBytes(nAllocLength, nCharSize);
  if (bytes == 0) return nullptr;
  auto* data = static_cast<CBoundaryStringData*>(std::malloc(bytes));
  if (data == nullptr) return nullptr;
  data->pStringMgr = this;
  data->nDataLength = 0;
  data->nAllocLength = nAllocLength;
  data->nRefs = 1;
  std::memset(data->Chars(), 0, static_cast<size_t>(nCharSize));
  return data;
}

void COwnStringMgr::Free(CBoundaryStringData* pData) {
  // Another manager's block, or the empty text, is not this manager's to free.
  if (IsOwnBlock(pData)) std::free(pData);
}

CBoundaryStringData* COwnStringMgr::Reallocate(CBoundaryStringData* pData, int nAllocLength, int nCharSize) {
  const size_t bytes = BlockBytes(nAllocLength, nCharSize);
  if (!IsOwnBlock(pData) || bytes == 0 || nAllocLength < pData->nDataLength) return nullptr;
  auto* data = static_cast<CBoundaryStringData*>(std::realloc(pData, bytes));
  if (data == nullptr) return nullptr;
  data->nAllocLength = nAllocLength;
  return data;
}

CBoundaryStringData* COwnStringMgr::GetNilString() {
  InterlockedIncrement(&g_nil.header.nRefs);
  return &g_nil.header;
}

}  // namespace

IBoundaryStringMgr& OwnStringMgr() { return g_ownMgr; }

void ReleaseStringData(CBoundaryStringData* pData) {
  // A block being written into (negative count) belongs to its one string alone.
  if (InterlockedDecrement(&pData->nRefs) <= 0) pData->pStringMgr->Free(pData);
}

CBoundaryString::CBoundaryString() noexcept : m_pszData(OwnStringMgr().GetNilString()->Chars()) {}

CBoundaryString::~CBoundaryString() { ReleaseStringData(Data()); }

bool CBoundaryString::Assign(std::string_view text) noexcept {
  if (text.empty()) {
    Empty();
    return true;
  }
  if (text.size() > static_cast<size_t>(INT_MAX)) return false;
  const int length = static_cast<int>(text.size());
  CBoundaryStringData* data = OwnStringMgr().Allocate(length, 1);
  if (data == nullptr) return false;
  std::memcpy(data->Chars(), text.data(), text.size());
  data->Chars()[length] = '\0';
  data->nDataLength = length;
  Attach(data);
  return true;
}

void CBoundaryString::Empty() noexcept { Attach(OwnStringMgr().GetNilString()); }

void CBoundaryString::Attach(CBoundaryStringData* pData) noexcept {
  CBoundaryStringData* old = Data();
  m_pszData = pData->Chars();
  ReleaseStringData(old);
}
