// System functions that reach beyond the variables, run by the interpreter through its context:
// the process random generator and the scene.

#include <gtest/gtest.h>

#include "base/error.h"
#include "script/expression_compiler.h"
#include "script/interpreter_harness.h"
#include "script/system_functions.h"

namespace kivo::test {
namespace {

TEST(SystemFunctions, ProcessGeneratorFollowsTheOriginalSequence) {
    // seed := seed * 134775813 + 1, then the high half of seed * n. n = 0 draws 0 but moves
    // the seed on.
    struct Case {
        uint32_t seed;
        std::vector<int32_t> ranges;
        std::vector<int32_t> drawn;
    };
    const Case cases[] = {
        {0, {100, 100, 100}, {0, 3, 86}},
        {42, {6, 6, 6, 100, 1000, 0, 6}, {1, 5, 1, 15, 19, 0, 4}},
    };
    for (const Case& c : cases) {
        TProcessRandom random(c.seed);
        std::vector<int32_t> drawn;
        for (int32_t n : c.ranges)
            drawn.push_back(random.Below(n));
        EXPECT_EQ(drawn, c.drawn) << "seed " << c.seed;
    }
}

// The records the compiler makes of name(argument).
ExprBuilder CallOf(const char* name, Operand argument) {
    ExprBuilder call;
    call.Func("____0", static_cast<uint8_t>(*FunctionIndex(name)), {std::move(argument)})
        .Step(kOpTo, "____arg", {Operand::Var("____0")});
    return call;
}

TEST(SystemFunctions, RandomAndExistsReachTheGeneratorAndTheSceneThroughTheContext) {
    Harness h;
    RegisterSystemFunctions(h.functions);
    h.random.SetSeed(0);
    (void)h.objects.Add("button");
    PageBuilder page;
    page.Add(VarNew("a", PT_INT, CallOf("Random", Operand::Int(100))).Continue())
        .Add(VarNew("b", PT_INT, CallOf("Random", Operand::Int(100))).Continue())
        .Add(VarNew("found", PT_BOOL, CallOf("Exists", Operand::Str("button"))).Continue())
        .Add(VarNew("missing", PT_BOOL, CallOf("Exists", Operand::Str("nope"))).Continue())
        .Add(VarNew("unnamed", PT_BOOL, CallOf("Exists", Operand::Str(""))).Continue());
    h.AddGame(page);
    h.Open();
    h.Frame();
    EXPECT_EQ(h.Int("a"), 0);
    EXPECT_EQ(h.Int("b"), 3);
    EXPECT_EQ(h.Str("found"), "TRUE");
    EXPECT_EQ(h.Str("missing"), "FALSE");
    EXPECT_EQ(h.Str("unnamed"), "FALSE") << "the empty name must not find the active layer";
}

TEST(SystemFunctions, OutsideAGameTheWorldFunctionsRefuseToRun) {
    TParamCollection variables;
    SystemFunctionRegistry functions;
    RegisterSystemFunctions(functions);
    try {
        (void)CompileExpression("Random(3)").Evaluate(variables, functions);
        ADD_FAILURE() << "Random ran without a context";
    } catch (const KivoError& error) {
        EXPECT_EQ(error.Message(), "Random は使用できない関数です");
    }
}

}  // namespace
}  // namespace kivo::test

namespace kivo {
namespace {

TEST(SystemFunctions, EveryFunctionOfTheVocabularyHasAnImplementation) {
    SystemFunctionRegistry registry;
    RegisterSystemFunctions(registry);
    std::string missing;
    for (int32_t index = 0; index < kFunctionCount; ++index) {
        if (!registry.IsRegistered(index)) (missing += ' ') += Functions()[index].name;
    }
    EXPECT_EQ(missing, "");
}

}  // namespace
}  // namespace kivo
