// Preview menus: the file of every version and its damaged forms, the buttons a menu builds
// from our own files, hover, click, leave and overlay pictures with their events, keys, the
// enabled and visible flags, and the save record.

#include "base/error.h"
#include "picture_files.h"
#include "scene/cont_sel_list.h"
#include "scene/kivo_prev_menu.h"
#include "scene_fixture.h"
#include "storage/stream.h"
#include "storage/vr_file_manager.h"
#include "support/film_writer.h"
#include "support/prev_menu_writer.h"

namespace kivo::test {
namespace {

constexpr const char* kMenuFile = "MENU\\m.kpm";

// Three buttons of 8 x 8 in a row: "save" with every picture, "load" with hover and disabled
// pictures only, "quit" with hover only.
PrevMenuButton Button(int32_t x, std::string name) {
    PrevMenuButton b;
    b.x = x;
    b.y = 2;
    b.normal = "n.gal";
    b.name = std::move(name);
    b.hover = "h.gal";
    return b;
}

PrevMenuFile ThreeButtons() {
    PrevMenuFile menu;
    menu.width = 40;
    menu.height = 12;
    PrevMenuButton save = Button(2, "save");
    save.leave = "l.gal";
    save.click = "c.gal";
    save.disabled = "d.gal";
    save.hoverOverlay = "o.gal";
    save.overlayX = 34;
    save.overlayY = 2;
    save.cursor = "hand.cur";
    PrevMenuButton load = Button(12, "load");
    load.disabled = "d.gal";
    menu.buttons = {save, load, Button(22, "quit")};
    return menu;
}

class PrevMenuTest : public SceneTest {
  protected:
    PrevMenuTest() {
        root.SetSize(48, 16);
        root.Images().SetFiles(&pictures);
        root.SetServices({.files = &files});
        AddPicture("MENU\\n.gal", 8, 8, 0xFF0000);         // red
        AddPicture("MENU\\h.gal", 8, 8, 0x00FF00);         // green
        AddPicture("MENU\\l.gal", 8, 8, 0xFFFF00, 2, 32);  // yellow, two frames of 32 ms
        AddPicture("MENU\\c.gal", 8, 8, 0xFFFFFF, 2, 32);  // white, likewise
        AddPicture("MENU\\d.gal", 8, 8, 0x0000FF);         // blue
        AddPicture("MENU\\o.gal", 4, 4, 0xFF00FF);         // magenta
        AddFile(kMenuFile, WritePrevMenu(ThreeButtons()));
    }

    void AddFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        files.MemoryCollection().AddMemoryEntry(name).memory->Assign(bytes);
    }
    void AddPicture(const std::string& name, int width, int height, uint32_t rgb, int frames = 1,
                    int32_t delay = 100) {
        pictures.AddSolid(name, width, height, rgb, frames, delay);
        AddFile(name, pictures.files[name]);
    }

    TKivoPrevMenu& Menu(const std::string& file = kMenuFile) {
        TKivoPrevMenu& menu = root.Create<TKivoPrevMenu>();
        menu.Rename("m");
        menu.SetParent(&root.ActiveLayer());
        menu.SetSelectHandler("select.ksb");
        menu.SetMapInHandler("in.ksb");
        menu.SetMapOutHandler("out.ksb");
        menu.SetPlayEndHandler("end.ksb");
        menu.SetSource(file);
        return menu;
    }

    void Press() {
        root.SetButtonsHeld(true, false);
        root.SetClicks(true, false);
        root.InputPass();
    }
    void Release() {
        root.SetButtonsHeld(false, false);
        root.InputPass();
    }
    void ClickAt(int32_t x, int32_t y) {
        PointerFrame(x, y);
        Press();
        Release();
    }
    void Key(int32_t key) {
        root.SetKeyDown(key, true);
        root.MarkKeyPressed(key);
        root.InputPass();
        root.SetKeyDown(key, false);
        root.InputPass();
    }
    void Frames(int count) {
        for (int i = 0; i < count; ++i)
            root.FrameAdvance();
    }
    // The letters of the three buttons' top-left pixels and of the overlay's place.
    std::string Shown() {
        const std::vector<std::string> rows = Picture();
        return {rows[3][3], rows[3][13], rows[3][23], rows[3][35]};
    }
    static std::string Event(int32_t code, const std::string& name, int32_t index) {
        return "m:" + std::to_string(code) + "(" + name + "," + std::to_string(index) + ")";
    }
    bool Queued(const std::string& entry) const {
        const std::vector<std::string> queue = Queue();
        return std::find(queue.begin(), queue.end(), entry) != queue.end();
    }

