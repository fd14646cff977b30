#include "script/vocabulary.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace kivo {
namespace {

TEST(VocabularyTest, TablesHaveTheirFullSize) {
    EXPECT_EQ(Commands().size(), 61u);
    EXPECT_EQ(Properties().size(), 162u);
    EXPECT_EQ(Constants(ConstantGroup::ObjectKind).size(), 28u);
    EXPECT_EQ(Constants(ConstantGroup::Wipe).size(), 39u);
    EXPECT_EQ(Operators().size(), 21u);
    EXPECT_EQ(SystemVariableNames().size(), 50u);
    EXPECT_EQ(Functions().size(), 145u);
    EXPECT_EQ(Constants(ConstantGroup::Key).size(), 70u);
    EXPECT_EQ(KeySelectorLabels().size(), 52u);
    EXPECT_EQ(ObjectTypeLabels().size(), 12u);
    EXPECT_EQ(WallpaperPlacementLabels().size(), 3u);
}

TEST(VocabularyTest, NamesAreUniqueWithinEachTable) {
    auto expectUnique = [](auto table, auto nameOf, const char* what) {
        std::set<std::string> seen;
        for (const auto& entry : table)
            EXPECT_TRUE(seen.insert(std::string(nameOf(entry))).second)
                << what << " " << nameOf(entry);
    };
    expectUnique(
        Commands(), [](const CommandInfo& c) { return c.name; }, "command");
    expectUnique(
        Commands(), [](const CommandInfo& c) { return c.className; }, "class");
    expectUnique(
        Properties(), [](const PropertyInfo& p) { return p.name; }, "property");
    expectUnique(
        Functions(), [](const FunctionInfo& f) { return f.name; }, "function");
    expectUnique(
        SystemVariableNames(), [](std::string_view n) { return n; }, "variable");
    expectUnique(
        Constants(ConstantGroup::Key), [](const NamedConstant& k) { return k.name; }, "key");
    // Every group lists its constants by position except the bit and key groups.
    for (ConstantGroup group : {ConstantGroup::ObjectKind, ConstantGroup::Wipe,
                                ConstantGroup::ParticleMotion, ConstantGroup::ValueType}) {
        const auto constants = Constants(group);
        for (size_t i = 0; i < constants.size(); ++i)
            EXPECT_EQ(constants[i].value, int32_t(i));
    }
}

TEST(VocabularyTest, CommandsByCodeAndName) {
    struct Case {
        int code;
        const char* name;
        const char* className;
    };
    for (const Case& c :
         {Case{0, "If", "TComIf"}, Case{13, "Flip", "TComFlip"}, Case{30, "Button", "TComBtnNew"},
          Case{58, "FormatHist", "TComEntryHist"}, Case{59, "SaveCabinet", "TComCabinetSave"},
          Case{60, "LoadCabinet", "TComCabinetLoad"}}) {
        const CommandInfo* info = FindCommand(c.code);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->name, c.name);
        EXPECT_EQ(info->className, c.className);
        EXPECT_EQ(CommandByName(c.name), static_cast<CommandCode>(c.code));
    }
    EXPECT_EQ(FindCommand(61), nullptr);
    EXPECT_EQ(FindCommand(-1), nullptr);
    EXPECT_FALSE(CommandByName("if"));
}

TEST(VocabularyTest, PropertiesCarryTheirTypes) {
    struct Case {
        PropertyId id;
        const char* name;
        ValueType type;
    };
    for (const Case& c :
         {Case{PR_NAME, "PR_NAME", PT_STR}, Case{PR_LEFT, "PR_LEFT", PT_INT},
          Case{PR_ANTIALIAS, "PR_ANTIALIAS", PT_BOOL}, Case{PR_ONNOTIFY, "PR_ONNOTIFY", PT_STR},
          Case{PR_PARAM1, "PR_PARAM1", PT_FLOAT}, Case{PR_PARAM3, "PR_PARAM3", PT_FLOAT},
          Case{PR_COMPOTYPE, "PR_COMPOTYPE", PT_INT},
          Case{PR_CARETHEIGHT, "PR_CARETHEIGHT", PT_INT}}) {
        const PropertyInfo* info = FindProperty(c.id);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->name, c.name);
        EXPECT_EQ(info->type, c.type) << c.name;
        EXPECT_EQ(PropertyByName(c.name), c.id);
    }
    EXPECT_EQ(PR_ONNOTIFY, 33);
    EXPECT_EQ(PR_PARAM1, 95);
    EXPECT_EQ(FindProperty(162), nullptr);
    EXPECT_EQ(FindProperty(-1), nullptr);
}

TEST(VocabularyTest, ApplicationOrderIsAPermutationStartingWithTheIdentity) {
    const auto order = PropertyApplicationOrder();
    std::set<int> ids(order.begin(), order.end());
    EXPECT_EQ(ids.size(), 162u);
    EXPECT_EQ(order[0], PR_NAME);
    EXPECT_EQ(order[3], PR_ZOOMX);
    EXPECT_EQ(order[4], PR_ZOOMY);
    EXPECT_EQ(order[89], PR_CARETHEIGHT);
    EXPECT_EQ(order[161], PR_MUTEONLOAD);
}

