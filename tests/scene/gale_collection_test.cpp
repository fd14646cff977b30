// The image cache: sharing, holdings, eviction of released pictures oldest first, and
// invalidation while a picture is in use.

#include "scene/gale_collection.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "scene/picture_files.h"

namespace kivo {
namespace {

using test::GalFile;
using test::MemoryPictures;
using test::RgbFrame;

constexpr ObjectHandle kUserA{1, 1};
constexpr ObjectHandle kUserB{2, 1};

uint32_t PixelAt(TGaleItem& item, int32_t frame, int32_t x, int32_t y) {
    return item.Frame(frame).surface.GetPixel(x, y) & 0xFFFFFF;
}

TEST(GaleCollection, UsersShareOneDecodedItemThatWaitsReleasedUntilTakenBack) {
    MemoryPictures files;
    files.AddSolid("bg.gal", 4, 3, 0x123456);
    TGaleCollection cache(&files);
    TGaleItem& first = cache.Acquire(kUserA, "bg.gal", false, false);
    TGaleItem& second = cache.Acquire(kUserB, "bg.gal", false, false);
    EXPECT_EQ(&first, &second);
    EXPECT_EQ(cache.LoadCount(), 1);
    EXPECT_EQ(first.Width(), 4);
    EXPECT_EQ(first.Height(), 3);
    EXPECT_EQ(PixelAt(first, 0, 3, 2), 0x123456u);

    cache.Release(first, kUserA);
    EXPECT_TRUE(cache.ReleasedKeys().empty());
    cache.Release(first, kUserB);
    EXPECT_EQ(cache.ReleasedKeys(), std::vector<std::string>{"bg.gal"});
    EXPECT_EQ(cache.ReleasedBytes(), 4 * 3 * 4);

    TGaleItem& again = cache.Acquire(kUserA, "bg.gal", false, false);
    EXPECT_EQ(&again, &first);
    EXPECT_EQ(cache.LoadCount(), 1);
    EXPECT_TRUE(cache.ReleasedKeys().empty());
    EXPECT_EQ(cache.ReleasedBytes(), 0);
}

TEST(GaleCollection, EachHoldingOfOneUserCounts) {
    // A map image whose base and hover pictures are one file holds the item twice: giving up
    // one of them must not release the other.
    MemoryPictures files;
    files.AddSolid("map.gal", 2, 2, 0xFF0000);
    TGaleCollection cache(&files);
    TGaleItem& base = cache.Acquire(kUserA, "map.gal", false, true);
    TGaleItem& hover = cache.Acquire(kUserA, "map.gal", false, true);
    ASSERT_EQ(&base, &hover);
    EXPECT_EQ(base.HoldingsOf(kUserA), 2);
    cache.Release(hover, kUserA);
    EXPECT_TRUE(base.InUse());
    EXPECT_TRUE(cache.ReleasedKeys().empty());
    cache.Release(base, kUserA);
    EXPECT_EQ(cache.ReleasedKeys(), std::vector<std::string>{"map.gal?m"});
    // A user that holds nothing releases nothing.
    cache.Release(base, kUserB);
    EXPECT_EQ(cache.ReleasedKeys().size(), 1u);
}

TEST(GaleCollection, ReleasedPicturesOverTheBudgetGoOldestFirstKeepingTheNewest) {
    // 600 x 600 x 4 bytes = 1,440,000: four fit in 5,760,000, a fifth pushes the oldest out.
    MemoryPictures files;
    for (const char* name : {"a.gal", "b.gal", "c.gal", "d.gal", "e.gal"})
        files.AddSolid(name, 600, 600, 0x010203);
    files.AddSolid("huge.gal", 1300, 1200, 0x010203);  // 6,240,000 bytes alone
    TGaleCollection cache(&files);
    std::vector<TGaleItem*> items;
    for (const char* name : {"c.gal", "a.gal", "e.gal", "b.gal", "d.gal"})
        items.push_back(&cache.Acquire(kUserA, name, false, false));
    for (size_t i = 0; i < 4; ++i)
        cache.Release(*items[i], kUserA);
    EXPECT_EQ(cache.ReleasedBytes(), 4 * 1'440'000);
    EXPECT_EQ(cache.ItemCount(), 5);
    cache.Release(*items[4], kUserA);
    EXPECT_EQ(cache.ReleasedKeys(), (std::vector<std::string>{"a.gal", "e.gal", "b.gal", "d.gal"}));
    EXPECT_EQ(cache.Find("c.gal"), nullptr);
    EXPECT_EQ(cache.ItemCount(), 4);

    // Taking one back and releasing it again makes it the newest.
    cache.Release(cache.Acquire(kUserB, "a.gal", false, false), kUserB);
    EXPECT_EQ(cache.ReleasedKeys(), (std::vector<std::string>{"e.gal", "b.gal", "d.gal", "a.gal"}));

    // One picture above the budget empties the list but itself.
    cache.Release(cache.Acquire(kUserA, "huge.gal", false, false), kUserA);
    EXPECT_EQ(cache.ReleasedKeys(), std::vector<std::string>{"huge.gal"});
    EXPECT_EQ(cache.ReleasedBytes(), 6'240'000);
}

TEST(GaleCollection, InvalidateFreesReleasedItemsAndLetsNewUsersReadTheNewFile) {
    MemoryPictures files;
    files.AddSolid("shot.gal", 2, 2, 0x111111);
    TGaleCollection cache(&files);
    TGaleItem& old = cache.Acquire(kUserA, "shot.gal", false, false);
    cache.Release(cache.Acquire(kUserB, "shot.gal", true, false), kUserB);  // "shot.gal?t"
    ASSERT_EQ(cache.ItemCount(), 2);

    files.AddSolid("shot.gal", 2, 2, 0x222222);
    cache.Invalidate("shot.gal");
    EXPECT_EQ(cache.ItemCount(), 0);
    EXPECT_TRUE(cache.ReleasedKeys().empty());
    // The user of the old item still draws the old picture.
    EXPECT_EQ(PixelAt(old, 0, 1, 1), 0x111111u);

    TGaleItem& fresh = cache.Acquire(kUserB, "shot.gal", false, false);
    EXPECT_NE(&fresh, &old);
    EXPECT_EQ(PixelAt(fresh, 0, 1, 1), 0x222222u);
    EXPECT_EQ(PixelAt(old, 0, 1, 1), 0x111111u);
    // The old item goes when its last user lets it go; it never enters the released list.
    cache.Release(old, kUserA);
    EXPECT_TRUE(cache.ReleasedKeys().empty());
    EXPECT_EQ(cache.Find("shot.gal"), &fresh);
}

TEST(GaleCollection, MissingFilesAreTransparentAndFramesKeepTheirTimesAndTrimOffsets) {
    MemoryPictures files;
    // 4 x 3 keyed on black, with one opaque 2 x 1 run at (1, 1); delays 0 and 30.
    const uint32_t k = 0x000000, r = 0xFF0000;
    GalFile file;
    file.frames.push_back(RgbFrame(4, 3, {k, k, k, k, k, r, r, k, k, k, k, k}, 0, 0));
    file.frames.push_back(RgbFrame(4, 3, std::vector<uint32_t>(12, r), 30, 0));
    files.Add("odd?t.gal", file);
    TGaleCollection cache(&files);

    // "?t" inside a name is part of the name, not a flag.
    TGaleItem& plain = cache.Acquire(kUserA, "odd?t.gal", false, false);
    ASSERT_EQ(plain.FrameCount(), 2);
    EXPECT_EQ(plain.Frame(0).delay, 1);
    EXPECT_EQ(plain.Frame(1).delay, 30);
    EXPECT_EQ(plain.TotalTime(), 31);
    EXPECT_EQ(plain.Frame(0).key, plain.Frame(0).surface.ColorToKey(0));
    EXPECT_EQ(plain.Frame(0).mask, nullptr);

    TGaleItem& trimmed = cache.Acquire(kUserA, "odd?t.gal", true, true);
    EXPECT_EQ(trimmed.Key(), "odd?t.gal?m?t");
    EXPECT_EQ(trimmed.Width(), 4);  // the picture keeps its whole size
    EXPECT_EQ(trimmed.Frame(0).surface.Width(), 2);
    EXPECT_EQ(trimmed.Frame(0).surface.Height(), 1);
    EXPECT_EQ(trimmed.Frame(0).offsetX, 1);
    EXPECT_EQ(trimmed.Frame(0).offsetY, 1);
    ASSERT_NE(trimmed.Frame(0).mask, nullptr);
    EXPECT_EQ(trimmed.Frame(0).mask->GetPixel(1, 0), 255u);

    TGaleItem& missing = cache.Acquire(kUserA, "none.gal", false, true);
    ASSERT_EQ(missing.FrameCount(), 1);
    EXPECT_EQ(missing.Width(), 8);
    EXPECT_EQ(missing.Frame(0).key, TColorKey(0));
    ASSERT_NE(missing.Frame(0).mask, nullptr);
    EXPECT_EQ(missing.Frame(0).mask->GetPixel(7, 7), 0u);
    EXPECT_EQ(missing.ByteSize(), 8 * 8 * 4 + 8 * 8);
}

TEST(GaleCollection, ADamagedFileRaisesAnErrorNamingItAndLeavesNoItem) {
    MemoryPictures files;
    std::vector<uint8_t> bytes = test::WriteGal([] {
        GalFile file;
        file.frames.push_back(RgbFrame(4, 4, std::vector<uint32_t>(16, 0xFFFFFF)));
        return file;
    }());
    bytes.resize(bytes.size() - 10);
    files.files["broken.gal"] = bytes;
    TGaleCollection cache(&files);
    try {
        (void)cache.Acquire(kUserA, "broken.gal", false, false);
        FAIL() << "no error";
    } catch (const KivoError& error) {
        EXPECT_NE(std::string(error.what()).find("broken.gal"), std::string::npos);
    }
    EXPECT_EQ(cache.ItemCount(), 0);
}

TEST(GaleCollection, TheDitheringFlagTravelsAsOneByteFromVersion101) {
    TGaleCollection cache;
    cache.SetScreenDepth(true);
    ByteWriter writer;
    cache.Save(writer);
    ASSERT_EQ(writer.Bytes(), std::vector<uint8_t>{1});
    TGaleCollection loaded;
    ByteReader reader(writer.Bytes(), "status");
    loaded.Load(reader, 101);
    EXPECT_TRUE(loaded.ScreenDepth());
    ByteReader old(writer.Bytes(), "status");
    TGaleCollection older;
    older.Load(old, 100);
    EXPECT_FALSE(older.ScreenDepth());
    EXPECT_EQ(old.Remaining(), 1u);
}

}  // namespace
}  // namespace kivo
