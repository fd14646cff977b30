#include "storage/hash_collection.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

struct Named : THashCollectionItem {};

void Fill(HashCollection<Named>& c, std::initializer_list<const char*> names) {
    for (const char* n : names)
        c.Add(std::make_unique<Named>(), n);
}

TEST(HashCollection, HashFollowsLengthFirstAndSecondToLastBytes) {
    EXPECT_EQ(THashCollection::Hash(""), 0);
    EXPECT_EQ(THashCollection::Hash("A"), 16);
    EXPECT_EQ(THashCollection::Hash("ab"), (2 * 16 + 'a' + 'a') % 256);
    EXPECT_EQ(THashCollection::Hash("FLAG1"), THashCollection::Hash("flag1"));
    // The second-to-last byte here is a trail byte 'A' and must not be folded.
    EXPECT_NE(THashCollection::Hash("x\x83\x41z"), THashCollection::Hash("x\x83\x61z"));
}

TEST(HashCollection, LastNamedWinsAndIndexesFollowDeletion) {
    HashCollection<Named> c;
    Fill(c, {"a", "Var", "b", "VAR"});
    EXPECT_EQ(c.IndexOf("var"), 3);
    c.Delete(3);
    EXPECT_EQ(c.IndexOf("var"), 1);
    c.Delete(0);
    EXPECT_EQ(c.IndexOf("Var"), 0);
    EXPECT_EQ(c.IndexOf("b"), 1);
    EXPECT_EQ(c.IndexOf("a"), -1);
    EXPECT_EQ(c.At(1).Index(), 1);
}

TEST(HashCollection, RenamingRelinks) {
    HashCollection<Named> c;
    Fill(c, {"one", "two"});
    c.At(0).SetName("three");
    EXPECT_EQ(c.IndexOf("one"), -1);
    EXPECT_EQ(c.IndexOf("THREE"), 0);
    c.At(0).SetName("Three");  // another case, same bucket
    EXPECT_EQ(c.IndexOf("three"), 0);
    EXPECT_EQ(c.IndexOf("two"), 1);
}

TEST(IntContainers, PutGrowsWithZeros) {
    TIntList list;
    list.Put(5, 9);
    ASSERT_EQ(list.Count(), 6);
    EXPECT_EQ(list.Get(0), 0);
    EXPECT_EQ(list.Get(5), 9);
    EXPECT_EQ(list.Add(1), 6);
}

}  // namespace
}  // namespace kivo
