// The scene's save record: round trips, the fields of older save versions, and damaged
// records, which must fail cleanly.

#include "base/error.h"
#include "scene/kivo_cabinet.h"
#include "scene_fixture.h"

namespace kivo::test {
namespace {

constexpr int32_t kVersion = kSaveVersionCurrent;

class SaveTest : public SceneTest {
  protected:
    std::vector<uint8_t> Saved(const TKivoBaseList& scene) {
        ByteWriter writer;
        scene.Save(writer);
        return writer.Take();
    }
    void LoadInto(TKivoBaseList& scene, const std::vector<uint8_t>& bytes,
                  int32_t version = kVersion) {
        ByteReader reader(bytes, "save.dat");
        scene.Load(reader, version);
        EXPECT_TRUE(reader.AtEnd());
    }
};

// A box record as a game of that save version wrote it, field by field.
struct BoxRecord {
    std::string name = "box";
    int32_t priority = 3, subPriority = 4;
    std::string tag = "tag";
    int32_t left = 1, top = 2, width = 3, height = 4, offsetX = 5, offsetY = 6;
    int32_t motionX = 7, motionY = 8, plusX = 9, plusY = 10;
    int32_t clip[4] = {0, 1, 2, 3};
    std::string mouseIn = "in.ksb", keyDown = "key.ksb", idle = "idle.ksb";
    int32_t children = 0;