    MemoryPictures pictures;
    TVrFileManager files;
};

TEST(PrevMenuFileTest, EachVersionKeepsTheNamesItsRecordHolds) {
    PrevMenuFile file;
    file.width = 320;
    file.height = 200;
    const PrevMenuButton button{-4,   7,    "n",  true, "名前", "h",   "l", "c", "d",  "dh",
                                "dl", "ho", "lo", "co", "dho",  "dlo", 9,   -9,  "cur"};
    file.buttons.push_back(button);
    for (const int32_t version : {100, 101, 102, 103}) {
        file.version = std::to_string(version);
        const TContSelList list = TContSelList::Parse(WritePrevMenu(file), "a.kpm");
        ASSERT_EQ(list.buttons.size(), 1u);
        const TContSelButton& b = list.buttons[0];
        EXPECT_EQ(list.version, version);
        EXPECT_EQ(list.width, 320);
        EXPECT_EQ(list.height, 200);
        EXPECT_EQ(b.x, -4);
        EXPECT_EQ(b.overlayY, -9);
        EXPECT_TRUE(b.captureMask);
        EXPECT_EQ(b.name, "名前");
        EXPECT_EQ(b.clickOverlay, "co");
        EXPECT_EQ(b.cursor, "cur");
        EXPECT_EQ(b.disabled, version > 100 ? "d" : "") << version;
        EXPECT_EQ(b.disabledHoverOverlay, version > 101 ? "dho" : "") << version;
        EXPECT_EQ(b.disabledLeave, version > 102 ? "dl" : "") << version;
    }
}

TEST(PrevMenuFileTest, DamagedFilesFailWithAnErrorThatNamesTheFile) {
    const std::vector<uint8_t> good = WritePrevMenu(ThreeButtons());
    const auto failure = [](const std::vector<uint8_t>& bytes) -> std::optional<KivoError> {
        try {
            (void)TContSelList::Parse(bytes, "MENU\\bad.kpm");
        } catch (const KivoError& error) {
            return error;
        }
        return std::nullopt;
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        std::string message;  // empty: the damaged-data error
    };
    std::vector<Case> cases;
    std::vector<uint8_t> magic = good;
    magic[0] = 'k';
    cases.push_back({"magic", magic, "KivoPreviewMenu:このファイル形式には対応していません"});
    cases.push_back({"short magic",
                     {'K', 'i', 'v', 'o'},
                     "KivoPreviewMenu:このファイル形式には対応していません"});
    for (const char* version : {"099", "104", "1a2"}) {
        PrevMenuFile file = ThreeButtons();
        file.version = version;
        cases.push_back({version, WritePrevMenu(file),
                         "KivoPreviewMenu:このバージョンのファイル形式には対応していません"});
    }
    std::vector<uint8_t> count = good;
    count[15 + 8 + 3] = 0x7F;  // a count of some 2^31 records
    cases.push_back({"count", count, ""});
    std::vector<uint8_t> length = good;
    length[15 + 12 + 8 + 3] = 0x7F;  // the first picture name's length
    cases.push_back({"string length", length, ""});
    for (size_t cut = 12; cut < good.size(); cut += 7)
        cases.push_back({"cut", std::vector<uint8_t>(good.begin(), good.begin() + long(cut)), ""});
    for (const Case& c : cases) {
        const std::optional<KivoError> error = failure(c.bytes);
        ASSERT_TRUE(error.has_value()) << c.name << " " << c.bytes.size();
        EXPECT_EQ(error->File(), "MENU\\bad.kpm") << c.name;
        if (!c.message.empty()) {
            EXPECT_EQ(error->Message(), c.message) << c.name;
        }
    }
}

TEST_F(PrevMenuTest, AMenuFromOurFileShowsItsButtonsAsSystemImages) {
    TKivoPrevMenu& menu = Menu();
    EXPECT_EQ(menu.Width(), 40);
    EXPECT_EQ(menu.Height(), 12);
    EXPECT_EQ(ReadProperty(menu, PR_COUNT), PropertyValue(3));
    EXPECT_EQ(ReadProperty(menu, PR_TEXT), PropertyValue(std::string("save\r\nload\r\nquit")));
    EXPECT_EQ(Shown(), "RRR.");
    TKivoPrevImages* save = menu.ButtonImage(0);
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(save->Name(), std::string("\x01m\x01") + "0");
    EXPECT_EQ(save->Parent(), &menu);
    EXPECT_EQ(save->Source(), "MENU\\n.gal");
    // Every picture a button can show is held, each once, by its upper-cased name.
    EXPECT_EQ(menu.PreloadedNames(),
              (std::vector<std::string>{"MENU\\N.GAL", "MENU\\H.GAL", "MENU\\L.GAL", "MENU\\C.GAL",
                                        "MENU\\D.GAL", "MENU\\O.GAL"}));
    // A file the game lacks leaves the menu empty; a damaged one raises its error.
    menu.SetSource("MENU\\none.kpm");
    EXPECT_EQ(menu.Count(), 0);
    EXPECT_EQ(menu.Width(), 0);
    AddFile("MENU\\bad.kpm", {'K', 'i', 'v', 'o', 'P', 'r', 'e', 'v'});
    EXPECT_THROW(menu.SetSource("MENU\\bad.kpm"), KivoError);
    EXPECT_EQ(menu.Count(), 0);
    root.FrameAdvance();
    EXPECT_EQ(Shown(), "....");
}

TEST_F(PrevMenuTest, HoverLeaveAndClickShowTheirPicturesAndRaiseTheEvents) {
    TKivoPrevMenu& menu = Menu();
    PointerFrame(4, 4);
    EXPECT_EQ(menu.Hovered(), 0);
    EXPECT_TRUE(Queued(Event(PR_ONMAPIN, "save", 0)));
    EXPECT_EQ(Shown(), "GRRM");  // the hover picture and its overlay
    EXPECT_EQ(menu.DisplayCursor(), "MENU\\hand.cur");
    PointerFrame(14, 4);
    EXPECT_TRUE(Queued(Event(PR_ONMAPOUT, "save", 0)));
    EXPECT_TRUE(Queued(Event(PR_ONMAPIN, "load", 1)));
    // The leave picture plays once, then the button rests again; the overlay is gone.
    EXPECT_EQ(Shown(), "YGR.");
    Frames(5);
    EXPECT_EQ(Shown(), "RGR.");
    ClickAt(14, 4);
    EXPECT_TRUE(Queued(Event(PR_ONSELECT, "load", 1)));
    // Without a click picture the selection finishes at once.
    EXPECT_TRUE(Queued(Event(PR_ONPLAYEND, "load", 1)));
    // The empty panel lets the pointer through.
    PointerFrame(30, 4);
    EXPECT_EQ(menu.Hovered(), -1);
}

TEST_F(PrevMenuTest, AClickPictureHoldsTheHoverUntilItEndsAndAutoScrapThenCloses) {
    for (const bool autoScrap : {false, true}) {
        root.Reset();
        TKivoPrevMenu& menu = Menu();
        menu.SetAutoScrap(autoScrap);
        const ObjectHandle handle = menu.Handle();
        ClickAt(4, 4);
        EXPECT_TRUE(Queued(Event(PR_ONSELECT, "save", 0)));
        EXPECT_EQ(menu.PendingAnimations(), 1);
        EXPECT_EQ(Shown()[0], 'W');
        PointerFrame(14, 4);
        EXPECT_EQ(menu.Hovered(), 0);
        EXPECT_FALSE(Queued(Event(PR_ONPLAYEND, "save", 0)));
        Frames(5);
        if (autoScrap) {
            EXPECT_EQ(root.Resolve(handle), nullptr);
            EXPECT_FALSE(Queued(Event(PR_ONPLAYEND, "save", 0)));
            continue;
        }
        EXPECT_TRUE(Queued(Event(PR_ONPLAYEND, "save", 0)));
        EXPECT_EQ(menu.PendingAnimations(), 0);
        PointerFrame(15, 4);
        EXPECT_EQ(menu.Hovered(), 1);
    }
}

TEST_F(PrevMenuTest, AMotionPictureIsPreloadedByItsPicturesAndPlaysAsTheClick) {
    // The click picture is a motion showing cyan for three frames and then naming itself,
    // which neither preloads nor shows anything.
    AddPicture("MENU\\w.gal", 8, 8, 0x00FFFF);  // cyan
    const FilmImageTrack cyan{.base = {.length = 3},
                              .block = {.move = {.sx = 2, .sy = 2, .ex = 2, .ey = 2}},
                              .file = "w.gal"};
    const FilmImageTrack itself{.base = {.length = 3, .start = 3}, .file = "click.kmt"};
    AddFile("MENU\\click.kmt", WriteFilm({.signature = "KivoMotion", .tracks = {cyan, itself}}));
    PrevMenuFile file = ThreeButtons();
    file.buttons[0].click = "click.kmt";
    AddFile("MENU\\m2.kpm", WritePrevMenu(file));
    TKivoPrevMenu& menu = Menu("MENU\\m2.kpm");
    EXPECT_EQ(menu.PreloadedNames(),
              (std::vector<std::string>{"MENU\\N.GAL", "MENU\\H.GAL", "MENU\\L.GAL", "MENU\\W.GAL",
                                        "MENU\\D.GAL", "MENU\\O.GAL"}));

    ClickAt(4, 4);
    EXPECT_EQ(menu.PendingAnimations(), 1);
    EXPECT_EQ(Shown()[0], 'C');
    // The motion lasts six frames; its time runs from the third update and reaches frame 6
    // at 96 ms, in the eighth.
    Frames(7);
    EXPECT_EQ(menu.PendingAnimations(), 1);
    Frames(1);
    EXPECT_EQ(menu.PendingAnimations(), 0);
    EXPECT_TRUE(Queued(Event(PR_ONPLAYEND, "save", 0)));
}

TEST_F(PrevMenuTest, ReleasingOnAnotherButtonSelectsNothing) {
    Menu();
    PointerFrame(4, 4);
    Press();
    PointerFrame(14, 4);
    Release();
    EXPECT_FALSE(Queued(Event(PR_ONSELECT, "save", 0)));
    EXPECT_FALSE(Queued(Event(PR_ONSELECT, "load", 1)));
}

TEST_F(PrevMenuTest, ArrowsWalkTheVisibleButtonsAndEnterSelects) {
    TKivoPrevMenu& menu = Menu();
    menu.SetHandleKey(true);
    menu.SetHandlerText(Handler::KeyRepeat, "repeat.ksb");
    root.InputPass();
    ASSERT_EQ(root.FocusedControl(), &menu);
    const std::vector<std::pair<int32_t, int32_t>> steps = {{39, 0}, {39, 1}, {39, 2}, {39, 0},
                                                            {37, 2}, {38, 1}, {40, 2}};
    for (const auto& [key, hovered] : steps) {
        Key(key);
        EXPECT_EQ(menu.Hovered(), hovered) << key;
    }
    menu.SetButtonVisible(0, false);
    Key(39);
    EXPECT_EQ(menu.Hovered(), 1);
    Key(13);
    EXPECT_TRUE(Queued(Event(PR_ONSELECT, "load", 1)));
    // With every button hidden the keys do nothing at all.
    menu.SetButtonVisible(1, false);
    menu.SetButtonVisible(2, false);
    root.Events().Clear();
    Key(39);
    EXPECT_EQ(menu.Hovered(), 1);
    EXPECT_TRUE(Queue().empty());
}

TEST_F(PrevMenuTest, EnabledAndVisibleFlagsChangeTheButtonsByIndexOrName) {
    TKivoPrevMenu& menu = Menu();
    EXPECT_EQ(menu.IndexOf("quit"), 2);
    EXPECT_EQ(menu.IndexOf("1"), 1);
    EXPECT_EQ(menu.IndexOf("Quit"), -1);
    menu.SetButtonEnabled(menu.IndexOf("load"), false);
    menu.SetButtonVisible(2, false);
    EXPECT_FALSE(menu.ButtonEnabled(1));
    EXPECT_FALSE(menu.ButtonVisible(2));
    EXPECT_FALSE(menu.ButtonEnabled(7));
    EXPECT_EQ(Shown(), "RB..");
    // A disabled button hovers with its disabled picture and takes no click.
    ClickAt(14, 4);
    EXPECT_EQ(menu.Hovered(), 1);
    EXPECT_FALSE(Queued(Event(PR_ONSELECT, "load", 1)));
    // A hidden button takes no pointer.
    PointerFrame(24, 4);
    EXPECT_EQ(menu.Hovered(), -1);
    // A file of the first version has no disabled pictures: a disabled button shows nothing.
    PrevMenuFile old = ThreeButtons();
    old.version = "100";
    AddFile("MENU\\old.kpm", WritePrevMenu(old));
    menu.SetSource("MENU\\old.kpm");
    EXPECT_TRUE(menu.ButtonEnabled(1));
    menu.SetButtonEnabled(0, false);
    root.FrameAdvance();
    EXPECT_EQ(Shown(), ".RR.");
}

TEST_F(PrevMenuTest, AnAnimationThatCannotPlayStillEndsTheSelection) {
    // A click picture the game lacks, and a button hidden while its click plays.
    PrevMenuFile file = ThreeButtons();
    file.buttons[1].click = "missing.gal";
    AddFile("MENU\\m2.kpm", WritePrevMenu(file));
    TKivoPrevMenu& menu = Menu("MENU\\m2.kpm");
    ClickAt(14, 4);
    EXPECT_EQ(menu.PendingAnimations(), 1);
    root.FrameAdvance();
    EXPECT_EQ(menu.PendingAnimations(), 0);
    EXPECT_TRUE(Queued(Event(PR_ONPLAYEND, "load", 1)));

    ClickAt(4, 4);
    EXPECT_EQ(menu.PendingAnimations(), 1);
    menu.SetButtonVisible(0, false);
    root.FrameAdvance();
    EXPECT_EQ(menu.PendingAnimations(), 0);
    // A new file mid-click leaves a menu that follows the pointer again.
    ClickAt(4, 4);
    menu.SetSource(kMenuFile);
    EXPECT_EQ(menu.PendingAnimations(), 0);
    PointerFrame(14, 4);
    EXPECT_EQ(menu.Hovered(), 1);
}

TEST_F(PrevMenuTest, TheSaveRecordRestoresTheFlagsButNoHover) {
    TKivoPrevMenu& menu = Menu();
    menu.SetRightClickScrap(true);
    menu.SetButtonEnabled(1, false);
    menu.SetButtonVisible(2, false);
    PointerFrame(4, 4);
    ByteWriter writer;
    root.Save(writer);
    const std::vector<uint8_t> bytes = writer.Take();

    TKivoBaseList copy{state};
    copy.Images().SetFiles(&pictures);
    copy.SetServices({.files = &files});
    ByteReader reader(bytes, "save.dat");
    copy.Load(reader, kSaveVersionCurrent);
    EXPECT_TRUE(reader.AtEnd());
    auto* loaded = dynamic_cast<TKivoPrevMenu*>(copy.FindComponent("m"));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->Count(), 3);
    EXPECT_TRUE(loaded->ButtonEnabled(0));
    EXPECT_FALSE(loaded->ButtonEnabled(1));
    EXPECT_FALSE(loaded->ButtonVisible(2));
    EXPECT_EQ(loaded->Hovered(), -1);
    EXPECT_TRUE(loaded->RightClickScrapFlag());
    EXPECT_EQ(loaded->SelectHandler(), "select.ksb");
    ByteWriter again;
    copy.Save(again);
    EXPECT_EQ(again.Take(), bytes);
    for (size_t cut : {bytes.size() - 1, bytes.size() - 6, bytes.size() / 2}) {
        TKivoBaseList broken{state};
        broken.SetServices({.files = &files});
        broken.Images().SetFiles(&pictures);
        const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<long>(cut));
        ByteReader partReader(part, "save.dat");
        EXPECT_THROW(broken.Load(partReader, kSaveVersionCurrent), KivoError) << cut;
    }
}

}  // namespace
}  // namespace kivo::test
