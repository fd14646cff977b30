// List boxes and text menus: layout and geometry, hover and selection by pointer and keys,
// the scroll bar's arrows, tracks and thumb, the opening and closing phases with their
// events, right-click scrap and the save records.

#include "base/error.h"
#include "picture_fixture.h"
#include "scene/kivo_menu.h"
#include "scene_fixture.h"

namespace kivo::test {
namespace {

constexpr int32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF,
                  kYellow = 0x00FFFF, kMagenta = 0xFF00FF, kCyan = 0x00FFFF00;

std::string Items(int count) {
    std::string text = "\r\n";  // leading and trailing control characters are stripped
    for (int i = 0; i < count; ++i)
        text += std::string(1, static_cast<char>('a' + i)) + "\r\n";
    return text + "\t";
}

class MenuTest : public SceneTest {
  protected:
    MenuTest() {
        root.SetSize(64, 80);
        // Seven scroll pieces 2 x 4: arrows red/green and blue/white, tracks yellow/magenta,
        // the thumb cyan.
        pictures.specs["scroll.gal"] = {
            14, 4, {{kRed, kGreen, kBlue, kWhite, kYellow, kMagenta, kCyan}}};
        pictures.specs["check.gal"] = {6, 3, {{kGreen, kBlue}}};
        pictures.specs["tl.gal"] = {2, 3, {{kWhite}}};
        pictures.specs["cr.gal"] = {3, 2, {{kWhite}}};
        pictures.specs["bc.gal"] = {2, 2, {{kWhite}}};
        root.SetPictures(&pictures);
    }

    // A menu of count items and four rows at the layer's corner, laid out:
    // inner rectangle (1, 1)-(13, 62), rows 12 high every 14 pixels from y = 5, the scroll bar
    // at x = 8 with its up arrow at y = 4 and its down arrow at y = 56.
    TKivoMenu& Menu(int count = 10) {
        TKivoMenu& menu = root.Create<TKivoMenu>();
        menu.Rename("m");
        menu.SetParent(&root.ActiveLayer());
        menu.SetRowCount(4);
        menu.SetLineSpace(2);
        menu.SetMarginX(1);
        menu.SetMarginY(1);
        menu.SetBorderWidth(1);
        menu.SetBorderColor(kRed);
        menu.SetScrollSource("scroll.gal");
        menu.SetCheckSource("check.gal");
        menu.SetCellSource(0, "tl.gal");
        menu.SetCellSource(5, "cr.gal");
        menu.SetCellSource(7, "bc.gal");
        menu.SetText(Items(count));
        menu.SetMapInHandler("in.ksb");
        menu.SetMapOutHandler("out.ksb");
        menu.SetSelectHandler("sel.ksb");
        menu.SetOpeningHandler("opening.ksb");
        menu.SetOpenedHandler("opened.ksb");
        menu.SetClosingHandler("closing.ksb");
        menu.SetClosedHandler("closed.ksb");
        menu.SetPlayState(TKivoMenu::kOpen);
        root.Events().Clear();
        return menu;
    }

    // One frame: the clock runs on, input is taken, objects update.
    void Frame() {
        state.gameClock += state.frameDelta;
        root.InputPass();
        root.FrameAdvance();
    }
    void Press(bool left = true) {
        root.SetButtonsHeld(left, !left);
        root.SetClicks(left, !left);
        Frame();
    }
    void Release() {
        root.SetButtonsHeld(false, false);
        Frame();
    }
    void Key(int32_t key) {
        root.SetKeyDown(key, true);
        root.MarkKeyPressed(key);
        Frame();
        root.SetKeyDown(key, false);
        Frame();
    }
    size_t CountStarting(const std::string& prefix) const {
        const std::vector<std::string> queue = Queue();
        return static_cast<size_t>(std::count_if(
            queue.begin(), queue.end(), [&](const auto& e) { return e.starts_with(prefix); }));
    }
    size_t Count(const std::string& entry) const {
        const std::vector<std::string> queue = Queue();
        return static_cast<size_t>(std::count(queue.begin(), queue.end(), entry));
    }
    char Letter(int32_t x, int32_t y) {
        return Picture()[static_cast<size_t>(y)][static_cast<size_t>(x)];
    }