TEST(VocabularyTest, ConstantsByGroupAndName) {
    EXPECT_EQ(Constants(ConstantGroup::ObjectKind)[27].name, "LT_CABINET");
    EXPECT_EQ(Constants(ConstantGroup::ObjectKind)[13].label, "メッセージボックス");
    EXPECT_EQ(Constants(ConstantGroup::Wipe)[38].name, "WP_BLOCKRANDOM");
    EXPECT_EQ(Constants(ConstantGroup::Wipe)[20].label, "マスクホワイト");
    EXPECT_EQ(Constants(ConstantGroup::FontStyle)[3].value, 8);
    struct Case {
        const char* name;
        int32_t value;
    };
    for (const Case& c :
         {Case{"FS_UNDERLINE", 4}, Case{"LT_MES", 13}, Case{"WP_FADE", 1}, Case{"IM_RCLICK", 4},
          Case{"MT_DEC", 2}, Case{"EXIT", 1}, Case{"VkmRETURN", 0x0D}, Case{"VkmALT", 0x12},
          Case{"VkmPAGEDOWN", 0x22}, Case{"Vkm7", 0x37}, Case{"VkmQ", 0x51}, Case{"VkmF12", 0x7B},
          Case{"VkmWheelDown", 256}, Case{"VkmWheelUp", 257}, Case{"PR_CARETHEIGHT", 161}})
        EXPECT_EQ(FindConstantValue(c.name), c.value) << c.name;
    EXPECT_FALSE(FindConstantValue("vkmreturn"));
    EXPECT_EQ(KeySelectorLabels()[0].value, 0);
    EXPECT_EQ(KeySelectorLabels()[51].label, "Delete");
    EXPECT_EQ(KeySelectorLabels()[48].value, VkmUP);
}

TEST(VocabularyTest, OperatorsBySymbolAndCode) {
    struct Case {
        int code;
        const char* name;
        const char* symbol;
        int precedence;
    };
    for (const Case& c :
         {Case{1, "ocTo", "=", 9}, Case{4, "ocMul", "*", 1}, Case{3, "ocMinus", "-", 2},
          Case{18, "ocShiftR", ">>", 3}, Case{20, "ocNEqual", "<>", 4},
          Case{19, "ocComboStr", "++", 5}, Case{8, "ocAnd", "&", 6}, Case{9, "ocXor", "^", 7},
          Case{7, "ocOr", "|", 8}}) {
        const OperatorInfo* info = FindOperator(c.code);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->name, c.name);
        EXPECT_EQ(info->symbol, c.symbol);
        EXPECT_EQ(info->precedence, c.precedence);
        EXPECT_EQ(OperatorBySymbol(c.symbol), c.code);
    }
    EXPECT_EQ(FindOperator(11)->name, "ocFunc");
    EXPECT_EQ(FindOperator(21), nullptr);
    EXPECT_FALSE(OperatorBySymbol(""));
    EXPECT_FALSE(OperatorBySymbol("!="));
}

TEST(VocabularyTest, SystemVariablesInIndexOrder) {
    EXPECT_EQ(SystemVariableNames()[0], "@Result");
    EXPECT_EQ(SystemVariableNames()[11], "@Sender");
    EXPECT_EQ(SystemVariableNames()[49], "@StackCount");
    EXPECT_EQ(SystemVariableIndex("@KeyRepeat"), 42);
    EXPECT_FALSE(SystemVariableIndex("@result"));
}

TEST(VocabularyTest, FunctionsWithArgumentRangesAndResults) {
    struct Case {
        int index;
        const char* name;
        int minArgs;
        int maxArgs;
        ValueType result;
    };
    for (const Case& c :
         {Case{0, "IntToStr", 1, 2, PT_STR}, Case{2, "GetProp", 2, 2, PT_STR},
          Case{21, "SetArray", 2, -1, PT_INT}, Case{38, "Float", 1, 1, PT_FLOAT},
          Case{91, "DBInsert", 0, -1, PT_BOOL}, Case{108, "DBDirectGetInt", 7, 7, PT_INT},
          Case{136, "Calc", 1, 1, PT_STR}, Case{144, "DBGetTable", 2, 3, PT_BOOL}}) {
        const FunctionInfo* info = FindFunction(c.index);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->name, c.name);
        EXPECT_EQ(info->minArgs, c.minArgs);
        EXPECT_EQ(info->maxArgs, c.maxArgs);
        EXPECT_EQ(info->result, c.result);
        EXPECT_EQ(FunctionIndex(c.name), c.index);
    }
    EXPECT_EQ(kFunctionGetProp, 2);
    EXPECT_FALSE(FunctionIndex("inttostr"));
    EXPECT_EQ(FindFunction(145), nullptr);
    EXPECT_TRUE(FindFunction(21)->AcceptsArgumentCount(40));
    EXPECT_FALSE(FindFunction(21)->AcceptsArgumentCount(1));
    EXPECT_FALSE(FindFunction(0)->AcceptsArgumentCount(3));
    EXPECT_TRUE(FindFunction(92)->AcceptsArgumentCount(0));
}

}  // namespace
}  // namespace kivo
