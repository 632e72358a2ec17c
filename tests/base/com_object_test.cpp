// The one COM object base: exact counts, which identifiers an object answers, and who ends its life.
#include <gtest/gtest.h>

#include "base/com_object.h"

namespace {

constexpr IID kIIDFirst = {0x11111111, 0x1111, 0x1111, {1, 1, 1, 1, 1, 1, 1, 1}};
constexpr IID kIIDSecond = {0x22222222, 0x2222, 0x2222, {2, 2, 2, 2, 2, 2, 2, 2}};
constexpr IID kIIDNeither = {0x33333333, 0x3333, 0x3333, {3, 3, 3, 3, 3, 3, 3, 3}};

struct IFirst : IUnknown {};
struct ISecond : IUnknown {};

// Answers IUnknown and IFirst through its first base, ISecond through its second; counts its deletes.
template <class Count>
class TwoFaced final : public CComObject<Count, IFirst, ISecond> {
 public:
  explicit TwoFaced(int& deletes) : CComObject<Count, IFirst, ISecond>(1), m_deletes(deletes) {}
  ~TwoFaced() override { ++m_deletes; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) override {
    return this->Answer(iid, ppv,
                        {{IID_IUnknown, First()}, {kIIDFirst, First()}, {kIIDSecond, static_cast<ISecond*>(this)}});
  }
  IFirst* First() { return static_cast<IFirst*>(this); }

 private:
  int& m_deletes;
};

TEST(ComObject, AnswersEachIdentifierWithItsOwnInterfaceAndOneReference) {
  int deletes = 0;
  auto* object = new TwoFaced<CPlainCount>(deletes);
  struct Row {
    const IID& iid;
    HRESULT result;
    void* answer;
    LONG refsAfter;
  };
  const Row rows[] = {{IID_IUnknown, S_OK, object->First(), 2},
                      {kIIDFirst, S_OK, object->First(), 3},
                      {kIIDSecond, S_OK, static_cast<ISecond*>(object), 4},
                      {kIIDNeither, E_NOINTERFACE, nullptr, 4}};
  for (const Row& row : rows) {
    void* out = reinterpret_cast<void*>(0x1);  // a stale value the call must clear
    EXPECT_EQ(object->QueryInterface(row.iid, &out), row.result);
    EXPECT_EQ(out, row.answer);
    EXPECT_EQ(object->RefCount(), row.refsAfter);
  }
  EXPECT_EQ(object->QueryInterface(kIIDFirst, nullptr), E_POINTER);
  EXPECT_EQ(object->RefCount(), 4);
  // Every interface acts on the one count.
  EXPECT_EQ(static_cast<ISecond*>(object)->Release(), 3u);
  EXPECT_EQ(object->First()->AddRef(), 4u);
  for (ULONG left = 3; left > 0; --left) EXPECT_EQ(object->Release(), left);
  EXPECT_EQ(deletes, 0);
  EXPECT_EQ(object->Release(), 0u);
  EXPECT_EQ(deletes, 1) << "the last reference deletes the object";
}

TEST(ComObject, AWatchedObjectOutlivesItsLastReference) {
  int deletes = 0;
  {
    TwoFaced<CWatchedCount> object(deletes);
    EXPECT_EQ(object.Release(), 0u);
    EXPECT_EQ(deletes, 0);
    EXPECT_EQ(object.AddRef(), 1u);
  }
  EXPECT_EQ(deletes, 1) << "its owner ends its life";
}

}  // namespace
