// The fire and wave objects: their sizes and settings, how they advance with the frame clock
// and the player's random generator, what they draw, and their save records.

#include "base/error.h"
#include "imaging/fire_simulation.h"
#include "scene/kivo_fire.h"
#include "scene/kivo_wave.h"
#include "scene_fixture.h"
#include "script/param_collection.h"

namespace kivo::test {
namespace {

class EffectsTest : public SceneTest {
  protected:
    TKivoFire& Fire(int32_t baseWidth, int32_t baseHeight, TKivoBaseList* scene = nullptr) {
        TKivoBaseList& owner = scene != nullptr ? *scene : root;
        auto& fire = *static_cast<TKivoFire*>(owner.CreateObject(LT_FIRE));
        fire.SetParent(&owner.ActiveLayer());
        fire.SetBaseWidth(baseWidth);
        fire.SetBaseHeight(baseHeight);
        return fire;
    }
    TKivoWave& Wave(int32_t left, int32_t top, int32_t width, int32_t height) {
        auto& wave = *static_cast<TKivoWave*>(root.CreateObject(LT_WAVE));
        wave.Rename("wave");
        wave.SetParent(&root.ActiveLayer());
        wave.SetBounds(left, top, width, height);
        wave.SetWidth(width);
        wave.SetHeight(height);
        return wave;
    }
    static std::vector<uint8_t> SavedRecord(const TKivoObject& object) {
        ByteWriter writer;
        object.Save(writer);
        return writer.Take();
    }
    static std::vector<uint32_t> Pixels(TCustomDIBX& surface) {
        std::vector<uint32_t> pixels;
        for (int32_t y = 0; y < surface.Height(); ++y) {
            for (int32_t x = 0; x < surface.Width(); ++x)
                pixels.push_back(surface.GetPixel(x, y));
        }
        return pixels;
    }
};

TEST_F(EffectsTest, AFiresSizeFollowsItsBaseSizeAndZoomsOnly) {
    TKivoFire& fire = Fire(10, 8);
    EXPECT_EQ(ReadProperty(fire, PR_WIDTH), PropertyValue(10));
    WriteProperty(fire, PR_WIDTH, 99);
    WriteProperty(fire, PR_HEIGHT, 99);
    EXPECT_EQ(fire.Width(), 10);
    EXPECT_EQ(fire.Height(), 8);
    WriteProperty(fire, PR_ZOOMX, 512);
    WriteProperty(fire, PR_ZOOMY, -3);  // below 1 becomes 1
    EXPECT_EQ(fire.Width(), 20);
    EXPECT_EQ(fire.ZoomY(), 1);
    EXPECT_EQ(fire.Height(), 0);
    WriteProperty(fire, PR_POWER, 400);
    EXPECT_EQ(ReadProperty(fire, PR_POWER), PropertyValue(255));
    WriteProperty(fire, PR_PAUSED, true);
    EXPECT_EQ(ReadProperty(fire, PR_PLAYING), PropertyValue(false));
}

TEST_F(EffectsTest, AFireBurnsFromItsBottomRowsAndTheSeedChangesTheFlame) {
    // Two scenes of the same fire, one per seed; a third repeats the first seed.
    const auto burn = [this](uint32_t seed) {
        TProcessRandom random(seed);
        TKivoBaseList scene(state);
        scene.SetServices({.random = &random});
        scene.SetSize(16, 12);
        TKivoFire& fire = Fire(16, 12, &scene);
        fire.SetPower(200);
        for (int frame = 0; frame < 20; ++frame)
            scene.FrameAdvance();
        std::vector<TRect> dirty;
        (void)scene.Draw(dirty);
        return Pixels(scene.BackBuffer());
    };
    const std::vector<uint32_t> first = burn(1), again = burn(1), other = burn(2);
    EXPECT_EQ(first, again);
    EXPECT_NE(first, other);
    // The step leaves the two bottom rows at the hottest heat, wall to wall; above the four
    // rows it fills the outer columns never burn, while the flame has climbed the inner ones.
    const uint32_t hot = first[11 * 16];
    EXPECT_NE(hot & 0xFFFFFF, 0u);
    for (int32_t y = 10; y < 12; ++y) {
        for (int32_t x = 0; x < 16; ++x)
            EXPECT_EQ(first[static_cast<size_t>(y * 16 + x)], hot) << x << "," << y;
    }
    for (int32_t y = 0; y < 8; ++y) {
        EXPECT_EQ(first[static_cast<size_t>(y * 16)] & 0xFFFFFF, 0u);
        EXPECT_NE(first[static_cast<size_t>(y * 16 + 7)] & 0xFFFFFF, 0u);
    }
}

TEST_F(EffectsTest, AnAnimationPausedFireStandsStill) {
    TKivoFire& fire = Fire(8, 8);
    root.FrameAdvance();  // makes the buffer
    fire.SetAniPaused(true);
    for (int frame = 0; frame < 10; ++frame)
        root.FrameAdvance();
    EXPECT_EQ(fire.Simulation().RowOffset(), 0);
    fire.SetAniPaused(false);
    for (int frame = 0; frame < 10; ++frame)
        root.FrameAdvance();
    EXPECT_EQ(fire.Simulation().RowOffset(), 4);  // 160 ms: four 40 ms steps
}

TEST_F(EffectsTest, FireAndWaveRecordsRoundTripAndOlderVersionsLeaveFieldsOut) {
    TKivoFire& fire = Fire(30, 20);
    fire.Rename("fire");
    fire.SetPower(77);
    fire.SetZoomX(300);
    fire.SetZoomY(200);
    fire.SetPausedFlag(true);
    fire.SetIdleHandler("idle.ksb");
    TKivoWave& wave = Wave(0, 0, 0, 6);
    wave.SetAmplitude(-4);
    wave.SetWavelength(12);
    wave.SetPeriod(900);
    wave.SetPausedFlag(true);
    wave.SetIdleHandler("w.ksb");

    TKivoBaseList copy(state);
    for (TKivoObject* original : std::initializer_list<TKivoObject*>{&fire, &wave}) {
        const std::vector<uint8_t> record = SavedRecord(*original);
        ByteReader reader(record, "save.dat");
        TKivoObject* loaded = copy.CreateForLoad(static_cast<uint8_t>(original->Kind()), reader);
        loaded->Load(reader, kSaveVersionCurrent);
        EXPECT_TRUE(reader.AtEnd());
        EXPECT_EQ(SavedRecord(*loaded), record);
    }
    auto& loadedWave = *static_cast<TKivoWave*>(copy.FindComponent("wave"));
    EXPECT_EQ(loadedWave.RowOffsets(), wave.RowOffsets());
    EXPECT_EQ(loadedWave.RowOffsets().size(), 6u);

    // A record of version 103 ends after the fire's zoom x, which then serves both ways.
    TKivoFire old(copy);
    ByteWriter writer;
    // The control record of version 103: name, priority, geometry, position-zoomed, visible,
    // colour, update rectangle, ignore-mouse, cursor, nine handlers, no children.
    writer.WriteCountedString("old");
    for (int32_t v : {0, 0, 0, 0, 0, 0, 0})
        writer.WriteI32(v);
    writer.WriteU8(0);
    writer.WriteU8(1);
    for (int32_t v : {0, 0, 0, 1, 1})
        writer.WriteI32(v);
    writer.WriteU8(0);
    for (int i = 0; i < 10; ++i)
        writer.WriteCountedString("");
    writer.WriteI32(0);
    for (int32_t v : {90, 12, 10, 512})
        writer.WriteI32(v);
    const std::vector<uint8_t> bytes = writer.Take();
    ByteReader reader(bytes, "save.dat");
    old.Load(reader, 103);
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(old.Power(), 90);
    EXPECT_EQ(old.Width(), 24);
    EXPECT_EQ(old.Height(), 20);
}

TEST_F(EffectsTest, AWaveShiftsItsChildrensRowsAndAZeroAmplitudeDoesNot) {
    TKivoWave& wave = Wave(0, 0, 16, 12);
    Box("b", 4, 0, 4, 12, 0x0000FF, &wave);

    wave.SetAmplitude(0);
    for (const std::string& row : Picture())
        EXPECT_EQ(row, "....RRRR........");

    wave.SetAmplitude(3);
    wave.SetWavelength(12);
    const std::vector<std::string> picture = Picture();
    for (int32_t y = 0; y < 12; ++y) {
        SCOPED_TRACE(y);
        const int32_t shift = wave.RowOffsets()[static_cast<size_t>(y)];
        EXPECT_EQ(picture[static_cast<size_t>(y)].find('R'), static_cast<size_t>(4 + shift));
    }
    // One full wave over the rows: shifts to both sides.
    EXPECT_EQ(*std::ranges::max_element(wave.RowOffsets()), 3);
    EXPECT_EQ(*std::ranges::min_element(wave.RowOffsets()), -3);
}

TEST_F(EffectsTest, AWaveRunsDownItsPhaseByPeriodAndRedrawsBeyondItsSides) {
    TKivoWave& wave = Wave(5, 2, 4, 3);
    wave.SetWavelength(4);
    wave.SetAmplitude(-3);
    wave.SetPeriod(512);  // a phase step every 2 ms
    (void)Picture();
    root.FrameAdvance();  // 16 ms: 8 steps down from 0, brought back by 255
    EXPECT_EQ(wave.Phase(), 247);
    const std::vector<TRect> dirty = root.ActiveLayer().Dirty().Rects();
    ASSERT_FALSE(dirty.empty());
    // |amplitude| on both sides, not the negative amplitude that would shrink the area.
    EXPECT_EQ(dirty.front(), (TRect{2, 2, 12, 5}));
    wave.SetAniPaused(true);
    root.FrameAdvance();
    EXPECT_EQ(wave.Phase(), 247);
}

}  // namespace
}  // namespace kivo::test
