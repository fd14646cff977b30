#include "media/media_library.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

// Until decoding arrives every item must look ended, so that a script waiting for a sound or a
// film to finish goes on; its settings still read back as set.
TEST(MediaLibrary, ItemsPlayNothingReportThemselvesEndedAndKeepTheirSettings) {
    MediaLibrary media;
    media.Init(false);
    EXPECT_EQ(media.Version(), 108);
    const uint8_t data[4] = {};
    const int32_t wmp = media.WmpmanAdd(data);
    const int32_t ogg = media.OggmanAdd(nullptr, true);
    const int32_t video = media.VidmanAdd("op.mpg", nullptr, false);
    EXPECT_NE(wmp, 0);
    EXPECT_NE(ogg, 0);
    EXPECT_NE(video, 0);

    for (MediaItemTable* table : {&media.Wmp(), &media.Ogg(), &media.Video()}) {
        const int32_t h = table == &media.Wmp() ? wmp : table == &media.Ogg() ? ogg : video;
        table->Play(h);
        EXPECT_FALSE(table->IsPlaying(h));
        EXPECT_TRUE(table->IsEnd(h));
        EXPECT_EQ(table->GetLen(h), 0);
        table->SetVol(h, -20000);
        table->SetPan(h, 500);
        table->SetAutoRepeat(h, true);
        EXPECT_EQ(table->GetVol(h), -10000);
        EXPECT_EQ(table->GetPan(h), 500);
        EXPECT_TRUE(table->GetAutoRepeat(h));
        table->Pause(h);
        EXPECT_TRUE(table->IsPaused(h));
        // Unknown handles answer like an ended item instead of failing.
        EXPECT_TRUE(table->IsEnd(h + 1000));
        EXPECT_EQ(table->GetVol(h + 1000), 0);
    }

    WaveFormat format;
    const int32_t decoder = media.OggStr().Add(nullptr, true);
    EXPECT_FALSE(media.OggStr().GetFormat(decoder, format));
    char buffer[16];
    EXPECT_EQ(media.OggStr().Read(decoder, buffer, sizeof buffer), 0);

    media.OggmanDel(ogg);
    EXPECT_FALSE(media.Ogg().Has(ogg));
    media.Final();
    EXPECT_FALSE(media.Initialized());
    EXPECT_EQ(media.Wmp().Count(), 0u);
    EXPECT_EQ(media.Video().Count(), 0u);
}

}  // namespace
}  // namespace kivo