    SolidPictures pictures;
};

TEST_F(MenuTest, LayoutSizesTheFrameRowsScrollBarAndCheckColumn) {
    TKivoMenu& menu = Menu();
    // 2 borders + left column 2 + right column 3 + 2 margins + check 3 + scroll 2 (no text
    // is measured without a glyph cache); 4 rows of 12, 3 line spaces of 2, borders, top row
    // 3, bottom row 2, margins.
    EXPECT_EQ(menu.Width(), 14);
    EXPECT_EQ(menu.Height(), 63);
    EXPECT_EQ(menu.Count(), 10);
    EXPECT_EQ(menu.ItemText(9), "j");

    const TKivoCustomListBox::ScrollBar bar = menu.ScrollBarRects();
    EXPECT_EQ(bar.upArrow, (TRect{8, 4, 10, 8}));
    EXPECT_EQ(bar.downArrow, (TRect{8, 56, 10, 60}));
    EXPECT_EQ(bar.thumb, (TRect{8, 8, 10, 12}));
    menu.SetTopIndex(99);  // held to count - rows
    EXPECT_EQ(menu.TopIndex(), 6);
    EXPECT_EQ(menu.ScrollBarRects().thumb, (TRect{8, 52, 10, 56}));

    // Fewer items than rows: no scroll bar, no room for it, no line space after the last.
    menu.SetText(Items(2));
    menu.LayOutIfNeeded();
    EXPECT_EQ(menu.TopIndex(), 0);
    EXPECT_EQ(menu.Width(), 12);
    EXPECT_EQ(menu.Height(), 2 * 12 + 2 + 2 + 3 + 2 + 2);
    EXPECT_FALSE(menu.ScrollBarShown());
    // No items: the row arithmetic never goes below zero rows.
    menu.SetText("");
    menu.LayOutIfNeeded();
    EXPECT_EQ(menu.Height(), 2 + 3 + 2 + 2);
    EXPECT_EQ(menu.ItemAt(4, 5), -1);
}

TEST_F(MenuTest, TheItemUnderThePointerFollowsTheRowStarts) {
    TKivoMenu& menu = Menu();
    struct Case {
        int32_t x, y, top, item;
    };
    const Case cases[] = {
        {4, 5, 0, 0},  {4, 4, 0, 0},   {4, 17, 0, 0},  {4, 18, 0, 1},  {4, 59, 0, 3}, {4, 59, 6, 9},
        {4, 3, 0, -1}, {4, 60, 0, -1}, {2, 10, 0, -1}, {8, 10, 0, -1}, {7, 10, 2, 2},
    };
    for (const Case& c : cases) {
        menu.SetTopIndex(c.top);
        EXPECT_EQ(menu.ItemAt(c.x, c.y), c.item) << c.x << "," << c.y << " top " << c.top;
    }
    // A list box made taller than its rows counts no row past its last item.
    menu.SetText(Items(3));
    menu.LayOutIfNeeded();
    menu.SetHeight(80);
    EXPECT_EQ(menu.ItemAt(4, 70), 2);
}

TEST_F(MenuTest, DrawingShowsTheFrameCellsScrollPiecesChecksAndHoverBar) {
    TKivoMenu& menu = Menu();
    menu.SetHoverColor(kMagenta);
    menu.SetChecked(1, true);
    menu.SetChecked(42, true);  // no such item: ignored
    EXPECT_FALSE(menu.Checked(42));
    PointerFrame(4, 20);  // over item 1
    ASSERT_EQ(menu.Hovered(), 1);
    const std::vector<std::string> rows = Picture();
    const auto at = [&](int32_t x, int32_t y) {
        return rows[static_cast<size_t>(y)][static_cast<size_t>(x)];
    };
    EXPECT_EQ(at(0, 0), 'R');    // border
    EXPECT_EQ(at(1, 1), 'W');    // top-left cell
    EXPECT_EQ(at(11, 30), 'W');  // centre-right cell
    EXPECT_EQ(at(9, 5), 'R');    // up arrow
    EXPECT_EQ(at(9, 9), 'C');    // thumb
    EXPECT_EQ(at(9, 30), 'Y');   // lower track
    EXPECT_EQ(at(9, 57), 'B');   // down arrow
    // Item 1's row (y = 19..30): the hover bar over x = 4..6 from a pixel above the row, the
    // hovered check piece centred at x = 4..6, y = 23..25.
    EXPECT_EQ(at(5, 18), 'M');
    EXPECT_EQ(at(7, 19), '.');
    EXPECT_EQ(at(5, 24), 'B');
    EXPECT_EQ(at(5, 7), '.');  // item 0: not hovered, not checked
    // Unhovered, the check shows its first piece.
    PointerFrame(40, 40);
    EXPECT_EQ(Letter(5, 24), 'G');
}

TEST_F(MenuTest, HoverAndSelectionByThePointerRaiseTheirEventsOnce) {
    TKivoMenu& menu = Menu();
    PointerFrame(4, 33);  // item 2
    PointerFrame(5, 34);
    EXPECT_EQ(Queue(), (std::vector<std::string>{"m:104(c,2)"}));
    root.Events().Clear();
    PointerFrame(5, 46);  // straight on to item 3: only its map-in
    EXPECT_EQ(Count("m:104(d,3)"), 1u);
    EXPECT_EQ(Count("m:105(c,2)"), 0u);
    root.Events().Clear();
    Press();
    EXPECT_FALSE(root.ActiveLayer().Pointer().leftClick);
    Release();
    EXPECT_EQ(Queue(), (std::vector<std::string>{"m:72(d,3)"}));
    EXPECT_EQ(menu.SelectedIndex(), 3);
    EXPECT_EQ(ReadProperty(menu, PR_INDEX), PropertyValue{int32_t{3}});
    // Leaving the items: map-out with the item left, and no selection any more.
    PointerFrame(40, 70);
    EXPECT_EQ(Count("m:105(d,3)"), 1u);
    EXPECT_EQ(menu.SelectedIndex(), -1);
    // A press on an item released elsewhere selects nothing.
    root.Events().Clear();
    PointerFrame(4, 5);
    Press();
    PointerFrame(40, 70);
    Release();
    EXPECT_EQ(Count("m:72(a,0)"), 0u);
}

TEST_F(MenuTest, KeysMoveTheHoverAndKeepItVisible) {
    TKivoMenu& menu = Menu();
    menu.SetHandleKey(true);
    root.InputPass();
    ASSERT_EQ(root.FocusedControl(), &menu);
    struct Step {
        int32_t key, hovered, top;
    };
    const Step steps[] = {
        {40, 0, 0}, {34, 4, 1}, {33, 0, 0}, {38, 0, 0}, {34, 4, 1}, {34, 8, 5},
        {34, 9, 6}, {40, 9, 6}, {38, 8, 6}, {33, 4, 4}, {38, 3, 3},
    };
    for (const Step& step : steps) {
        Key(step.key);
        EXPECT_EQ(menu.Hovered(), step.hovered) << step.key;
        EXPECT_EQ(menu.TopIndex(), step.top) << step.key;
    }
    // Keyboard hover raises the map-in event as the pointer does (once while it waits).
    EXPECT_EQ(Count("m:104(a,0)"), 1u);

    // From no hovered item, Up and PageUp go to the last item, Down and PageDown to the first.
    for (const auto& [key, hovered] : {std::pair{38, 9}, {33, 9}, {40, 0}, {34, 0}}) {
        PointerFrame(4, 5);
        PointerFrame(40, 70);
        ASSERT_EQ(menu.Hovered(), -1);
        Key(key);
        EXPECT_EQ(menu.Hovered(), hovered) << key;
    }
}

TEST_F(MenuTest, AHeldKeyMovesAgainAfter300MsThenEvery50Ms) {
    TKivoMenu& menu = Menu(40);
    menu.SetHandleKey(true);
    root.SetKeyDown(40, true);
    root.MarkKeyPressed(40);
    // The same trigger arithmetic as the scripts' @KeyRepeat: the press, then at 304 ms,
    // 352 ms, 400 ms ... at 16 ms a frame.
    std::vector<int32_t> hovered;
    for (int frame = 0; frame < 26; ++frame) {
        Frame();
        hovered.push_back(menu.Hovered());
    }
    EXPECT_EQ(hovered[0], 0);
    EXPECT_EQ(hovered[18], 0);
    EXPECT_EQ(hovered[19], 1);
    EXPECT_EQ(hovered[21], 1);
    EXPECT_EQ(hovered[22], 2);
    EXPECT_EQ(hovered[25], 3);
}

TEST_F(MenuTest, HeldArrowsRepeatAndTracksPageUntilTheThumbReachesThePointer) {
    TKivoMenu& menu = Menu();
    PointerFrame(9, 57);
    Press();  // on the down arrow: one step at once
    EXPECT_EQ(menu.TopIndex(), 1);
    EXPECT_EQ(Letter(9, 57), 'W');  // the held arrow's piece
    for (int frame = 1; frame < 19; ++frame)
        Frame();
    EXPECT_EQ(menu.TopIndex(), 1);
    Frame();  // 304 ms
    EXPECT_EQ(menu.TopIndex(), 2);
    for (int frame = 0; frame < 3; ++frame)
        Frame();
    EXPECT_EQ(menu.TopIndex(), 3);
    // Off the arrow nothing steps, and the arrow shows released.
    PointerFrame(30, 57);
    for (int frame = 0; frame < 10; ++frame)
        Frame();
    EXPECT_EQ(menu.TopIndex(), 3);
    EXPECT_EQ(Letter(9, 57), 'B');
    Release();

    // Paging down from the top: a page at once, then no further once the thumb is under the
    // pointer.
    menu.SetTopIndex(0);
    PointerFrame(9, 40);
    Press();
    EXPECT_EQ(menu.TopIndex(), 4);
    for (int frame = 0; frame < 30; ++frame)
        Frame();
    EXPECT_EQ(menu.TopIndex(), 4);
    Release();
    EXPECT_EQ(Count("m:72(a,0)"), 0u);
}

TEST_F(MenuTest, DraggingTheThumbScrollsInProportion) {
    TKivoMenu& menu = Menu();
    PointerFrame(9, 10);
    Press();
    for (const auto& [y, top] : {std::pair{32, 3}, {33, 3}, {36, 4}, {200, 6}, {0, 0}, {18, 1}}) {
        PointerFrame(9, y);
        EXPECT_EQ(menu.TopIndex(), top) << y;
    }
    Release();
    PointerFrame(9, 40);
    EXPECT_EQ(menu.TopIndex(), 1);
}

TEST_F(MenuTest, OpeningTakesThreeUpdatesWithoutDelayAndGrowsOverItsDelay) {
    for (const int32_t delay : {0, 100}) {
        root.Reset();
        TKivoMenu& menu = Menu();
        menu.SetPlayState(TKivoMenu::kClosed);
        ASSERT_EQ(menu.Height(), 0);
        root.Events().Clear();
        menu.SetDelay(delay);
        menu.SetPlayState(TKivoMenu::kOpening);
        Frame();
        EXPECT_EQ(Queue(), (std::vector<std::string>{"m:74"}));
        EXPECT_EQ(menu.Height(), 0);
        EXPECT_EQ(ReadProperty(menu, PR_ORIGHEIGHT), PropertyValue{int32_t{63}});
        Frame();  // the animation clock starts
        Frame();
        if (delay == 100) {
            EXPECT_EQ(menu.Height(), 16 * 63 / 100);
            for (int frame = 0; frame < 5; ++frame)
                Frame();
            EXPECT_EQ(menu.Height(), 96 * 63 / 100);
            EXPECT_EQ(Count("m:75"), 0u);
            Frame();
        }
        EXPECT_EQ(menu.Height(), 63) << delay;
        EXPECT_EQ(Queue(), (std::vector<std::string>{"m:74", "m:75"})) << delay;
    }
}

TEST_F(MenuTest, AnAutoScrapChoiceClosesAndEndsTheMenuOnceItsEventsHaveRun) {
    TKivoMenu& menu = Menu();
    menu.SetAutoScrap(true);
    menu.SetHandleKey(true);
    const ObjectHandle handle = menu.Handle();
    Key(40);
    root.Events().Clear();
    Key(13);  // Enter chooses the hovered item
    // The menu is busy from the choice on, yet its closing events are queued.
    EXPECT_EQ(Queue(), (std::vector<std::string>{"m:72(a,0)", "m:76", "m:77"}));
    EXPECT_TRUE(menu.Busy());
    Frame();
    Frame();
    EXPECT_NE(root.Resolve(handle), nullptr);  // its events wait to run
    root.Events().Clear();
    Frame();
    EXPECT_EQ(root.Resolve(handle), nullptr);
}

TEST_F(MenuTest, ARightClickAnywhereClosesARightClickScrapMenu) {
    TKivoBox& box = Box("under", 30, 0, 20, 20);
    box.SetHandlerText(Handler::RightDown, "rdown.ksb");
    TKivoMenu& menu = Menu();
    menu.SetRightClickScrap(true);
    const ObjectHandle handle = menu.Handle();
    PointerFrame(35, 5);
    Press(false);
    Release();
    Frame();
    EXPECT_EQ(CountStarting("under:38"), 0u);  // the click was the menu's
    EXPECT_EQ(Count("m:76"), 1u);
    EXPECT_EQ(Count("m:77"), 1u);
    root.Events().Clear();
    Frame();
    EXPECT_EQ(root.Resolve(handle), nullptr);
    // With the menu gone the box gets its right clicks again.
    Press(false);
    Release();
    EXPECT_EQ(CountStarting("under:38"), 1u);
}

TEST_F(MenuTest, EscapeClosesAFocusedRightClickScrapMenuAndClosedMenusIgnoreKeys) {
    TKivoMenu& menu = Menu();
    menu.SetHandleKey(true);
    Key(27);
    EXPECT_EQ(menu.PlayState(), TKivoMenu::kOpen);  // not right-click-scrap
    menu.SetRightClickScrap(true);
    Key(27);
    EXPECT_EQ(menu.PlayState(), TKivoMenu::kClosing);
    EXPECT_EQ(Count("m:76"), 1u);
    // Closing, it takes no more keys.
    Key(40);
    EXPECT_EQ(menu.Hovered(), -1);
}

TEST_F(MenuTest, ThePausedListBoxIgnoresThePointerAndGivesUpTheFocus) {
    TKivoMenu& menu = Menu();
    menu.SetHandleKey(true);
    menu.SetHandlerText(Handler::LeftDown, "down.ksb");
    root.InputPass();
    ASSERT_EQ(root.FocusedControl(), &menu);
    menu.SetPaused(true);
    EXPECT_EQ(root.FocusedControl(), nullptr);
    PointerFrame(4, 5);
    EXPECT_EQ(menu.Hovered(), -1);
    Press();
    Release();
    EXPECT_EQ(Count("m:72(a,0)"), 0u);
    menu.SetPaused(false);
    root.InputPass();
    EXPECT_EQ(root.FocusedControl(), &menu);
}

TEST_F(MenuTest, TheSaveRecordKeepsItemsChecksFrameAndHandlers) {
    TKivoMenu& menu = Menu();
    menu.SetChecked(2, true);
    menu.SetTopIndex(3);
    menu.SetDelay(250);
    menu.SetHoverColor(kGreen);
    menu.SetAutoScrap(true);
    menu.SetRightClickScrap(true);
    menu.SetCellAlign(4, true, 2);
    menu.SetIdleHandler("idle.ksb");
    const std::unique_ptr<TKivoBaseList> copy = RoundTrip(root, state, pictures);
    auto* loaded = dynamic_cast<TKivoMenu*>(copy->FindComponent("m"));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->Count(), 10);
    EXPECT_TRUE(loaded->Checked(2));
    EXPECT_FALSE(loaded->Checked(1));
    EXPECT_EQ(loaded->TopIndex(), 3);
    EXPECT_EQ(loaded->Height(), 63);
    EXPECT_EQ(loaded->CellAlign(4, true), 2);
    EXPECT_EQ(loaded->MapInHandler(), "in.ksb");
    EXPECT_EQ(loaded->ClosedHandler(), "closed.ksb");
}

}  // namespace
}  // namespace kivo::test
