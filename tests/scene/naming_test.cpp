// Automatic names, rename collisions and the name lookups.

#include "scene_fixture.h"

namespace kivo::test {
namespace {

class NamingTest : public SceneTest {};

TEST_F(NamingTest, NewObjectsTakeTheSmallestFreeNumber) {
    TKivoBox& a = root.Create<TKivoBox>();
    TKivoBox& b = root.Create<TKivoBox>();
    TKivoBox& c = root.Create<TKivoBox>();
    EXPECT_EQ(a.Name(), "object0");
    EXPECT_EQ(b.Name(), "object1");
    EXPECT_EQ(c.Name(), "object2");
    root.Destroy(b);
    EXPECT_EQ(root.Create<TKivoBox>().Name(), "object1");
    // A name a script gave is skipped, and renaming away frees a number.
    root.Create<TKivoBox>().Rename("object4");
    EXPECT_EQ(root.Create<TKivoBox>().Name(), "object3");
    EXPECT_EQ(root.Create<TKivoBox>().Name(), "object5");
    a.Rename("first");
    EXPECT_EQ(root.Create<TKivoBox>().Name(), "object0");
    // "object01" is not the automatic name of 1.
    root.Destroy(*root.FindComponent("object1"));
    root.Create<TKivoBox>().Rename("object01");
    EXPECT_EQ(root.Create<TKivoBox>().Name(), "object1");
}

TEST_F(NamingTest, AControlTakingAHeldNamePushesTheHolderToTheNextFreeSuffix) {
    struct Case {
        std::vector<std::string> existing;  // names held before
        std::string holder;                 // the one renamed away from its name
        std::string expected;               // the holder's new name
    };
    const Case cases[] = {
        {{"btn"}, "btn", "btn_2"},
        {{"btn", "btn_2"}, "btn", "btn_3"},
        {{"btn_5"}, "btn_5", "btn_2"},
        {{"btn_5", "btn_2"}, "btn_5", "btn_3"},
        {{"btn_1"}, "btn_1", "btn_1_2"},  // 1 is no suffix to take off
        {{"btn_x"}, "btn_x", "btn_x_2"},
        {{"a_b_7"}, "a_b_7", "a_b_2"},
        {{"_9"}, "_9", "_2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.holder);
        root.Reset();
        for (const std::string& name : c.existing)
            Box(name, 0, 0, 1, 1);
        TKivoObject* holder = root.FindComponent(c.holder);
        TKivoBox& taker = Box("taker", 0, 0, 1, 1);
        taker.Rename(c.holder);
        EXPECT_EQ(taker.Name(), c.holder);
        EXPECT_EQ(holder->Name(), c.expected);
        EXPECT_FALSE(root.IsScheduled(*holder));
    }
}

TEST_F(NamingTest, SuccessiveTakersOfOneNamePushEachHolderFurther) {
    TKivoBox& first = Box("btn", 0, 0, 1, 1);
    TKivoBox& second = Box("x", 0, 0, 1, 1);
    TKivoBox& third = Box("y", 0, 0, 1, 1);
    second.Rename("btn");
    third.Rename("btn");
    EXPECT_EQ(first.Name(), "btn_2");
    EXPECT_EQ(second.Name(), "btn_3");
    EXPECT_EQ(third.Name(), "btn");
}

TEST_F(NamingTest, AComponentTakingAHeldNameEndsTheHolder) {
    PlainComponent& timer = root.Create<PlainComponent>();
    timer.Rename("t");
    PlainComponent& sound = root.Create<PlainComponent>();
    sound.Rename("t");
    EXPECT_TRUE(root.IsScheduled(timer));
    EXPECT_EQ(timer.Name(), "");
    EXPECT_EQ(root.FindComponent("t"), &sound);
    const ObjectHandle timerHandle = timer.Handle();
    root.FrameAdvance();
    EXPECT_EQ(root.Resolve(timerHandle), nullptr);
    EXPECT_EQ(root.Resolve(sound.Handle()), &sound);
}

TEST_F(NamingTest, LookupsSeeLayersUnderReservedNamesAndSkipDoomedObjects) {
    TKivoBox& box = Box("x", 0, 0, 1, 1);
    EXPECT_EQ(root.FindComponent(""), &root.Layer(0));
    EXPECT_EQ(root.FindComponent("\x01"), &root.Layer(1));
    root.SetActiveLayer(1);
    EXPECT_EQ(root.FindComponent(""), &root.Layer(1));
    EXPECT_EQ(root.FindControl("\x01"), &root.Layer(0));
    EXPECT_EQ(root.FindComponent(TKivoBase::kNames[0]), &root.Layer(0));
    EXPECT_EQ(root.FindControl(TKivoBase::kNames[1]), &root.Layer(1));
    EXPECT_EQ(root.FindComponent("X"), nullptr);  // names compare exactly
    EXPECT_EQ(root.FindComponent("x"), &box);
    root.ScheduleDestroy(box);
    EXPECT_EQ(root.FindComponent("x"), nullptr);
    // Save data names no object with the empty name.
    EXPECT_TRUE(root.FindByName("").IsNull());
}

TEST_F(NamingTest, ListCompoFiltersByKindAndParent) {
    TKivoBox& parent = Box("p", 0, 0, 4, 4);
    Box("c1", 0, 0, 1, 1, 0, &parent);
    root.Create<PlainComponent>().Rename("sound");
    Box("c2", 0, 0, 1, 1, 0, &parent);
    std::vector<std::string> names{"kept"};
    EXPECT_EQ(root.ListCompo(names, LT_BOX, &parent), 2);
    EXPECT_EQ(names, (std::vector<std::string>{"kept", "c1", "c2"}));
    names.clear();
    EXPECT_EQ(root.ListCompo(names), 4);
    EXPECT_EQ(names, (std::vector<std::string>{"p", "c1", "sound", "c2"}));
}

}  // namespace
}  // namespace kivo::test
