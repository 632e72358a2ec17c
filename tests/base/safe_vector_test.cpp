#include "base/safe_vector.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
std::vector<int> Contents(CSafeVector<int>& v) {
  std::vector<int> out;
  for (LONG i = 0; i < v.GetCount(); ++i) out.push_back(v.ElementAt(i));
  return out;
}
}  // namespace

TEST(CSafeVector, AddsFindsAndRemovesInOrder) {
  CSafeVector<int> v;
  EXPECT_EQ(v.GetCount(), 0);
  v.Add(1);
  v.Add(2);
  v.AddHead(0);
  v.Add(2);
  EXPECT_EQ(Contents(v), (std::vector<int>{0, 1, 2, 2}));
  EXPECT_EQ(v.Find(2), 2) << "the lowest index of a duplicate";
  EXPECT_EQ(v.Find(9), -1);
  v.Remove(2);
  EXPECT_EQ(Contents(v), (std::vector<int>{0, 1, 2}));
  v.RemoveHead();
  v.RemoveTail();
  EXPECT_EQ(Contents(v), (std::vector<int>{1}));
  v.RemoveAll();
  EXPECT_EQ(v.GetCount(), 0);
}

TEST(CSafeVector, OutOfRangeIndicesChangeNothing) {
  CSafeVector<int> v;
  v.RemoveHead();
  v.RemoveTail();
  v.RemoveAt(0);
  v.Remove(5);
  v.Add(7);
  int out = 42;
  for (LONG index : {-1L, 1L}) {
    EXPECT_FALSE(v.SetAt(index, 3));
    EXPECT_FALSE(v.GetAt(index, out));
    v.RemoveAt(index);
  }
  EXPECT_EQ(out, 42);
  EXPECT_TRUE(v.GetAt(0, out));
  EXPECT_EQ(out, 7);
  EXPECT_TRUE(v.SetAt(0, 8));
  EXPECT_EQ(Contents(v), (std::vector<int>{8}));
}

TEST(CSafeVector, SizeLimitRefusesInsertsOnlyWhenSet) {
  CSafeVector<int> limited(2);
  EXPECT_TRUE(limited.Add(1));
  EXPECT_TRUE(limited.AddHead(0));
  EXPECT_FALSE(limited.Add(2));
  EXPECT_FALSE(limited.AddHead(2));
  EXPECT_EQ(Contents(limited), (std::vector<int>{0, 1}));
  CSafeVector<int> unlimited(-1);
  for (int i = 0; i < 100; ++i) EXPECT_TRUE(unlimited.Add(i));
}

TEST(CSafeVector, HolderOfTheLockMayCallEveryOperation) {
  CSafeVector<int> v;
  const CAutoLock hold = v.Hold();
  v.Add(1);
  EXPECT_EQ(v.GetCount(), 1);
}
