// Map images: the regions of map files (edges, ellipses, the winding rule, the first region
// winning, damaged files), and the object's hover picture, events, choices by pointer and
// keys, closing and save record.

#include <gtest/gtest.h>

#include "base/error.h"
#include "scene/kivo_map_image.h"
#include "scene/map_region_list.h"
#include "scene/picture_files.h"
#include "scene/scene_fixture.h"
#include "script/param_collection.h"
#include "support/map_writer.h"

namespace kivo::test {
namespace {

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00;

TEST(MapRegionTest, RegionsCoverTheirPixelsEdgesIncluded) {
    const std::vector<MapRegion> map{
        MapRegion::Rectangle("rect", 1, 1, 3, 3),
        MapRegion::Rectangle("reversed", 13, 13, 11, 11),
        // The ellipse inside (20, 0)-(29, 5): centre (25, 3), radii 5 and 3.
        MapRegion::Ellipse("ellipse", 20, 0, 29, 5),
        MapRegion::Polygon("triangle", {{0, 20}, {8, 20}, {0, 28}}),
        // A five-pointed star drawn in one stroke: its middle is wound twice, which the
        // non-zero rule fills (an even-odd fill would leave it empty).
        MapRegion::Polygon("star", {{45, 20}, {48, 30}, {40, 24}, {50, 24}, {42, 30}}),
    };
    const TMapRegionList regions = TMapRegionList::Read(WriteMap(map), "m.map");
    ASSERT_EQ(regions.Count(), 5);
    struct Case {
        int32_t x, y, region;
    };
    for (const Case& c : std::initializer_list<Case>{
             {1, 1, 0},    {3, 3, 0},    {3, 1, 0},    {4, 3, -1},  {0, 2, -1},  {2, 4, -1},
             {11, 11, 1},  {13, 13, 1},  {14, 12, -1}, {20, 3, 2},  {29, 3, 2},  {30, 3, -1},
             {20, 0, -1},  {25, 0, 2},   {25, 5, 2},   {25, 6, -1}, {3, 23, 3},  {4, 24, -1},
             {0, 26, 3},   {6, 20, 3},   {8, 20, -1},  {45, 25, 4}, {45, 22, 4}, {41, 24, 4},
             {45, 21, -1}, {49, 24, -1}, {40, 29, -1},
         }) {
        EXPECT_EQ(regions.RegionAt(c.x, c.y), c.region) << c.x << "," << c.y;
    }
}

TEST(MapRegionTest, TheFirstOfOverlappingRegionsWins) {
    const std::vector<MapRegion> map{MapRegion::Rectangle("front", 0, 0, 4, 4),
                                     MapRegion::Rectangle("back", 2, 2, 8, 8)};
    const TMapRegionList regions = TMapRegionList::Read(WriteMap(map), "m.map");
    EXPECT_EQ(regions.RegionAt(3, 3), 0);
    EXPECT_EQ(regions.RegionAt(5, 5), 1);
    EXPECT_EQ(regions.Region(1).Name(), "back");
}

TEST(MapRegionTest, DamagedMapsFailNamingTheFile) {
    MapFile good;
    good.regions = {MapRegion::Rectangle("a", 0, 0, 1, 1),
                    MapRegion::Polygon("p", {{0, 0}, {4, 0}, {0, 4}})};
    const std::vector<uint8_t> bytes = WriteMap(good);
    std::vector<std::vector<uint8_t>> damaged;
    for (size_t cut = 1; cut < bytes.size(); ++cut)
        damaged.emplace_back(bytes.begin(), bytes.begin() + static_cast<long>(cut));
    MapFile tooMany = good;
    tooMany.countOverride = 1'000'000;
    damaged.push_back(WriteMap(tooMany));
    MapFile negative = good;
    negative.countOverride = -1;
    damaged.push_back(WriteMap(negative));
    // A polygon claiming more points than the file holds.
    std::vector<uint8_t> points = bytes;
    points[points.size() - 28] = 0xFF;
    damaged.push_back(points);
    for (const std::vector<uint8_t>& data : damaged) {
        try {
            (void)TMapRegionList::Read(data, "rooms.map");
            ADD_FAILURE() << "accepted " << data.size() << " bytes";
        } catch (const KivoError& error) {
            EXPECT_NE(std::string(error.what()).find("rooms.map"), std::string::npos);
        }
    }
}

// A map image at (2, 2) of an 8 x 6 red base and green hover picture, with the regions
// "a" (0, 0)-(2, 2) and "b" (1, 1)-(5, 4), which a covers where they meet.
class MapImageTest : public SceneTest {
  protected:
    MapImageTest() {
        root.Images().SetFiles(&files);
        root.AttachVariables(variables);
        files.AddSolid("base.gal", 8, 6, kRed);
        files.AddSolid("hover.gal", 8, 6, kGreen);
        files.files["rooms.map"] = WriteMap(
            {MapRegion::Rectangle("a", 0, 0, 2, 2), MapRegion::Rectangle("b", 1, 1, 5, 4)});
    }
    // The variables go before the root of the base fixture: let go of them first.
    ~MapImageTest() override { root.DetachVariables(); }