    // A layer's record is the control record alone.
    void Write(ByteWriter& w, int32_t version, bool boxFields = true) const {
        w.WriteCountedString(name);
        w.WriteI32(priority);
        if (version > 103) w.WriteI32(subPriority);
        if (version >= 120) w.WriteCountedString(tag);
        for (int32_t v : {left, top, width, height, offsetX, offsetY})
            w.WriteI32(v);
        w.WriteU8(0);  // position zoomed
        if (version >= 130) {
            for (int32_t v : {motionX, motionY, plusX, plusY})
                w.WriteI32(v);
        }
        if (version > 103) {
            for (int32_t v : clip)
                w.WriteI32(v);
            w.WriteU8(1);  // animation paused
        }
        w.WriteU8(1);          // visible
        w.WriteI32(0x00FF00);  // colour
        for (int32_t v : {0, 0, 1, 1})
            w.WriteI32(v);                 // update rectangle
        w.WriteU8(3);                      // ignore-mouse
        w.WriteCountedString("hand.cur");  // cursor
        w.WriteCountedString("move.ksb");  // mouse move
        if (version > 101) w.WriteCountedString(mouseIn);
        for (int i = 0; i < 7; ++i)
            w.WriteCountedString("");  // out, buttons, wheel
        if (version > 117) {
            w.WriteU8(1);  // handle-key
            w.WriteCountedString(keyDown);
            for (int i = 0; i < 4; ++i)
                w.WriteCountedString("");
        }
        w.WriteI32(children);
        if (!boxFields) return;
        w.WriteI32(2);         // border width
        w.WriteI32(0xFFFFFF);  // border colour
        w.WriteI32(200);       // alpha
        if (version > 103) {
            w.WriteCountedString(idle);
            w.WriteCountedString("");  // source
            w.WriteU8(1);              // repeat
            w.WriteU8(0);              // auto-scrap
            w.WriteCountedString("end.ksb");
            w.WriteU8(0);  // paused
            w.WriteU8(1);  // animation paused
        }
    }
};

// A root record around one box on layer 0, with an empty layer 1, no components, one event
// and the focus name.
std::vector<uint8_t> RootRecord(int32_t version, const BoxRecord& box, const std::string& sender,
                                const std::string& focus) {
    ByteWriter w;
    w.WriteI32(16);  // width
    w.WriteI32(12);  // height
    w.WriteI32(0);   // active layer
    for (int layer = 0; layer < 2; ++layer) {
        BoxRecord fields;
        fields.name = layer == 0 ? "\x01"
                                   "BASE0"
                                 : "\x01"
                                   "BASE1";
        fields.children = layer == 0 ? 1 : 0;
        fields.Write(w, version, false);
        if (layer == 0) {
            w.WriteU8(LT_BOX);
            box.Write(w, version);
        }
    }
    w.WriteI32(0);  // components
    w.WriteI32(1);  // events
    w.WriteCountedString("click.ksb");
    w.WriteCountedString(sender);
    w.WriteU8(36);
    if (version <= 113) {
        w.WriteU8(7);
    } else {
        w.WriteI32(7);
    }
    w.WriteI32(2);
    w.WriteCountedString("1");
    w.WriteCountedString("2");
    if (version > 118) w.WriteCountedString(focus);
    return w.Take();
}

TEST_F(SaveTest, ASceneRoundTripsByteForByte) {
    root.Layer(1).SetColor(-1);
    TKivoBox& parent = Box("parent", 1, 1, 10, 8, 0x123456);
    parent.SetBorderWidth(2);
    parent.SetBorderColor(0x00FFFF);
    parent.SetAlpha(300);
    parent.SetTag("t");
    parent.SetSubPriority(5);
    parent.SetClip({1, 1, 5, 5});
    parent.SetPlusY(-3);
    parent.SetIgnoreMouse(4);
    parent.SetCursor("c.cur");
    parent.SetHandleKey(true);
    parent.SetHandlerText(Handler::FocusOut, "fo.ksb");
    parent.SetIdleHandler("idle.ksb");
    parent.SetRepeat(true);
    Box("child", 2, 2, 3, 3, 0xFF, &parent).SetVisible(false);
    Box("back", 0, 0, 4, 4, 0xFF00, &root.Layer(1));
    TKivoCabinet& cabinet = root.Create<TKivoCabinet>();
    cabinet.Rename("cab");
    cabinet.SetParent(&root.Layer(0));
    Box("kept", 0, 0, 1, 1, 0, &cabinet);
    // Not saved: system objects, doomed objects and objects of kind 0.
    Box("\x01sys", 0, 0, 1, 1);
    root.ScheduleDestroy(Box("doomed", 0, 0, 1, 1));
    root.Create<PictureControl>().SetParent(&root.Layer(0));
    parent.SetHandlerText(Handler::MouseIn, "in.ksb");
    root.SetPointer(2, 2);
    root.InputPass();  // queues parent's mouse-in and gives it the focus
    root.Events().Post(TTimerData{"gone.ksb", ObjectHandle{}, 34, 2, {"a"}});
    root.SetActiveLayer(1);
    root.SetFocus(&parent);
    const std::vector<std::string> pictureBefore = Picture();

    const std::vector<uint8_t> bytes = Saved(root);
    TKivoBaseList loaded(state);
    LoadInto(loaded, bytes);
    EXPECT_EQ(Saved(loaded), bytes);
    EXPECT_EQ(loaded.ActiveIndex(), 1);
    EXPECT_EQ(loaded.FocusedControl()->Name(), "parent");
    EXPECT_EQ(loaded.ObjectCount(), 5);
    EXPECT_EQ(loaded.FindComponent("\x01sys"), nullptr);
    std::vector<TRect> dirty;
    (void)loaded.Draw(dirty);
    EXPECT_EQ(PictureOf(loaded.BackBuffer()), pictureBefore);
}

TEST_F(SaveTest, OlderVersionsLeaveOutTheFieldsAddedLater) {
    struct Case {
        int32_t version;
        int32_t subPriority;
        std::string tag, mouseIn, keyDown, idle;
        int32_t plusX, clipWidth;
        bool focusRead;
    };
    const Case cases[] = {
        {101, 0, "", "", "", "", 0, 0, false},
        {102, 0, "", "in.ksb", "", "", 0, 0, false},
        {104, 4, "", "in.ksb", "", "idle.ksb", 0, 2, false},
        {113, 4, "", "in.ksb", "", "idle.ksb", 0, 2, false},
        {118, 4, "", "in.ksb", "key.ksb", "idle.ksb", 0, 2, false},
        {119, 4, "", "in.ksb", "key.ksb", "idle.ksb", 0, 2, true},
        {120, 4, "tag", "in.ksb", "key.ksb", "idle.ksb", 0, 2, true},
        {130, 4, "tag", "in.ksb", "key.ksb", "idle.ksb", 9, 2, true},
        {134, 4, "tag", "in.ksb", "key.ksb", "idle.ksb", 9, 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        TKivoBaseList scene(state);
        BoxRecord record;
        record.name = "b";
        LoadInto(scene, RootRecord(c.version, record, "b", "b"), c.version);
        auto* box = dynamic_cast<TKivoBox*>(scene.FindComponent("b"));
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->SubPriority(), c.subPriority);
        EXPECT_EQ(box->Tag(), c.tag);
        EXPECT_EQ(box->HandlerText(Handler::MouseIn), c.mouseIn);
        EXPECT_EQ(box->HandlerText(Handler::KeyDown), c.keyDown);
        EXPECT_EQ(box->HandleKey(), !c.keyDown.empty());
        EXPECT_EQ(box->IdleHandler(), c.idle);
        EXPECT_EQ(box->PlusX(), c.plusX);
        EXPECT_EQ(box->Clip().width, c.clipWidth);
        EXPECT_EQ(box->Alpha(), 200);
        EXPECT_EQ(box->IgnoreMouse(), 3);
        EXPECT_EQ(box->Parent(), &scene.Layer(0));
        ASSERT_EQ(scene.Events().Count(), 1u);
        EXPECT_EQ(scene.Events()[0].sender, box->Handle());
        // Before version 114 the level was one byte: anything but 0 is a started entry.
        EXPECT_EQ(scene.Events()[0].level, c.version <= 113 ? 1 : 7);
        EXPECT_EQ(scene.Events()[0].arguments, (std::vector<std::string>{"1", "2"}));
        EXPECT_EQ(scene.FocusedControl(), c.focusRead ? box : nullptr);
        EXPECT_EQ(scene.FocusRecomputeRequested(), !c.focusRead);
    }
}

TEST_F(SaveTest, EmptySavedNamesNameNoObject) {
    TKivoBaseList scene(state);
    LoadInto(scene, RootRecord(kVersion, BoxRecord{}, "", ""));
    EXPECT_TRUE(scene.Events()[0].sender.IsNull());
    EXPECT_EQ(scene.FocusedControl(), nullptr);
    // A layer's reserved name is that layer.
    LoadInto(scene, RootRecord(kVersion, BoxRecord{},
                               "\x01"
                               "BASE1",
                               ""));
    EXPECT_EQ(scene.Events()[0].sender, scene.Layer(1).Handle());
}

TEST_F(SaveTest, DamagedRecordsFailWithoutAllocatingOrCrashing) {
    const std::vector<uint8_t> good = RootRecord(kVersion, BoxRecord{}, "box", "box");
    // Offsets into the record: the kind byte of the box and the child count before it.
    const size_t layerBytes = [] {
        ByteWriter w;
        BoxRecord fields;
        fields.name =
            "\x01"
            "BASE0";
        fields.Write(w, kVersion, false);
        return w.Size();
    }();
    const size_t kindOffset = 12 + layerBytes;
    const size_t childCountOffset = kindOffset - 4;
    ASSERT_EQ(good[kindOffset], LT_BOX);
    ASSERT_EQ(good[childCountOffset], 1);
    struct Case {
        const char* what;
        size_t offset;
        std::vector<uint8_t> bytes;
    };
    auto i32 = [](int32_t v) {
        return std::vector<uint8_t>{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                                    static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
    };
    const Case cases[] = {
        {"width 0", 0, i32(0)},
        {"huge width", 0, i32(1 << 20)},
        {"negative height", 4, i32(-5)},
        {"active layer 2", 8, i32(2)},
        {"unknown child kind", kindOffset, {17}},
        {"kind 0 child", kindOffset, {0}},
        {"negative child count", childCountOffset, i32(-1)},
        {"child count beyond the data", childCountOffset, i32(0x7FFFFFFF)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes = good;
        std::copy(c.bytes.begin(), c.bytes.end(), bytes.begin() + static_cast<ptrdiff_t>(c.offset));
        TKivoBaseList scene(state);
        ByteReader reader(bytes, "save.dat");
        EXPECT_THROW(scene.Load(reader, kVersion), KivoError);
    }
    // Every truncation fails cleanly too.
    for (size_t size = 0; size < good.size(); ++size) {
        TKivoBaseList scene(state);
        ByteReader reader(std::span(good.data(), size), "save.dat");
        EXPECT_THROW(scene.Load(reader, kVersion), KivoError) << size;
    }
}

TEST_F(SaveTest, ChildrenNestUpTo256DeepBelowALayer) {
    TKivoControl* parent = &root.Layer(0);
    for (int depth = 0; depth < TKivoBaseList::kMaxLoadNesting; ++depth) {
        parent = &Box("n" + std::to_string(depth), 0, 0, 1, 1, 0, parent);
    }
    TKivoBaseList deep(state);
    LoadInto(deep, Saved(root));
    EXPECT_EQ(deep.ObjectCount(), TKivoBaseList::kMaxLoadNesting);

    Box("too deep", 0, 0, 1, 1, 0, parent);
    const std::vector<uint8_t> bytes = Saved(root);
    TKivoBaseList scene(state);
    ByteReader reader(bytes, "save.dat");
    EXPECT_THROW(scene.Load(reader, kVersion), KivoError);
}

}  // namespace
}  // namespace kivo::test
