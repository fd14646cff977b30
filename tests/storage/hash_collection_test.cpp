#include "storage/hash_collection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/sjis.h"

namespace kivo {
namespace {

struct Named : THashCollectionItem {};

void Fill(HashCollection<Named>& c, std::initializer_list<const char*> names) {
    for (const char* n : names)
        c.Add(std::make_unique<Named>(), n);
}

std::string GameName(int i) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "flag%04d", i);
    return buffer;
}

TEST(HashCollection, HashFoldsSingleByteCharactersOnly) {
    EXPECT_EQ(THashCollection::Hash("FLAG1"), THashCollection::Hash("flag1"));
    EXPECT_EQ(THashCollection::Hash("\x83\x41x"), THashCollection::Hash("\x83\x41X"));
    // The trail byte 'A' of this character must not be folded.
    EXPECT_NE(THashCollection::Hash("x\x83\x41z"), THashCollection::Hash("x\x83\x61z"));
}

TEST(HashCollection, GameStyleNamesSpreadOverAGrowingIndex) {
    // Games number their flags: names of one length that differ in the last digits only.
    HashCollection<Named> c;
    std::vector<int> perBucket;
    for (int i = 0; i < 10000; ++i)
        c.Add(std::make_unique<Named>(), GameName(i));
    ASSERT_GE(c.BucketCount(), 10000u);
    perBucket.assign(c.BucketCount(), 0);
    for (int i = 0; i < 10000; ++i)
        ++perBucket[c.BucketOf(GameName(i))];
    int used = 0, longest = 0;
    for (int n : perBucket) {
        used += n > 0;
        longest = std::max(longest, n);
    }
    EXPECT_GT(used, 5000);
    EXPECT_LE(longest, 10);
    for (int i = 0; i < 10000; i += 37)
        EXPECT_EQ(c.IndexOf(sjis::ToUpperAscii(GameName(i))), i);
}

TEST(HashCollection, GrowingKeepsNewestFirstAmongEqualNames) {
    HashCollection<Named> c;
    // Three generations of the same names, the later ones in other letter cases, with enough
    // items between them to make the index grow several times.
    for (int generation = 0; generation < 3; ++generation) {
        for (int i = 0; i < 1000; ++i) {
            std::string name = GameName(i);
            if (generation == 1) name = sjis::ToUpperAscii(name);
            c.Add(std::make_unique<Named>(), name);
        }
    }
    for (int i = 0; i < 1000; i += 99)
        EXPECT_EQ(c.IndexOf(GameName(i)), 2000 + i);
    c.Delete(2000 + 5);
    EXPECT_EQ(c.IndexOf(GameName(5)), 1000 + 5);
    EXPECT_EQ(c.At(1000 + 5).Name(), "FLAG0005");
    EXPECT_EQ(c.IndexOf(GameName(6)), 2000 + 5);  // moved down by one
}

TEST(HashCollection, DeleteIfRenumbersInOnePass) {
    HashCollection<Named> c;
    Fill(c, {"keep", "drop", "Keep", "x", "drop"});
    c.DeleteIf([](const THashCollectionItem& item) { return item.Name() == "drop"; });
    ASSERT_EQ(c.Count(), 3);
    EXPECT_EQ(c.IndexOf("drop"), -1);
    EXPECT_EQ(c.IndexOf("KEEP"), 1);
    EXPECT_EQ(c.IndexOf("x"), 2);
    for (int32_t i = 0; i < c.Count(); ++i)
        EXPECT_EQ(c.At(i).Index(), i);
    c.Delete(1);
    EXPECT_EQ(c.IndexOf("keep"), 0);
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
    c.At(0).SetName("Three");  // another case: still found, and only once
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
