#include "config/boundary_string.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "config/boundary_vector.h"

namespace {

// Another library's manager: records what it allocated and every free it is handed.
class ForeignMgr final : public IBoundaryStringMgr {
 public:
  ~ForeignMgr() {
    for (CBoundaryStringData* block : m_live) std::free(block);
  }
  CBoundaryStringData* QEL_THISCALL Allocate(int nAllocLength, int nCharSize) override {
    if (nAllocLength < 0 || nCharSize <= 0) return nullptr;  // as every manager: no room for the NUL
    auto* data = static_cast<CBoundaryStringData*>(
        std::malloc(sizeof(CBoundaryStringData) + static_cast<size_t>(nAllocLength + 1) * nCharSize));
    *data = {this, 0, nAllocLength, 1};
    data->Chars()[0] = '\0';
    m_live.push_back(data);
    return data;
  }
  void QEL_THISCALL Free(CBoundaryStringData* pData) override {
    auto found = std::find(m_live.begin(), m_live.end(), pData);
    if (found == m_live.end()) {
      ++foreignFrees;
      return;
    }
    m_live.erase(found);
    std::free(pData);
  }
  CBoundaryStringData* QEL_THISCALL Reallocate(CBoundaryStringData*, int, int) override { return nullptr; }
  CBoundaryStringData* QEL_THISCALL GetNilString() override { return nullptr; }
  IBoundaryStringMgr* QEL_THISCALL Clone() override { return this; }

  // A text of this manager's, as the other library's string would hold it.
  char* Text(const char* text) {
    CBoundaryStringData* data = Allocate(static_cast<int>(std::strlen(text)), 1);
    std::strcpy(data->Chars(), text);
    data->nDataLength = static_cast<int>(std::strlen(text));
    return data->Chars();
  }
  size_t Live() const { return m_live.size(); }
  int foreignFrees = 0;

 private:
  std::vector<CBoundaryStringData*> m_live;
};

CBoundaryStringData* HeaderOf(const CBoundaryString& text) {
  return reinterpret_cast<CBoundaryStringData*>(const_cast<char*>(text.c_str())) - 1;
}

// Puts another library's text into a string, as that library writes into a shared structure.
void Plant(CBoundaryString& text, char* chars) {
  char* old = const_cast<char*>(text.c_str());
  std::memcpy(static_cast<void*>(&text), &chars, sizeof chars);
  ReleaseStringData(reinterpret_cast<CBoundaryStringData*>(old) - 1);
}

}  // namespace

TEST(CBoundaryString, WritingOverAnotherLibrarysTextHandsItBackToItsManager) {
  ForeignMgr foreign;
  for (const char* replacement : {"own text", ""}) {
    CBoundaryString text;
    Plant(text, foreign.Text("theirs"));
    EXPECT_EQ(text, "theirs");
    ASSERT_TRUE(text.Assign(replacement));
    EXPECT_EQ(foreign.Live(), 0u) << replacement;
    EXPECT_EQ(text, replacement);
    EXPECT_EQ(HeaderOf(text)->pStringMgr, &OwnStringMgr());
    EXPECT_EQ(HeaderOf(text)->nDataLength, static_cast<int>(std::strlen(replacement)));
    EXPECT_EQ(text.c_str()[text.length()], '\0');
  }
  EXPECT_EQ(foreign.foreignFrees, 0);
}

TEST(CBoundaryString, TheLastReferenceFreesThroughTheBlocksOwnManager) {
  ForeignMgr foreign;
  {
    CBoundaryString text;
    Plant(text, foreign.Text("shared"));
    InterlockedIncrement(&HeaderOf(text)->nRefs);  // the other library still holds it too
    CBoundaryStringData* block = HeaderOf(text);
    text.Empty();
    EXPECT_EQ(foreign.Live(), 1u) << "one reference is left";
    ReleaseStringData(block);
    EXPECT_EQ(foreign.Live(), 0u);
  }
  CBoundaryString locked;
  Plant(locked, foreign.Text("being written"));
  HeaderOf(locked)->nRefs = -1;  // its one owner is writing into it
  locked.Empty();
  EXPECT_EQ(foreign.Live(), 0u);
}

TEST(CBoundaryString, OwnManagerFreesOnlyItsOwnBlocksAndNeverTheEmptyText) {
  ForeignMgr foreign;
  CBoundaryStringData* theirs = reinterpret_cast<CBoundaryStringData*>(foreign.Text("theirs")) - 1;
  OwnStringMgr().Free(theirs);
  CBoundaryStringData* nil = OwnStringMgr().GetNilString();
  const LONG nilRefs = nil->nRefs;
  OwnStringMgr().Free(nil);
  for (int i = 0; i < 3; ++i) {
    CBoundaryString empty;
    empty.Empty();
    EXPECT_STREQ(empty.c_str(), "");
  }
  EXPECT_EQ(nil->nRefs, nilRefs) << "every empty string gave its reference back";
  EXPECT_EQ(std::strcmp(theirs->Chars(), "theirs"), 0);
  EXPECT_EQ(OwnStringMgr().Clone(), &OwnStringMgr());
  ReleaseStringData(nil);
}

TEST(CBoundaryString, ManagerCallsTheOtherLibraryMakes) {
  IBoundaryStringMgr& own = OwnStringMgr();
  EXPECT_EQ(own.Allocate(-1, 1), nullptr);
  EXPECT_EQ(own.Allocate(4, 0), nullptr);
  CBoundaryStringData* data = own.Allocate(3, 1);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->nRefs, 1);
  EXPECT_EQ(data->nAllocLength, 3);
  std::memcpy(data->Chars(), "abc", 4);
  data->nDataLength = 3;
  EXPECT_EQ(own.Reallocate(data, 2, 1), nullptr) << "too small for its text";
  data = own.Reallocate(data, 64, 1);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->nAllocLength, 64);
  EXPECT_STREQ(data->Chars(), "abc");
  ForeignMgr foreign;
  EXPECT_EQ(own.Reallocate(reinterpret_cast<CBoundaryStringData*>(foreign.Text("x")) - 1, 8, 1), nullptr);
  ReleaseStringData(data);
}

TEST(CBoundaryVector, KeepsItsElementsInTheSharedLayoutAsItGrows) {
  CBoundaryVector<int*> list;
  std::vector<int> values(9);
  for (int& value : values) ASSERT_TRUE(list.push_back(&value));
  ASSERT_EQ(list.size(), values.size());
  for (size_t i = 0; i < values.size(); ++i) EXPECT_EQ(list[i], &values[i]);
  // Allocator word, begin, end, end of storage.
  uintptr_t words[4];
  std::memcpy(words, static_cast<void*>(&list), sizeof words);
  EXPECT_EQ(sizeof list, sizeof words);
  EXPECT_EQ(words[1], reinterpret_cast<uintptr_t>(list.begin()));
  EXPECT_EQ(words[2], reinterpret_cast<uintptr_t>(list.end()));
  EXPECT_GE(words[3], words[2]);
  list.clear();
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(list.begin(), nullptr);
}
