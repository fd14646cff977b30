// Destruction and the frame advance: what freeing an object forgets, objects freed while the
// root walks them, idle events and reset.

#include <algorithm>
#include <set>

#include "scene/kivo_cabinet.h"
#include "scene_fixture.h"

namespace kivo::test {
namespace {

class LifecycleTest : public SceneTest {};

TEST_F(LifecycleTest, DestroyingForgetsFocusHoverCaptureAndPendingEventsOfTheSubtree) {
    TKivoBox& parent = Box("p", 0, 0, 8, 8);
    TKivoBox& child = Box("c", 0, 0, 4, 4, 0, &parent);
    child.SetHandleKey(true);
    child.SetHandlerText(Handler::LeftDown, "down.ksb");
    parent.SetHandlerText(Handler::MouseOut, "out.ksb");
    root.SetPointer(1, 1);
    root.SetButtonsHeld(true, false);
    root.SetClicks(true, false);
    root.InputPass();
    ASSERT_EQ(root.FocusedControl(), &child);
    ASSERT_EQ(root.ActiveLayer().Pointer().capture, kCaptureLeft);
    // A handler of the parent already running stays; the child's pending press goes.
    root.Events().Post(TTimerData{"running.ksb", parent.Handle(), 37, 1, {}});
    ASSERT_EQ(Queue(), (std::vector<std::string>{"c:36(1,1)", "p:37"}));

    root.Destroy(parent);
    EXPECT_EQ(root.FocusedControl(), nullptr);
    EXPECT_TRUE(root.FocusRecomputeRequested());
    EXPECT_TRUE(root.ActiveLayer().Pointer().hover.IsNull());
    EXPECT_EQ(root.ActiveLayer().Pointer().capture, 0);
    EXPECT_EQ(Queue(), (std::vector<std::string>{"?:37"}));
    EXPECT_EQ(root.ObjectCount(), 0);
    // The pointer is over the layer now: no release or leave event for the freed objects.
    root.Events().Clear();
    root.SetButtonsHeld(false, false);
    root.InputPass();
    EXPECT_EQ(Queue(), std::vector<std::string>{});
}

// A kind whose update destroys another object and makes a new one, as a handler might.
class Meddler : public TKivoControl {
  public:
    using TKivoControl::TKivoControl;
    bool Update() override {
        if (TKivoObject* victim = Root().FindComponent(victimName)) Root().Destroy(*victim);
        Root().Create<TKivoBox>();
        ++updates;
        return false;
    }
    std::string victimName;
    int updates = 0;
};

TEST_F(LifecycleTest, ObjectsDestroyedDuringTheFrameAdvanceAreFreedAfterIt) {
    Meddler& meddler = root.Create<Meddler>();
    TKivoBox& victim = Box("victim", 0, 0, 2, 2);
    meddler.victimName = "victim";
    TKivoBox& autoScrap = Box("scrap", 0, 0, 1, 1);
    autoScrap.SetAutoScrap(true);
    autoScrap.AssignMotion(std::make_unique<RecordingFilm>(0));
    const ObjectHandle victimHandle = victim.Handle(), scrapHandle = autoScrap.Handle();
    root.FrameAdvance();
    EXPECT_EQ(meddler.updates, 1);
    EXPECT_EQ(root.Resolve(victimHandle), nullptr);
    EXPECT_EQ(root.Resolve(scrapHandle), nullptr);
    // The object created during the walk was not updated in it, and lives on.
    EXPECT_EQ(root.ObjectCount(), 2);
    // Outside the walk a destroy is immediate.
    root.Destroy(root.ObjectAt(1));
    EXPECT_EQ(root.ObjectCount(), 1);
}

TEST_F(LifecycleTest, SiblingsScrappedTogetherLeaveTheOthersInOrderAndTheirAreaDirty) {
    // Every other box ends in the same frame, one of them with a child that ends too, and one
    // inside a parent that ends.
    root.SetSize(64, 12);
    TKivoBox& outer = Box("outer", 40, 0, 8, 8);
    TKivoBox& inner = Box("inner", 0, 0, 2, 2, 0, &outer);
    std::vector<TKivoBox*> row;
    for (int i = 0; i < 8; ++i)
        row.push_back(&Box("b" + std::to_string(i), i * 4, 0, 2, 2));
    TKivoBox& nested = Box("nested", 0, 0, 1, 1, 0, row[2]);
    std::vector<ObjectHandle> gone;
    (void)Picture();
    for (TKivoBox* box : {row[0], row[2], row[4], row[6], &nested, &outer, &inner}) {
        root.ScheduleDestroy(*box);
        gone.push_back(box->Handle());
    }
    root.FrameAdvance();
    for (ObjectHandle handle : gone)
        EXPECT_EQ(root.Resolve(handle), nullptr);
    std::vector<std::string> left;
    for (const TKivoControl* child : root.ActiveLayer().Children())
        left.push_back(child->Name());
    EXPECT_EQ(left, (std::vector<std::string>{"b1", "b3", "b5", "b7"}));
    EXPECT_EQ(root.ObjectCount(), 4);
    for (int32_t i = 0; i < root.ObjectCount(); ++i)
        EXPECT_EQ(root.ObjectAt(i).Name(), left[static_cast<size_t>(i)]);
    // What the freed boxes covered is drawn again.
    const std::vector<TRect>& rects = root.ActiveLayer().Dirty().Rects();
    ASSERT_FALSE(rects.empty());
    for (int32_t x : {0, 8, 16, 24, 40}) {
        EXPECT_TRUE(std::any_of(rects.begin(), rects.end(), [x](const TRect& r) {
            return r.Contains(x, 0);
        })) << x;
    }
}

TEST_F(LifecycleTest, ObjectsFreedOneByOneKeepTheRegistryInOrder) {
    std::vector<TKivoBox*> boxes;
    for (int i = 0; i < 10; ++i)
        boxes.push_back(&Box("n" + std::to_string(i), 0, 0, 1, 1));
    for (int i : {1, 2, 5, 8})
        root.Destroy(*boxes[static_cast<size_t>(i)]);
    std::vector<std::string> names;
    for (int32_t i = 0; i < root.ObjectCount(); ++i)
        names.push_back(root.ObjectAt(i).Name());
    EXPECT_EQ(names, (std::vector<std::string>{"n0", "n3", "n4", "n6", "n7", "n9"}));
    std::vector<std::string> listed;
    EXPECT_EQ(root.ListCompo(listed), 6);
    EXPECT_EQ(listed, names);
    EXPECT_GE(root.IndexOf(*boxes[9]), 0);
    EXPECT_EQ(root.FindComponent("n5"), nullptr);
}

TEST_F(LifecycleTest, IdleHandlersQueueOnceUntilTakenAndNotFromCabinets) {
    TKivoBox& idle = Box("idle", 0, 0, 1, 1);
    idle.SetIdleHandler("idle.ksb");
    TKivoCabinet& cabinet = root.Create<TKivoCabinet>();
    cabinet.SetParent(&root.Layer(0));
    TKivoBox& parked = Box("parked", 0, 0, 1, 1, 0, &cabinet);
    parked.SetIdleHandler("parked.ksb");
    parked.SetPlayEndHandler("end.ksb");
    parked.AssignMotion(std::make_unique<RecordingFilm>(0));
    root.FrameAdvance();
    root.FrameAdvance();
    // Parked objects are not updated either, so the motion has not ended.
    EXPECT_EQ(Queue(), (std::vector<std::string>{"idle:113"}));
    root.Events().Clear();
    root.FrameAdvance();
    EXPECT_EQ(Queue(), (std::vector<std::string>{"idle:113"}));
    // Moved out of the cabinet, it runs again.
    parked.SetParent(&root.Layer(0));
    root.Events().Clear();
    root.FrameAdvance();
    EXPECT_EQ(Queue(), (std::vector<std::string>{"idle:113", "parked:113", "parked:43"}));
}

TEST_F(LifecycleTest, ResetFreesEverythingAndKeepsSizeAndPointer) {
    TKivoBox& box = Box("a", 0, 0, 2, 2);
    Box("b", 0, 0, 1, 1, 0, &box);
    root.SetPointer(5, 6);
    root.SetActiveLayer(1);
    const ObjectHandle handle = box.Handle(), layer = root.Layer(0).Handle();
    root.Reset();
    EXPECT_EQ(root.Resolve(handle), nullptr);
    EXPECT_EQ(root.Resolve(layer), nullptr);
    EXPECT_EQ(root.ObjectCount(), 0);
    EXPECT_TRUE(root.Layer(0).Children().empty());
    EXPECT_EQ(root.Layer(1).Width(), 16);
    EXPECT_EQ(root.Layer(0).Pointer().x, 5);
    EXPECT_EQ(root.Layer(1).Pointer().y, 6);
    EXPECT_EQ(root.Create<TKivoBox>().Name(), "object0");
}

// A control that notes when it goes and, as a label does, looks at its parent on the way out.
class Departing : public TKivoControl {
  public:
    using TKivoControl::TKivoControl;
    ~Departing() override {
        if (Parent() != nullptr && gone.contains(Parent())) reachedFreedParent = true;
        gone.insert(this);
    }
    static inline std::set<const TKivoControl*> gone;
    static inline bool reachedFreedParent = false;
};

TEST_F(LifecycleTest, TheRootGoingFreesParentsMadeBeforeTheirChildrenSafely) {
    Departing::gone.clear();
    Departing::reachedFreedParent = false;
    {
        TKivoBaseList scene{state};
        // The parent is made first, so it is also first in the order objects were made.
        Departing& parent = scene.Create<Departing>();
        parent.SetParent(&scene.ActiveLayer());
        Departing& child = scene.Create<Departing>();
        child.SetParent(&parent);
    }
    EXPECT_EQ(Departing::gone.size(), 2u);
    EXPECT_FALSE(Departing::reachedFreedParent);
}

TEST_F(LifecycleTest, ManyObjectsAreNamedWithoutSearchingFromZero) {
    // Names stay unique and dense whatever the order of deletion.
    std::vector<TKivoBox*> boxes;
    for (int i = 0; i < 300; ++i)
        boxes.push_back(&root.Create<TKivoBox>());
    for (int i = 0; i < 300; i += 3)
        root.Destroy(*boxes[static_cast<size_t>(i)]);
    std::set<std::string> names;
    for (int i = 0; i < 100; ++i)
        names.insert(root.Create<TKivoBox>().Name());
    std::set<std::string> expected;
    for (int i = 0; i < 300; i += 3)
        expected.insert("object" + std::to_string(i));
    EXPECT_EQ(names, expected);
    EXPECT_EQ(root.Create<TKivoBox>().Name(), "object300");
}

}  // namespace
}  // namespace kivo::test
