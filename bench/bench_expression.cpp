// Expression evaluations and variable lookups per second. Each measurement has a reference
// beside it in the same run: the same work done directly on the value objects (what an
// expression costs over the values it touches) and a standard hash map for the lookups.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/sjis.h"
#include "script/expression.h"
#include "script/expression_compiler.h"
#include "script/function_registry.h"
#include "script/param.h"
#include "script/param_collection.h"

namespace kivo {
namespace {

struct Table {
    Table() {
        vars.Create("x", PT_INT).Value().SetInteger(0);
        vars.Create("y", PT_INT).Value().SetInteger(7);
        vars.Create("s", PT_STR).Value().SetString("\x83\x5c\x82\xcc\x93\xfa");
        vars.Create("t", PT_STR);
    }
    TParamCollection vars;
    SystemFunctionRegistry functions;
};

void RunExpression(benchmark::State& state, const char* text) {
    Table table;
    TKivoParser parser = CompileExpression(text);
    for (auto _ : state) {
        ExpressionResult result = parser.Evaluate(table.vars, table.functions);
        benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_Increment(benchmark::State& state) {
    RunExpression(state, "x = x + 1");
}
void BM_Concatenation(benchmark::State& state) {
    RunExpression(state, "t = s ++ \"abc\"");
}
void BM_ThreeOperators(benchmark::State& state) {
    RunExpression(state, "x * 3 + y - 7");
}

// The references: the same reads and writes on the variables, with lookups, but without
// steps or temporaries.
void BM_IncrementDirect(benchmark::State& state) {
    Table table;
    for (auto _ : state) {
        TCustomParam& x = table.vars.Find("x")->Value();
        x.SetInteger(x.AsInteger() + 1);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ConcatenationDirect(benchmark::State& state) {
    Table table;
    for (auto _ : state) {
        table.vars.Find("t")->Value().SetString(table.vars.Find("s")->Value().AsString() + "abc");
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ThreeOperatorsDirect(benchmark::State& state) {
    Table table;
    for (auto _ : state) {
        auto result = CreateParam(PT_INT);
        result->SetInteger(table.vars.Find("x")->Value().AsInteger() * 3 +
                           table.vars.Find("y")->Value().AsInteger() - 7);
        benchmark::DoNotOptimize(result);
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_Increment);
BENCHMARK(BM_IncrementDirect);
BENCHMARK(BM_Concatenation);
BENCHMARK(BM_ConcatenationDirect);
BENCHMARK(BM_ThreeOperators);
BENCHMARK(BM_ThreeOperatorsDirect);

// 10,000 names the way games name their flags.
std::vector<std::string> GameNames() {
    std::vector<std::string> names;
    char buffer[32];
    for (int i = 0; i < 10000; ++i) {
        std::snprintf(buffer, sizeof buffer, "flag%04d", i);
        names.emplace_back(buffer);
    }
    return names;
}

void BM_Lookup(benchmark::State& state) {
    TParamCollection vars;
    std::vector<std::string> names = GameNames();
    for (const std::string& name : names)
        vars.Create(name, PT_BOOL);
    std::unordered_set<uint8_t> buckets;
    for (const std::string& name : names)
        buckets.insert(THashCollection::Hash(name));
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(vars.Find(names[i]));
        i = (i + 7919) % names.size();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["buckets_used"] = static_cast<double>(buckets.size());
}

void BM_LookupReference(benchmark::State& state) {
    std::vector<std::string> names = GameNames();
    std::unordered_map<std::string, int> map;
    for (size_t k = 0; k < names.size(); ++k)
        map.emplace(sjis::ToLowerAscii(names[k]), k);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(map.find(sjis::ToLowerAscii(names[i])));
        i = (i + 7919) % names.size();
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_Lookup);
BENCHMARK(BM_LookupReference);

}  // namespace
}  // namespace kivo

BENCHMARK_MAIN();
