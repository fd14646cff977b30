// System function calls against the plainest work that gives the same answer, in one run:
// a Length call in an expression against an increment (what a call costs over an operator),
// and JLength over a megabyte of mixed Shift-JIS against a bare walk of its lead bytes.

#include <benchmark/benchmark.h>

#include <string>

#include "base/sjis.h"
#include "ratio_reporter.h"
#include "script/expression.h"
#include "script/expression_compiler.h"
#include "script/function_registry.h"
#include "script/param.h"
#include "script/param_collection.h"
#include "script/system_functions.h"

namespace kivo {
namespace {

struct Table {
    Table() {
        RegisterSystemFunctions(functions);
        vars.Create("n", PT_INT);
        // A line of a typical message: kana, kanji and ASCII.
        vars.Create("s", PT_STR).Value().SetString("\x82\xa0\x82\xa2\x93\xfa\x96\x7b abc 123");
    }
    TParamCollection vars;
    SystemFunctionRegistry functions;
};

void RunExpression(benchmark::State& state, const char* text) {
    Table table;
    const TKivoParser parser = CompileExpression(text);
    for (auto _ : state) {
        ExpressionResult result = parser.Evaluate(table.vars, table.functions);
        benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_LengthCall(benchmark::State& state) { RunExpression(state, "n = Length(s)"); }
void BM_Increment(benchmark::State& state) { RunExpression(state, "n = n + 1"); }

// One megabyte of two-byte kana and kanji mixed with ASCII.
std::string MixedText() {
    const std::string piece = "\x82\xa0\x82\xa2\x93\xfa\x96\x7b\x83\x5c abc ";
    std::string text;
    while (text.size() + piece.size() <= (1u << 20))
        text += piece;
    return text;
}

// The characters of text: a lead byte takes the byte after it along.
size_t WalkLeadBytes(const std::string& text) {
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i, ++count) {
        if (sjis::IsLeadByte(static_cast<uint8_t>(text[i]))) ++i;
    }
    return count;
}

void BM_JLength(benchmark::State& state) {
    Table table;
    const std::string text = MixedText();
    table.vars.Find("s")->Value().SetString(text);
    const TKivoParser parser = CompileExpression("n = JLength(s)");
    (void)parser.Evaluate(table.vars, table.functions);
    if (table.vars.Find("n")->Value().AsInteger() != static_cast<int32_t>(WalkLeadBytes(text))) {
        state.SkipWithError("JLength counts differently from the walk");
        return;
    }
    for (auto _ : state) {
        ExpressionResult result = parser.Evaluate(table.vars, table.functions);
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (1 << 20));
}

void BM_LeadByteWalk(benchmark::State& state) {
    const std::string text = MixedText();
    for (auto _ : state)
        benchmark::DoNotOptimize(WalkLeadBytes(text));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (1 << 20));
}

BENCHMARK(BM_LengthCall);
BENCHMARK(BM_Increment);
BENCHMARK(BM_JLength);
BENCHMARK(BM_LeadByteWalk);

}  // namespace
}  // namespace kivo

int main(int argc, char** argv) {
    kivo::bench::RatioReporter reporter(
        {{"n = Length(s) / n = n + 1", "BM_LengthCall", "BM_Increment", "at most 2"},
         {"JLength of 1 MB / lead-byte walk", "BM_JLength", "BM_LeadByteWalk", "at most 1.5"}});
    return kivo::bench::RunWithRatios(argc, argv, reporter);
}
