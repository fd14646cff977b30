// The property interface: typed defaults of kinds without a property, the special cases of
// the dispatch, and the script forms GetProp and SetProp.

#include "base/error.h"
#include "scene/kivo_cabinet.h"
#include "scene_fixture.h"
#include "script/param.h"

namespace kivo::test {
namespace {

class PropertyTest : public SceneTest {};

// A kind with a font style, to see the style conversion the dispatch applies.
class StyledControl : public TKivoControl {
  public:
    using TKivoControl::TKivoControl;
    [[nodiscard]] int32_t Style() const { return style; }
    void SetStyle(int32_t value) { style = value; }
    [[nodiscard]] const PropertyMap& Properties() const override {
        static const PropertyMap map = [] {
            PropertyMap m = TKivoControl::ClassProperties();
            m[PR_FONTSTYLE] = Accessor<&StyledControl::Style, &StyledControl::SetStyle>();
            return m;
        }();
        return map;
    }
    int32_t style = 0;
};

TEST_F(PropertyTest, KindsWithoutAPropertyReadItsDefault) {
    TKivoBox& box = Box("box", 1, 2, 30, 40);
    PlainComponent& component = root.Create<PlainComponent>();
    struct Case {
        PropertyId id;
        PropertyValue box;        // a box: the defaults of what it lacks, or its own value
        PropertyValue component;  // an object without a rectangle
    };
    const Case cases[] = {
        {PR_ZOOMX, 256, 256},
        {PR_ZOOMY, 256, 256},
        {PR_COLOR, 0x0000FF, 0xFFFFFF},
        {PR_BORDERCOLOR, -1, -1},
        {PR_ALPHA, 255, 255},
        {PR_HOVERCOLOR, -1, -1},
        {PR_BRIGHTNESS, 255, 255},
        {PR_INDEX, -1, -1},
        {PR_TEXTDELAY, 256, 256},
        {PR_PARTMOTION, 1, 1},
        {PR_SMALLCHANGE, 1, 1},
        {PR_LARGECHANGE, 1, 1},
        {PR_REWINDONLOAD, true, true},
        {PR_OVERLAY, true, true},
        {PR_PARAM2, 0.0, 0.0},
        {PR_FONTNAME, std::string(), std::string()},
        {PR_ONPLAYING, std::string(), std::string()},
        {PR_LEFT, 1, 0},
        {PR_ORIGWIDTH, 30, 0},
        {PR_ORIGHEIGHT, 40, 0},
        {PR_VISIBLE, true, false},
        {PR_PARENT, std::string(TKivoBase::kNames[0]), std::string()},
        {PR_COMPOTYPE, int32_t{LT_BOX}, 0},
        {PR_APPEARX, 0, 0},
        {PR_CARETY, 0, 0},
        {PR_HANDLEKEY, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(ReadProperty(box, c.id), c.box);
        EXPECT_EQ(ReadProperty(component, c.id), c.component);
    }
}

TEST_F(PropertyTest, EverySlotOfEveryClassAnswersInItsPropertyType) {
    TKivoBox& box = Box("box", 0, 0, 1, 1);
    TKivoCabinet& cabinet = root.Create<TKivoCabinet>();
    PlainComponent& component = root.Create<PlainComponent>();
    const TKivoObject* objects[] = {&box, &cabinet, &component, &root.Layer(0)};
    for (const TKivoObject* object : objects) {
        for (int32_t id = 0; id < kPropertyCount; ++id) {
            SCOPED_TRACE(testing::Message() << object->Name() << " " << id);
            EXPECT_EQ(ReadProperty(*object, id).index(), DefaultPropertyValue(id).index());
        }
    }
}

TEST_F(PropertyTest, UnsupportedAndReadOnlyWritesChangeNothing) {
    TKivoBox& box = Box("box", 0, 0, 4, 4);
    WriteProperty(box, PR_ZOOMX, 512);
    WriteProperty(box, PR_COMPOTYPE, 9);
    WriteProperty(box, PR_ORIGWIDTH, 9);
    WriteProperty(box, PR_APPEARY, 9);
    WriteProperty(box, PR_PLAYING, true);
    EXPECT_EQ(ReadProperty(box, PR_ZOOMX), PropertyValue(256));
    EXPECT_EQ(ReadProperty(box, PR_COMPOTYPE), PropertyValue(int32_t{LT_BOX}));
    EXPECT_EQ(ReadProperty(box, PR_ORIGWIDTH), PropertyValue(4));
    EXPECT_EQ(ReadProperty(box, PR_APPEARY), PropertyValue(0));
    EXPECT_EQ(ReadProperty(box, PR_PLAYING), PropertyValue(false));
}

TEST_F(PropertyTest, IdsOutsideTheTableFailToReadAndAreIgnoredOnWrite) {
    TKivoBox& box = Box("box", 0, 0, 4, 4);
    for (int32_t id : {-1, -1000, 162, 100000}) {
        SCOPED_TRACE(id);
        try {
            (void)ReadProperty(box, id);
            ADD_FAILURE() << "read did not fail";
        } catch (const KivoError& error) {
            EXPECT_EQ(error.Message(), "GetPropエラー");
        }
        TParamInt value;
        value.SetInteger(5);
        SetProp(box, id, value);
    }
    EXPECT_EQ(box.Left(), 0);
}

TEST_F(PropertyTest, ParentIsReadAsANameAndWrittenThroughTheControlLookup) {
    TKivoBox& a = Box("a", 0, 0, 4, 4);
    TKivoBox& b = Box("b", 0, 0, 4, 4);
    TKivoBox& detached = root.Create<TKivoBox>();
    EXPECT_EQ(ReadProperty(detached, PR_PARENT), PropertyValue(std::string()));

    WriteProperty(b, PR_PARENT, std::string("a"));
    EXPECT_EQ(b.Parent(), &a);
    EXPECT_EQ(ReadProperty(b, PR_PARENT), PropertyValue(std::string("a")));
    WriteProperty(b, PR_PARENT, std::string("nobody"));
    EXPECT_EQ(b.Parent(), &a);
    // A reserved layer name read back moves the object to that layer, shown or not.
    WriteProperty(b, PR_PARENT, std::string(TKivoBase::kNames[1]));
    EXPECT_EQ(b.Parent(), &root.Layer(1));
    EXPECT_EQ(ReadProperty(b, PR_PARENT), PropertyValue(std::string(TKivoBase::kNames[1])));
    // The empty name is the shown layer.
    WriteProperty(b, PR_PARENT, std::string());
    EXPECT_EQ(b.Parent(), &root.Layer(0));
    // A layer has no parent to write, and writes of its name are ignored.
    WriteProperty(root.Layer(0), PR_PARENT, std::string("a"));
    WriteProperty(root.Layer(0), PR_NAME, std::string("x"));
    EXPECT_EQ(root.Layer(0).Parent(), nullptr);
    EXPECT_EQ(root.Layer(0).Name(), TKivoBase::kNames[0]);
}

TEST_F(PropertyTest, PriorityDropsTheMotionSubPriorityAndReorders) {
    TKivoBox& a = Box("a", 0, 0, 1, 1);
    TKivoBox& b = Box("b", 0, 0, 1, 1);
    a.SetSubPriority(5);
    ASSERT_EQ(root.ActiveLayer().Children().back(), &a);
    WriteProperty(a, PR_PRIORITY, 0);
    EXPECT_EQ(a.SubPriority(), 0);
    EXPECT_EQ(root.ActiveLayer().Children().back(), &b);
}

TEST_F(PropertyTest, VisibleReadsWhetherTheObjectIsShown) {
    TKivoBox& parent = Box("p", 0, 0, 4, 4);
    TKivoBox& child = Box("c", 0, 0, 1, 1, 0, &parent);
    parent.SetVisible(false);
    EXPECT_EQ(ReadProperty(child, PR_VISIBLE), PropertyValue(false));
    EXPECT_TRUE(child.OwnVisible());
}

TEST_F(PropertyTest, ByteAndFlagPropertiesHoldWhatTheirFieldsHold) {
    TKivoBox& box = Box("box", 0, 0, 1, 1);
    WriteProperty(box, PR_IGNOREMOUSE, 258);
    EXPECT_EQ(ReadProperty(box, PR_IGNOREMOUSE), PropertyValue(2));
    WriteProperty(box, PR_HANDLEKEY, 7);
    EXPECT_EQ(ReadProperty(box, PR_HANDLEKEY), PropertyValue(1));
    StyledControl& styled = root.Create<StyledControl>();
    WriteProperty(styled, PR_FONTSTYLE, 0x1F);
    EXPECT_EQ(styled.style, 0xF);
}

TEST_F(PropertyTest, ClipAndHandlerPropertiesShareOneAccessorEach) {
    TKivoBox& box = Box("box", 0, 0, 8, 8);
    WriteProperty(box, PR_CLIPTOP, 2);
    WriteProperty(box, PR_CLIPHEIGHT, 3);
    EXPECT_EQ(box.Clip(), (ClipBox{0, 2, 0, 3}));
    WriteProperty(box, PR_ONMOUSEIN, std::string("in.ksb"));
    WriteProperty(box, PR_ONFOCUSOUT, std::string("out.ksb"));
    EXPECT_EQ(box.HandlerText(Handler::MouseIn), "in.ksb");
    EXPECT_EQ(box.HandlerText(Handler::FocusOut), "out.ksb");
    EXPECT_EQ(ReadProperty(box, PR_ONMOUSEOUT), PropertyValue(std::string()));
}

TEST_F(PropertyTest, ScriptValuesConvertToAndFromThePropertyType) {
    TKivoBox& box = Box("box", 0, 0, 1, 1);
    TParamStr text;
    text.SetString("12");
    SetProp(box, PR_LEFT, text);
    EXPECT_EQ(box.Left(), 12);
    TParamFloat number;
    GetProp(box, PR_LEFT, number);
    EXPECT_EQ(number.AsFloat(), 12.0);
    TParamStr flag;
    GetProp(box, PR_VISIBLE, flag);
    EXPECT_EQ(flag.AsString(), "TRUE");
    EXPECT_THROW(WriteProperty(box, PR_LEFT, std::string("12")), KivoError);
}

}  // namespace
}  // namespace kivo::test