    TKivoMapImage& Map() {
        TKivoMapImage& map = root.Create<TKivoMapImage>();
        map.Rename("map");
        map.SetParent(&root.ActiveLayer());
        map.SetLeft(2);
        map.SetTop(2);
        map.SetSource("base.gal");
        map.SetHoverSource("hover.gal");
        map.SetMapSource("rooms.map");
        map.SetMapInHandler("in");
        map.SetMapOutHandler("out");
        map.SetSelectHandler("sel");
        return map;
    }

    void Frame() {
        state.gameClock += state.frameDelta;
        root.InputPass();
        root.FrameAdvance();
    }
    void Click(bool left = true) {
        root.SetButtonsHeld(left, !left);
        root.SetClicks(left, !left);
        Frame();
        root.SetButtonsHeld(false, false);
        root.SetClicks(false, false);
        Frame();
    }
    void Key(int32_t key) {
        root.SetKeyDown(key, true);
        root.MarkKeyPressed(key);
        Frame();
        root.SetKeyDown(key, false);
        Frame();
    }
    std::string Row(int32_t y) { return Picture()[static_cast<size_t>(y)].substr(0, 11); }

    MemoryPictures files;
    TParamCollection variables{&state};
};

TEST_F(MapImageTest, TheHoveredRegionShowsTheHoverPictureAndRaisesMapInAndOut) {
    TKivoMapImage& map = Map();
    EXPECT_EQ(map.Width(), 8);
    EXPECT_EQ(map.Height(), 6);
    EXPECT_EQ(Row(5), "..RRRRRRRR.");
    PointerFrame(2 + 4, 2 + 3);  // inside b only
    EXPECT_EQ(Queue(), (std::vector<std::string>{"map:104(b,1)"}));
    EXPECT_EQ(Row(2), "..RRRRRRRR.");
    EXPECT_EQ(Row(3), "..RGGGGGRR.");
    EXPECT_EQ(Row(6), "..RGGGGGRR.");  // b's bottom row is in it
    EXPECT_EQ(Row(7), "..RRRRRRRR.");
    root.Events().Clear();
    PointerFrame(2 + 2, 2 + 2);  // where a and b meet: a
    EXPECT_EQ(Queue(), (std::vector<std::string>{"map:105(b,1)", "map:104(a,0)"}));
    EXPECT_EQ(Row(2), "..GGGRRRRR.");
    EXPECT_EQ(Row(4), "..GGGRRRRR.");
    EXPECT_EQ(Row(5), "..RRRRRRRR.");
    root.Events().Clear();
    PointerFrame(2 + 7, 2 + 5);  // on the picture, in no region
    EXPECT_EQ(Queue(), (std::vector<std::string>{"map:105(a,0)"}));
    EXPECT_EQ(map.Hovered(), -1);
    EXPECT_EQ(Row(2), "..RRRRRRRR.");
}

TEST_F(MapImageTest, AFreshMapForgetsTheHoverAndAMissingMapHasNoRegions) {
    TKivoMapImage& map = Map();
    PointerFrame(3, 3);
    ASSERT_EQ(map.Hovered(), 0);
    map.SetMapSource("none.map");
    EXPECT_EQ(map.Hovered(), -1);
    EXPECT_EQ(map.Regions().Count(), 0);
    files.files["bad.map"] = {1, 0, 0, 0, 9};
    EXPECT_THROW(map.SetMapSource("bad.map"), KivoError);
    EXPECT_EQ(map.Regions().Count(), 0);
}

TEST_F(MapImageTest, ALeftPressChoosesTheRegionUnderItOnce) {
    TKivoMapImage& map = Map();
    PointerFrame(2 + 4, 2 + 3);
    root.Events().Clear();
    Click();
    EXPECT_EQ(variables.selectionString, "b");
    EXPECT_EQ(variables.selectionIndex, 1);
    Click();  // the first choice has not run yet
    EXPECT_EQ(Queue(), (std::vector<std::string>{"map:72(b,1)"}));
    // Outside every region a press chooses nothing; a map that ignores presses neither.
    root.Events().Clear();
    PointerFrame(2 + 7, 2 + 5);
    root.Events().Clear();
    Click();
    PointerFrame(3, 3);
    map.SetIgnoreMouse(2);
    root.Events().Clear();
    Click();
    for (const std::string& entry : Queue())
        EXPECT_FALSE(entry.starts_with("map:72")) << entry;
    EXPECT_EQ(variables.selectionIndex, 1);
}

TEST_F(MapImageTest, AnAutoScrapChoiceEndsTheMapTwoUpdatesLater) {
    TKivoMapImage& map = Map();
    map.SetAutoScrap(true);
    const ObjectHandle handle = map.Handle();
    PointerFrame(3, 3);
    root.Events().Clear();
    root.SetButtonsHeld(true, false);
    root.SetClicks(true, false);
    Frame();  // the choice, and the first update closing it
    EXPECT_EQ(Queue(), (std::vector<std::string>{"map:72(a,0)"}));
    EXPECT_TRUE(map.Busy());
    EXPECT_EQ(map.ClosingState(), TKivoMapImage::kClosed);
    root.SetButtonsHeld(false, false);
    root.SetClicks(false, false);
    PointerFrame(2 + 4, 2 + 3);  // busy: no more events
    EXPECT_EQ(Queue(), (std::vector<std::string>{"map:72(a,0)"}));
    root.FrameAdvance();
    EXPECT_EQ(root.Resolve(handle), nullptr);
}

TEST_F(MapImageTest, KeysWalkTheRegionsRoundAndEscapeClosesWithoutAChoice) {
    TKivoMapImage& map = Map();
    map.SetHandleKey(true);
    const ObjectHandle handle = map.Handle();
    struct Step {
        int32_t key, hovered;
    };
    // Down and right go on, up and left go back; both wrap, and from none start at an end.
    for (const Step& step :
         std::initializer_list<Step>{{40, 0}, {39, 1}, {40, 0}, {37, 1}, {38, 0}, {38, 1}}) {
        Key(step.key);
        EXPECT_EQ(map.Hovered(), step.hovered) << step.key;
    }
    root.Events().Clear();
    Key(13);
    EXPECT_EQ(Queue(), (std::vector<std::string>{"map:72(b,1)"}));
    EXPECT_EQ(variables.selectionIndex, 1);
    Key(27);  // not right-click-scrap: Escape does nothing
    EXPECT_FALSE(map.Busy());
    map.SetRightClickScrap(true);
    root.SetKeyDown(27, true);
    root.MarkKeyPressed(27);
    Frame();
    EXPECT_EQ(variables.selectionString, "");
    EXPECT_EQ(variables.selectionIndex, -1);
    EXPECT_TRUE(map.Busy());
    root.SetKeyDown(27, false);
    Frame();
    EXPECT_EQ(root.Resolve(handle), nullptr);
}

TEST_F(MapImageTest, ARightClickAnywhereClosesARightClickScrapMap) {
    TKivoBox& box = Box("under", 12, 0, 4, 4);
    box.SetHandlerText(Handler::RightDown, "rdown");
    TKivoMapImage& map = Map();
    map.SetRightClickScrap(true);
    const ObjectHandle handle = map.Handle();
    variables.selectionIndex = 5;
    PointerFrame(13, 1);
    root.Events().Clear();
    root.SetButtonsHeld(false, true);
    root.SetClicks(false, true);
    Frame();
    EXPECT_EQ(Queue(), std::vector<std::string>{});  // the click was the map's
    EXPECT_EQ(variables.selectionIndex, -1);
    root.SetButtonsHeld(false, false);
    root.SetClicks(false, false);
    Frame();
    EXPECT_EQ(root.Resolve(handle), nullptr);
}

TEST_F(MapImageTest, TheSaveRecordBringsBackPicturesRegionsFlagsAndClosing) {
    TKivoMapImage& map = Map();
    map.SetAlpha(300);
    map.SetBrightness(-20);
    map.SetAutoScrap(true);
    map.SetRightClickScrap(true);
    map.SetPaused(true);
    map.SetIdleHandler("idle");
    ByteWriter writer;
    root.Save(writer);
    const std::vector<uint8_t> bytes = writer.Take();
    {
        TKivoBaseList copy(state);
        copy.Images().SetFiles(&files);
        ByteReader reader(bytes, "save.dat");
        copy.Load(reader, kSaveVersionCurrent);
        EXPECT_TRUE(reader.AtEnd());
        auto* loaded = dynamic_cast<TKivoMapImage*>(copy.FindComponent("map"));
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(loaded->Regions().Count(), 2);
        EXPECT_EQ(loaded->Width(), 8);
        EXPECT_EQ(loaded->Alpha(), 300);
        EXPECT_EQ(loaded->Brightness(), -20);
        EXPECT_TRUE(loaded->AutoScrap());
        EXPECT_TRUE(loaded->RightClickScrap());
        EXPECT_TRUE(loaded->Paused());
        EXPECT_EQ(loaded->MapOutHandler(), "out");
        EXPECT_EQ(loaded->SelectHandler(), "sel");
        EXPECT_FALSE(loaded->Busy());
        ByteWriter again;
        copy.Save(again);
        EXPECT_EQ(again.Take(), bytes);
    }
    // A map saved while closing is busy again and ends.
    ASSERT_TRUE(map.CloseByRightClick());
    ByteWriter closing;
    root.Save(closing);
    const std::vector<uint8_t> closingBytes = closing.Take();
    TKivoBaseList copy(state);
    ByteReader reader(closingBytes, "save.dat");
    copy.Load(reader, kSaveVersionCurrent);
    auto* loaded = dynamic_cast<TKivoMapImage*>(copy.FindComponent("map"));
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(loaded->Busy());
}

}  // namespace
}  // namespace kivo::test
