#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/error.h"
#include "platform/headless/headless_platform.h"
#include "script/param.h"
#include "script/param_collection.h"
#include "support/variable_list_builder.h"

namespace kivo {
namespace {

// Runs fn and returns the message of the KivoError it raises ("" when it raises none).
template <typename Fn>
std::string ErrorOf(Fn&& fn) {
    try {
        fn();
    } catch (const KivoError& error) {
        return error.Message();
    }
    return "";
}

TEST(Conversions, FloatToStringUsesFifteenSignificantDigits) {
    struct Case {
        Extended value;
        const char* text;
    };
    const Case cases[] = {
        {1.0L / 3, "0.333333333333333"},
        {0.1L + 0.2L, "0.3"},
        // Digits are rounded from the extended value itself; its nearest double would give
        // 1.23456789012345.
        {1.234567890123455L, "1.23456789012346"},
        {100, "100"},
        {-2.5, "-2.5"},
        {0.00001, "0.00001"},
        {0.000001, "1E-6"},
        {1.5e-7, "1.5E-7"},
        {999999999999999.0, "999999999999999"},
        {1e15, "1E15"},
        {123456789012345678.0, "1.23456789012346E17"},
        {2.0 / 3 * 1e20, "6.66666666666667E19"},
        {0.0, "0"},
        {-0.0, "0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FloatToString(c.value), c.text) << c.value;
}

TEST(Conversions, FloatToIntTruncatesAndRefusesWhatDoesNotFit) {
    EXPECT_EQ(FloatToInt(3.9), 3);
    EXPECT_EQ(FloatToInt(-3.9), -3);
    EXPECT_EQ(FloatToInt(2147483647.9), 2147483647);
    EXPECT_EQ(FloatToInt(-2147483648.9), -2147483647 - 1);
    for (double bad :
         {std::nan(""), std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity(), 2147483648.0, -2147483649.0, 1e300}) {
        EXPECT_THROW((void)FloatToInt(bad), KivoError) << bad;
    }
}

TEST(Conversions, StringParsing) {
    struct Case {
        const char* text;
        int32_t asInt;
        Extended asFloat;
    };
    const Case cases[] = {
        {"12", 12, 12},
        {"0.1", 0, 0.1L},  // the extended nearest, not the double
        {" -7 ", -7, -7},
        {"$FF", 255, 0},
        {"0x10", 16, 0},
        {"1.5", 0, 1.5},
        {"1e-5", 0, 1e-5L},
        {"abc", 0, 0},
        {"", 0, 0},
        {"2147483648", 0, 2147483648.0},
        {"-2147483648", -2147483647 - 1, -2147483648.0},
        {"inf", 0, 0},
        {"nan", 0, 0},
        {"12abc", 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StringToInt(c.text), c.asInt) << c.text;
        EXPECT_EQ(StringToFloat(c.text), c.asFloat) << c.text;
    }
}

// Every cell of the conversion table: a value of each type set from each type, then read as
// each type.
TEST(Values, ConversionTable) {
    struct Case {
        ValueType type;
        void (*set)(TCustomParam&);
        int32_t asInt;
        double asFloat;
        bool asFlag;
        const char* asString;
    };
    const Case cases[] = {
        {PT_INT, [](TCustomParam& v) { v.SetInteger(-4); }, -4, -4, true, "-4"},
        {PT_INT, [](TCustomParam& v) { v.SetFloat(3.9); }, 3, 3, true, "3"},
        {PT_INT, [](TCustomParam& v) { v.SetFloat(-3.9); }, -3, -3, true, "-3"},
        {PT_INT, [](TCustomParam& v) { v.SetFlag(true); }, 1, 1, true, "1"},
        {PT_INT, [](TCustomParam& v) { v.SetString("x1"); }, 0, 0, false, "0"},
        {PT_FLOAT, [](TCustomParam& v) { v.SetInteger(2); }, 2, 2, true, "2"},
        {PT_FLOAT, [](TCustomParam& v) { v.SetFloat(-2.75); }, -2, -2.75, true, "-2.75"},
        {PT_FLOAT, [](TCustomParam& v) { v.SetFlag(true); }, 1, 1, true, "1"},
        {PT_FLOAT, [](TCustomParam& v) { v.SetString("0.5"); }, 0, 0.5, true, "0.5"},
        {PT_BOOL, [](TCustomParam& v) { v.SetInteger(-3); }, 1, 1, true, "TRUE"},
        {PT_BOOL, [](TCustomParam& v) { v.SetFloat(0.0); }, 0, 0, false, "FALSE"},
        {PT_BOOL, [](TCustomParam& v) { v.SetString("true"); }, 0, 0, false, "FALSE"},
        {PT_BOOL, [](TCustomParam& v) { v.SetString("TRUE"); }, 1, 1, true, "TRUE"},
        {PT_STR, [](TCustomParam& v) { v.SetInteger(15); }, 15, 15, false, "15"},
        {PT_STR, [](TCustomParam& v) { v.SetFloat(1.0 / 3); }, 0, 1.0 / 3, false,
         "0.333333333333333"},
        {PT_STR, [](TCustomParam& v) { v.SetFlag(false); }, 0, 0, false, "FALSE"},
        {PT_STR, [](TCustomParam& v) { v.SetString("true"); }, 0, 0, false, "true"},
        {PT_STR, [](TCustomParam& v) { v.SetString("TRUE"); }, 0, 0, true, "TRUE"},
    };
    int row = 0;
    for (const Case& c : cases) {
        auto value = CreateParam(c.type);
        c.set(*value);
        EXPECT_EQ(value->Type(), c.type) << row;
        EXPECT_EQ(value->AsInteger(), c.asInt) << row;
        if (c.type == PT_STR && c.asFloat == 1.0 / 3) {
            EXPECT_NEAR(value->AsFloat(), c.asFloat, 1e-15) << row;
        } else {
            EXPECT_EQ(value->AsFloat(), c.asFloat) << row;
        }
        EXPECT_EQ(value->AsFlag(), c.asFlag) << row;
        EXPECT_EQ(value->AsString(), c.asString) << row;
        ++row;
    }
    EXPECT_EQ(CreateParam(5), nullptr);
    // A float string that does not fit an integer is an error, not an arbitrary number.
    auto big = CreateParam(PT_FLOAT);
    big->SetFloat(1e12);
    EXPECT_THROW((void)big->AsInteger(), KivoError);
}

TEST(Values, ArraysAddressRowMajorAndCheckBounds) {
    TParamInt a;
    const int32_t dims45[] = {4, 5};
    a.SetDimensions(dims45);
    ASSERT_EQ(a.ElementCount(), 20);
    const int32_t at12[] = {1, 2};
    EXPECT_EQ(a.FlatIndex("a", at12), 7);

    const int32_t dims34[] = {3, 4};
    a.SetDimensions(dims34);
    EXPECT_EQ(a.FlatIndex("a", at12), 6);
    struct Bad {
        std::vector<int32_t> indices;
        const char* message;
    };
    const Bad bad[] = {
        {{3, 0}, "a[3,0]\r\n要素数を超えています"},   {{0, -1}, "a[0,-1]\r\n要素数を超えています"},
        {{-1, 5}, "a[-1,5]\r\n要素数を超えています"}, {{1}, "a[1]\r\n添え字が不正です"},
        {{1, 1, 1}, "a[1,1,1]\r\n添え字が不正です"},
    };
    for (const Bad& b : bad) {
        EXPECT_EQ(ErrorOf([&] { (void)a.FlatIndex("a", b.indices); }), b.message);
    }
    EXPECT_EQ(ErrorOf([&] { (void)a.IntAt(12); }), "配列の添字が不正です");
    EXPECT_EQ(ErrorOf([&] { a.SetIntAt(-1, 0); }), "配列の添字が不正です");

    // Storing a single value makes the array single again.
    a.SetIntAt(6, 9);
    a.SetInteger(5);
    EXPECT_EQ(a.ElementCount(), 1);
    EXPECT_EQ(a.DimensionCount(), 1);
    EXPECT_EQ(a.AsInteger(), 5);
}

TEST(Values, BadDimensionsRaiseInsteadOfAllocating) {
    const std::vector<std::vector<int32_t>> bad = {
        {0}, {3, -1}, {65536, 65536}, {100000, 100000}, {2, 1 << 30}, {1 << 12, 1 << 12, 2}};
    for (const auto& sizes : bad) {
        TParamStr s;
        std::string message = ErrorOf([&] { s.SetDimensions(sizes); });
        EXPECT_TRUE(message.starts_with("配列の要素数[")) << message;
        EXPECT_EQ(s.ElementCount(), 1);
    }
    TParamStr s;
    const int32_t zero[] = {2, 0};
    EXPECT_EQ(ErrorOf([&] { s.SetDimensions(zero); }), "配列の要素数[2,0]が不正です");
}

TEST(Values, AssignValueConvertsEveryElementAndCopyMemNeedsTheSameClass) {
    TParamFloat source;
    const int32_t dims[] = {2, 2};
    source.SetDimensions(dims);
    for (int i = 0; i < 4; ++i)
        source.SetFloatAt(i, i + 0.5);
    TParamStr target;
    target.AssignValue(source);
    EXPECT_EQ(target.Dimensions(), source.Dimensions());
    EXPECT_EQ(target.StringAt(3), "3.5");

    TParamInt ints;
    EXPECT_EQ(ErrorOf([&] { ints.CopyMemFrom(source); }), "CopyMem:変数の型があいません");
    EXPECT_EQ(ErrorOf([&] { ints.CopyFrom(source); }), "CopyMem:変数の型があいません");
    TParamFloat copy;
    copy.CopyMemFrom(source);
    EXPECT_EQ(copy.FloatAt(2), 2.5);
    copy.AssignValue(copy);  // assigning a value to itself keeps it
    EXPECT_EQ(copy.FloatAt(2), 2.5);
}

TEST(Values, IndexOfString) {
    TParamStr list;
    const int32_t dims[] = {3};
    list.SetDimensions(dims);
    list.SetStringAt(0, "Alpha");
    list.SetStringAt(1, "beta");
    list.SetStringAt(2, "Gamma ray");
    EXPECT_EQ(list.IndexOfString("beta", true, false), 1);
    EXPECT_EQ(list.IndexOfString("ALPHA", true, false), -1);
    EXPECT_EQ(list.IndexOfString("ALPHA", false, false), 0);
    EXPECT_EQ(list.IndexOfString("RAY", false, true), 2);
    EXPECT_EQ(list.IndexOfString("RAY", true, true), -1);
}

// ---- The variable table ---------------------------------------------------------------------

TEST(ParamCollection, LocalsShadowGlobalsOnlyAtTheirLevel) {
    TParamCollection vars;
    vars.Declare("x", PT_INT, kScopeGlobal).variable->Value().SetInteger(1);
    vars.SetCurrentLevel(1);
    vars.Declare("x", PT_INT, kScopeLocal).variable->Value().SetInteger(2);
    vars.Declare("tmp", PT_STR, kScopeAutoDestroy);
    EXPECT_EQ(vars.Find("X")->Value().AsInteger(), 2);

    vars.SetCurrentLevel(2);  // a deeper call does not see the caller's local
    EXPECT_EQ(vars.Find("x")->Value().AsInteger(), 1);

    vars.SetCurrentLevel(1);
    vars.DeleteLevel(1);
    vars.SetCurrentLevel(0);
    EXPECT_EQ(vars.Find("x")->Value().AsInteger(), 1);
    EXPECT_EQ(vars.Find("tmp"), nullptr);
}

TEST(ParamCollection, OldestGlobalWinsAndStatusIsInitialisedOnce) {
    TParamCollection vars;
    vars.Create("v", PT_INT).Value().SetInteger(1);
    vars.Create("V", PT_INT).Value().SetInteger(2);
    EXPECT_EQ(vars.Find("v")->Value().AsInteger(), 1);

    Declaration first = vars.Declare("seen", PT_BOOL, kScopeStatus);
    EXPECT_TRUE(first.initialise);
    first.variable->Value().SetFlag(true);
    Declaration again = vars.Declare("seen", PT_BOOL, kScopeStatus);
    EXPECT_EQ(again.variable, first.variable);
    EXPECT_FALSE(again.initialise);
    EXPECT_TRUE(vars.Find("seen")->Value().AsFlag());
}

TEST(ParamCollection, NamesAreChecked) {
    TParamCollection vars;
    EXPECT_EQ(ErrorOf([&] { vars.Create("1st", PT_INT); }), "\"1st\"：変数名が不正です");
    EXPECT_EQ(ErrorOf([&] { vars.Create("a b", PT_INT); }), "\"a b\"：変数名が不正です");
    EXPECT_EQ(ErrorOf([&] { vars.Declare("", PT_INT, kScopeGlobal); }), "変数名がありません");
    EXPECT_EQ(vars.Count(), kSystemVariableCount);
    EXPECT_FALSE(vars.Remove("@Result"));
    EXPECT_EQ(vars.Count(), kSystemVariableCount);
}

TEST(ParamCollection, ResetKeepsSystemAndStatusVariables) {
    TParamCollection vars;
    vars.Create("game", PT_INT);
    vars.Declare("kept", PT_INT, kScopeStatus);
    vars.textDelay = 5;
    vars.cursorName = "hand";
    vars.backlogFormat[3] = 7;
    vars.Reset();
    EXPECT_EQ(vars.Find("game"), nullptr);
    EXPECT_NE(vars.Find("kept"), nullptr);
    EXPECT_EQ(vars.Count(), kSystemVariableCount + 1);
    EXPECT_EQ(vars.Find("@TextDelay")->Value().AsInteger(), 50);
    EXPECT_EQ(vars.cursorName, "");
    EXPECT_EQ(vars.backlogFormat[3], 0);
}

TEST(ParamCollection, ValueCopy) {
    TParamCollection vars;
    vars.Create("s", PT_STR).Value().SetString("abc");
    auto copy = vars.ValueCopy("s");
    vars.Find("s")->Value().SetString("changed");
    EXPECT_EQ(copy->AsString(), "abc");
    vars.Create("r", PT_NONE);
    EXPECT_EQ(ErrorOf([&] { (void)vars.ValueCopy("r"); }), "r:不正な変数です");
}

TEST(References, ReadTheBoundElementAndNothingOnceTheTargetIsGone) {
    TParamCollection vars;
    TParamCollectionItem& array = vars.Create("arr", PT_INT);
    const int32_t dims[] = {3};
    array.Value().SetDimensions(dims);
    array.Value().SetIntAt(2, 42);
    TParamCollectionItem& ref = vars.Create("ref", PT_NONE);
    auto& reference = dynamic_cast<TParamVar&>(ref.Value());
    reference.Bind(array, 2);
    EXPECT_EQ(reference.Type(), PT_INT);
    EXPECT_EQ(reference.AsInteger(), 42);
    reference.SetString("7");
    EXPECT_EQ(array.Value().IntAt(2), 7);

    // A reference bound to a reference takes over its element.
    TParamVar chained;
    chained.Bind(ref, 0);
    EXPECT_EQ(chained.ElementIndex(), 2);
    EXPECT_EQ(chained.AsInteger(), 7);

    // The ways a variable can go: VarDel, level deletion, reset.
    struct Way {
        const char* name;
        void (*remove)(TParamCollection&);
    };
    const Way ways[] = {
        {"VarDel", [](TParamCollection& v) { v.Remove("arr"); }},
        {"DeleteLevel", [](TParamCollection& v) { v.DeleteLevel(4); }},
        {"Reset", [](TParamCollection& v) { v.Reset(); }},
    };
    for (const Way& way : ways) {
        TParamCollection table;
        table.SetCurrentLevel(4);
        TParamCollectionItem& target = *table.Declare("arr", PT_STR, kScopeAutoDestroy).variable;
        target.Value().SetString("here");
        TParamVar held;
        held.Bind(target, 0);
        EXPECT_EQ(held.AsString(), "here");
        way.remove(table);
        EXPECT_EQ(held.Bound(), nullptr) << way.name;
        EXPECT_EQ(held.AsString(), "") << way.name;
        held.SetString("ignored");
        EXPECT_EQ(held.Type(), PT_NONE) << way.name;
    }
}

// ---- System variables -----------------------------------------------------------------------

class FakeInput : public SystemVariableProvider {
  public:
    [[nodiscard]] SystemValue Read(SystemVariable id, int32_t element) const override {
        if (id == SystemVariable::KeyPush) return element == VkmWheelDown && wheelDown;
        if (id == SystemVariable::Sender) return std::string("button1");
        return int32_t{0};
    }
    void Write(SystemVariable id, const SystemValue& value) override {
        if (id == SystemVariable::LClick) clicked = std::get<bool>(value);
    }
    [[nodiscard]] int32_t ElementCount(SystemVariable id) const override {
        return id == SystemVariable::KeyPush ? kKeyArraySize : 1;
    }
    bool wheelDown = false;
    bool clicked = false;
};

TEST(SystemVariables, DefaultsProvidersAndConversions) {
    PlayerState state;
    state.gameClock = 1234;
    TParamCollection vars(&state);
    ASSERT_EQ(vars.At(0).Name(), "@Result");
    ASSERT_EQ(vars.At(49).Name(), "@StackCount");
    EXPECT_EQ(vars.Find("@TextDelay")->Value().AsInteger(), 50);
    EXPECT_EQ(vars.Find("@TickCount")->Value().AsInteger(), 1234);
    EXPECT_NEAR(vars.Find("@Pi")->Value().AsFloat(), 3.14159265358979, 1e-14);
    EXPECT_EQ(vars.Find("@1Hour")->Value().AsFloat(), 1.0L / 24);
    EXPECT_EQ(vars.Find("@KeyPush")->Value().ElementCount(), kKeyArraySize);
    // Without a clock, a calendar or their owners these read empty, never the host's.
    EXPECT_EQ(vars.Find("@PCTickCount")->Value().AsInteger(), 0);
    EXPECT_EQ(vars.Find("@Year")->Value().AsInteger(), 0);
    EXPECT_EQ(vars.Find("@Title")->Value().AsString(), "");

    // Writes: kept values change, read-only ones are ignored.
    vars.Find("@TextDelay")->Value().SetString("20");
    EXPECT_EQ(vars.textDelay, 20);
    vars.Find("@ScrWidth")->Value().SetInteger(99);
    EXPECT_EQ(vars.Find("@ScrWidth")->Value().AsInteger(), 0);
    vars.Find("@SelStr")->Value().SetInteger(5);
    EXPECT_EQ(vars.selectionString, "5");

    FakeInput input;
    for (auto id : {SystemVariable::KeyPush, SystemVariable::Sender, SystemVariable::LClick}) {
        vars.RegisterProvider(id, &input);
    }
    TCustomParam& keys = vars.Find("@KeyPush")->Value();
    EXPECT_FALSE(keys.FlagAt(VkmWheelDown));
    input.wheelDown = true;
    EXPECT_TRUE(keys.FlagAt(VkmWheelDown));
    EXPECT_EQ(ErrorOf([&] { (void)keys.FlagAt(kKeyArraySize); }), "配列の添字が不正です");
    // A string system variable reads as a true flag when not empty.
    EXPECT_TRUE(vars.Find("@Sender")->Value().AsFlag());
    // A flag system variable written from a string takes its integer value.
    vars.Find("@LClick")->Value().SetString("2");
    EXPECT_TRUE(input.clicked);
    vars.Find("@LClick")->Value().SetString("TRUE");
    EXPECT_FALSE(input.clicked);
}

TEST(SystemVariables, ClockAndCalendarComeFromThePlatformOncePerFrame) {
    PlayerState state;
    HeadlessClock clock(5000);
    ClockCalendar calendar(clock, *ParseCalendarTime("2024-03-09T10:11:12"));
    TParamCollection vars(&state, &clock, &calendar);
    auto read = [&](const char* name) { return vars.Find(name)->Value().AsInteger(); };
    EXPECT_EQ(read("@PCTickCount"), 5000);
    const char* names[] = {"@Year", "@Month", "@Day", "@Week", "@Hour", "@Min", "@Sec"};
    const int32_t expected[] = {2024, 3, 9, 7, 10, 11, 12};  // a Saturday
    for (size_t i = 0; i < std::size(names); ++i)
        EXPECT_EQ(read(names[i]), expected[i]) << names[i];

    // The calendar moves on, but within one frame every reading agrees with the first.
    clock.Advance(1000);
    EXPECT_EQ(read("@PCTickCount"), 6000);
    EXPECT_EQ(read("@Sec"), 12);
    state.gameClock += 16;
    EXPECT_EQ(read("@Sec"), 13);
}

TEST(SystemVariables, TempStandsForTheAliasedVariable) {
    TParamCollection vars;
    TCustomParam& temp = vars.Find("@Temp")->Value();
    EXPECT_EQ(temp.AsInteger(), 0);
    vars.Create("name", PT_STR).Value().SetString("Mia");
    vars.tempAlias = "name";
    EXPECT_EQ(temp.Type(), PT_STR);
    EXPECT_EQ(temp.AsString(), "Mia");
    temp.SetString("Rin");
    EXPECT_EQ(vars.Find("name")->Value().AsString(), "Rin");
    // Aliases that lead back to @Temp read nothing instead of looping.
    vars.tempAlias = "@Temp";
    EXPECT_EQ(temp.AsString(), "0");
    TParamCollectionItem& loop = vars.Create("loop", PT_NONE);
    dynamic_cast<TParamVar&>(loop.Value()).Bind(*vars.Find("@Temp"), 0);
    vars.tempAlias = "loop";
    EXPECT_EQ(temp.AsString(), "0");
}

// ---- Stream forms ---------------------------------------------------------------------------

// A table with every kind of game variable, references included.
void FillGame(TParamCollection& vars) {
    vars.Declare("kept", PT_INT, kScopeStatus).variable->Value().SetInteger(11);
    TParamCollectionItem& toKept = vars.Create("toKept", PT_NONE);
    TParamCollectionItem& ints = vars.Create("ints", PT_INT);
    const int32_t dims[] = {2, 3};
    ints.Value().SetDimensions(dims);
    for (int i = 0; i < 6; ++i)
        ints.Value().SetIntAt(i, i * i - 3);
    TParamCollectionItem& toInts = vars.Create("toInts", PT_NONE);
    vars.Create("f", PT_FLOAT).Value().SetFloat(-0.125);
    vars.Create("b", PT_BOOL).Value().SetFlag(true);
    vars.SetCurrentLevel(2);
    TParamCollectionItem& s = *vars.Declare("s", PT_STR, kScopeLocal).variable;
    s.Value().SetString("\x82\xa0text");
    s.reserved = 9;
    vars.SetCurrentLevel(0);
    TParamCollectionItem& gone = vars.Create("gone", PT_INT);
    TParamCollectionItem& toGone = vars.Create("toGone", PT_NONE);
    // References placed before their targets in the table must still load bound.
    dynamic_cast<TParamVar&>(toKept.Value()).Bind(*vars.Find("kept"), 0);
    dynamic_cast<TParamVar&>(toInts.Value()).Bind(ints, 4);
    dynamic_cast<TParamVar&>(toGone.Value()).Bind(gone, 0);
    vars.Remove("gone");
    vars.textDelay = 30;
    vars.cursorName = "wait";
    vars.selectionString = "choice";
    vars.selectionIndex = 2;
    vars.backlogFormat = {1, 2, 3, 4, 5, 6};
    vars.tempAlias = "f";
}

std::string Describe(const TParamCollection& vars) {
    std::string text;
    for (int32_t i = kSystemVariableCount; i < vars.Count(); ++i) {
        const TParamCollectionItem& v = vars.At(i);
        text += v.Name() + ":" + std::to_string(TParamCollection::StreamType(v.Value()));
        text += v.status ? "s" : "";
        text += v.local ? "l" : "";
        text += std::to_string(v.level) + "/" + std::to_string(v.reserved) + "=";
        if (const auto* ref = dynamic_cast<const TParamVar*>(&v.Value())) {
            text += "ref(" + (ref->Bound() ? ref->Bound()->Name() : "") + "," +
                    std::to_string(ref->ElementIndex()) + ")";
        } else {
            for (int32_t d : v.Value().Dimensions())
                text += std::to_string(d) + "x";
            for (int32_t e = 0; e < v.Value().ElementCount(); ++e)
                text += v.Value().StringAt(e) + ";";
        }
        text += "\n";
    }
    return text;
}

TEST(VariableStreams, ValueFormsRoundTripIncludingEmptiedArrays) {
    ByteWriter emptied;  // a one-dimensional array whose elements were all deleted
    emptied.WriteI32(1);
    emptied.WriteI32(0);
    emptied.WriteI32(0);
    for (int type = PT_INT; type <= PT_STR; ++type) {
        auto value = CreateParam(type);
        const int32_t dims[] = {2, 3};
        value->SetDimensions(dims);
        value->SetStringAt(5, "1");
        ByteWriter writer;
        value->Save(writer);
        auto loaded = CreateParam(type);
        ByteReader reader(writer.Bytes(), "value");
        loaded->Load(reader);
        EXPECT_TRUE(reader.AtEnd());
        EXPECT_EQ(loaded->Dimensions(), value->Dimensions());
        EXPECT_EQ(loaded->StringAt(5), value->StringAt(5)) << type;

        ByteReader empty(emptied.Bytes(), "value");
        loaded->Load(empty);
        EXPECT_EQ(loaded->ElementCount(), 0);
        EXPECT_EQ(ErrorOf([&] { (void)loaded->AsString(); }), "配列の添字が不正です");
    }

    // A float keeps all 64 bits of its mantissa through the save form.
    const Extended fine = 1 + std::ldexp(1.0L, -63);
    TParamFloat value;
    value.SetFloat(fine);
    ByteWriter writer;
    value.Save(writer);
    TParamFloat loaded;
    ByteReader reader(writer.Bytes(), "value");
    loaded.Load(reader);
    EXPECT_EQ(loaded.AsFloat(), fine);
}

TEST(VariableStreams, GameListRoundTripsAtEverySaveVersionGate) {
    for (int32_t version : {107, 112, 113, 120, 121, 134}) {
        TParamCollection saved;
        FillGame(saved);
        ByteWriter writer;
        saved.SaveGameVariables(writer, version);

        TParamCollection loaded;
        loaded.Declare("kept", PT_INT, kScopeStatus).variable->Value().SetInteger(11);
        loaded.Create("stale", PT_INT);
        ByteReader reader(writer.Bytes(), "save");
        loaded.LoadGameVariables(reader, version);
        EXPECT_TRUE(reader.AtEnd()) << version;

        // Loaded variables come back in written order; compare them by name.
        auto sortedLines = [](std::string text) {
            std::vector<std::string> lines;
            for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
                 start = end + 1) {
                lines.push_back(text.substr(start, end - start));
            }
            std::sort(lines.begin(), lines.end());
            return lines;
        };
        EXPECT_EQ(sortedLines(Describe(loaded)), sortedLines(Describe(saved))) << version;
        EXPECT_EQ(loaded.Find("stale"), nullptr);
        EXPECT_EQ(loaded.Find("toInts")->Value().AsInteger(), 13);
        EXPECT_EQ(loaded.textDelay, 30);
        EXPECT_EQ(loaded.cursorName, "wait");
        EXPECT_EQ(loaded.selectionString, version >= 103 ? "choice" : "");
        EXPECT_EQ(loaded.backlogFormat[5], version >= 113 ? 6 : 0) << version;
        EXPECT_EQ(loaded.tempAlias, version >= 121 ? "f" : "") << version;
    }
}

TEST(VariableStreams, ReadsHandBuiltGameListsAtEverySaveVersionGate) {
    test::VariableListBuilder list;
    list.Int("grid", {1, 2, 3, 4, 5, 6}, {2, 3})
        .Ref("alias", "grid", 4)
        .Float("rate", {-0.125})
        .Str("s", {"\x82\xa0", ""}, {2}, {.local = 1, .level = 2, .reserved = 9})
        .Flag("emptied", {}, {0})
        .TextDelay(30)
        .Cursor("wait")
        .Selection("choice", 2)
        .BacklogFormat({1, 2, 3, 4, 5, 6})
        .TempAlias("f");
    // Each version reads the settings it stores and keeps the others as they were.
    for (int32_t version : {102, 103, 112, 113, 120, 121, kSaveVersionCurrent}) {
        SCOPED_TRACE(version);
        TParamCollection vars;
        vars.selectionString = "before";
        vars.tempAlias = "old";
        const std::vector<uint8_t> bytes = list.GameBytes(version);
        ByteReader reader(bytes, "save");
        vars.LoadGameVariables(reader, version);
        EXPECT_TRUE(reader.AtEnd());
        EXPECT_EQ(Describe(vars),
                  "grid:10/0=2x3x1;2;3;4;5;6;\n"
                  "alias:00/0=ref(grid,4)\n"
                  "rate:20/0=-0.125;\n"
                  "s:4l2/9=2x\x82\xa0;;\n"
                  "emptied:30/0=0x\n");
        EXPECT_EQ(vars.Find("alias")->Value().AsInteger(), 5);
        EXPECT_EQ(vars.textDelay, 30);
        EXPECT_EQ(vars.cursorName, "wait");
        EXPECT_EQ(vars.selectionString, version >= 103 ? "choice" : "before");
        EXPECT_EQ(vars.selectionIndex, version >= 103 ? 2 : 0);
        EXPECT_EQ(vars.backlogFormat[5], version >= 113 ? 6 : 0);
        EXPECT_EQ(vars.tempAlias, version >= 121 ? "f" : "old");
    }
    // The status list is the records alone.
    TParamCollection status;
    const std::vector<uint8_t> bytes = list.StatusBytes();
    ByteReader reader(bytes, "status");
    status.LoadStatusVariables(reader);
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(status.Find("grid")->Value().StringAt(5), "6");
}

TEST(VariableStreams, TargetsAreWrittenBeforeTheirReferences) {
    TParamCollection vars;
    FillGame(vars);
    ByteWriter writer;
    vars.SaveGameVariables(writer);
    ByteReader reader(writer.Bytes(), "save");
    uint32_t count = reader.ReadCount(1);
    std::vector<std::string> order;
    for (uint32_t i = 0; i < count; ++i) {
        int32_t type = reader.ReadU8();
        auto variable = TParamCollection::LoadRecord(reader, type);
        order.push_back(variable->Name());
    }
    auto position = [&](const char* name) {
        return std::find(order.begin(), order.end(), name) - order.begin();
    };
    EXPECT_EQ(order.size(), 7u);
    EXPECT_LT(position("ints"), position("toInts"));
    // The status variable is not in the game list; its reference is still written.
    EXPECT_LT(position("toKept"), 7);
    EXPECT_LT(position("toGone"), 7);
}

TEST(VariableStreams, StatusListAddsWithoutDeleting) {
    TParamCollection saved;
    FillGame(saved);
    ByteWriter writer;
    saved.SaveStatusVariables(writer);
    TParamCollection loaded;
    loaded.Create("game", PT_INT);
    ByteReader reader(writer.Bytes(), "status");
    loaded.LoadStatusVariables(reader);
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_NE(loaded.Find("game"), nullptr);
    ASSERT_NE(loaded.Find("kept"), nullptr);
    EXPECT_TRUE(loaded.Find("kept")->status);
    EXPECT_EQ(loaded.Find("kept")->Value().AsInteger(), 11);
}

TEST(VariableStreams, DamagedListsLeaveTheTableUntouched) {
    TParamCollection saved;
    FillGame(saved);
    ByteWriter writer;
    saved.SaveGameVariables(writer);
    const std::vector<uint8_t>& bytes = writer.Bytes();

    TParamCollection current;
    current.Create("mine", PT_STR).Value().SetString("safe");
    current.textDelay = 77;
    const std::string before = Describe(current);
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        ByteReader reader(std::span<const uint8_t>(bytes).first(cut), "save");
        EXPECT_THROW(current.LoadGameVariables(reader, kSaveVersionCurrent), KivoError) << cut;
        ASSERT_EQ(Describe(current), before) << cut;
        ASSERT_EQ(current.textDelay, 77);
    }
    // Bytes that no writer produces: an unknown type, a huge count, bad dimensions.
    const std::vector<std::vector<uint8_t>> forged = {
        {1, 0, 0, 0, 9},
        {0xff, 0xff, 0xff, 0x7f},
        {1, 0, 0, 0, 1, 1, 0, 0, 0, 'a', 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0},
        {1, 0, 0, 0, 1, 1, 0, 0, 0, '1', 0, 0, 0, 0, 1, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    };
    for (const auto& data : forged) {
        ByteReader reader(data, "forged");
        EXPECT_THROW(current.LoadGameVariables(reader, kSaveVersionCurrent), KivoError);
        EXPECT_EQ(Describe(current), before);
    }
}

TEST(VariableStreams, AReferenceToItselfLoadsUnbound) {
    ByteWriter writer;
    writer.WriteI32(1);
    writer.WriteU8(PT_NONE);
    writer.WriteCountedString("loop");
    writer.WriteI32(0);                 // no dimensions
    writer.WriteCountedString("loop");  // reference name
    writer.WriteCountedString("loop");  // bound to itself
    writer.WriteU8(0);
    writer.WriteI32(0);
    writer.WriteU8(0);  // status
    writer.WriteU8(0);  // local
    writer.WriteI32(-1);
    writer.WriteU8(0);  // reserved
    writer.WriteI32(50);
    writer.WriteCountedString("");
    TParamCollection vars;
    ByteReader reader(writer.Bytes(), "save");
    vars.LoadGameVariables(reader, 102);
    TCustomParam& loop = vars.Find("loop")->Value();
    EXPECT_EQ(loop.AsInteger(), 0);
    EXPECT_EQ(dynamic_cast<TParamVar&>(loop).Bound(), nullptr);
}

}  // namespace
}  // namespace kivo
