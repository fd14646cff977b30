// Expression evaluations and variable lookups per second. Each measurement has a reference
// beside it in the same run: the same work done directly on the value objects (what an
// expression costs over the values it touches) and a standard hash map for the lookups.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/sjis.h"
#include "ratio_reporter.h"
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
        vars.Create("f", PT_FLOAT).Value().SetFloat(0.1);
        vars.Create("g", PT_FLOAT);
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

// Float arithmetic and a comparison, in the values' own precision.
void BM_FloatArithmetic(benchmark::State& state) {
    RunExpression(state, "g = f * 1.5 + 0.25 - f / 3");
}

void BM_FloatArithmeticDirect(benchmark::State& state) {
    Table table;
    for (auto _ : state) {
        const auto f = table.vars.Find("f")->Value().AsFloat();
        table.vars.Find("g")->Value().SetFloat(f * 1.5 + 0.25 - f / 3);
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_Increment);
BENCHMARK(BM_IncrementDirect);
BENCHMARK(BM_Concatenation);
BENCHMARK(BM_ConcatenationDirect);
BENCHMARK(BM_ThreeOperators);
BENCHMARK(BM_ThreeOperatorsDirect);
BENCHMARK(BM_FloatArithmetic);
BENCHMARK(BM_FloatArithmeticDirect);

// Names the way games name their flags: flag0000, flag0001, ...
std::vector<std::string> GameNames(size_t count) {
    std::vector<std::string> names;
    names.reserve(count);
    char buffer[32];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(buffer, sizeof buffer, "flag%04zu", i);
        names.emplace_back(buffer);
    }
    return names;
}

// One table per size, built once: a million variables take a while to make.
struct LookupTable {
    explicit LookupTable(size_t count) : names(GameNames(count)) {
        for (const std::string& name : names)
            vars.Create(name, PT_BOOL);
        for (size_t k = 0; k < names.size(); ++k)
            map.emplace(sjis::ToLowerAscii(names[k]), static_cast<int>(k));
    }
    std::vector<std::string> names;
    TParamCollection vars;
    std::unordered_map<std::string, int> map;
};

LookupTable& TableOf(size_t count) {
    static std::map<size_t, std::unique_ptr<LookupTable>> tables;
    auto& table = tables[count];
    if (!table) table = std::make_unique<LookupTable>(count);
    return *table;
}

void BM_Lookup(benchmark::State& state) {
    LookupTable& table = TableOf(static_cast<size_t>(state.range(0)));
    const std::vector<std::string>& names = table.names;
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(table.vars.Find(names[i]));
        i = (i + 7919) % names.size();
    }
    state.SetItemsProcessed(state.iterations());
    std::unordered_set<size_t> buckets;
    for (const std::string& name : names)
        buckets.insert(table.vars.BucketOf(name));
    state.counters["buckets_used"] = static_cast<double>(buckets.size());
    state.counters["buckets"] = static_cast<double>(table.vars.BucketCount());
}

// The same lookups in a standard hash map of the lower-cased names.
void BM_LookupReference(benchmark::State& state) {
    LookupTable& table = TableOf(static_cast<size_t>(state.range(0)));
    const std::vector<std::string>& names = table.names;
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(table.map.find(sjis::ToLowerAscii(names[i])));
        i = (i + 7919) % names.size();
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_Lookup)->Arg(10000)->Arg(1000000);
BENCHMARK(BM_LookupReference)->Arg(10000)->Arg(1000000);

// A call level that declared count locals, each followed by a global made at the same level
// (globals outlive the call), so the locals are spread over the table; the level is freed.
void BM_DeleteLevel(benchmark::State& state) {
    const std::vector<std::string> names = GameNames(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        auto vars = std::make_unique<TParamCollection>();
        vars->SetCurrentLevel(1);
        for (const std::string& name : names) {
            (void)vars->Declare(name, PT_INT, kScopeLocal);
            (void)vars->Declare("g" + name, PT_INT, kScopeGlobal);
        }
        state.ResumeTiming();
        vars->DeleteLevel(1);
        state.PauseTiming();
        vars.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The same number of names erased from a standard hash map that holds twice as many.
void BM_DeleteLevelReference(benchmark::State& state) {
    const std::vector<std::string> names = GameNames(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        std::unordered_map<std::string, int> map;
        for (const std::string& name : names) {
            map.emplace(name, 0);
            map.emplace("g" + name, 0);
        }
        state.ResumeTiming();
        for (const std::string& name : names)
            map.erase(name);
        state.PauseTiming();
        map = {};
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_DeleteLevel)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DeleteLevelReference)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kivo

int main(int argc, char** argv) {
    kivo::bench::RatioReporter reporter(
        {{"expression x = x + 1 / direct", "BM_Increment", "BM_IncrementDirect", "for information"},
         {"concatenation / direct", "BM_Concatenation", "BM_ConcatenationDirect",
          "for information"},
         {"three operators / direct", "BM_ThreeOperators", "BM_ThreeOperatorsDirect",
          "for information"},
         {"float arithmetic / direct", "BM_FloatArithmetic", "BM_FloatArithmeticDirect",
          "for information"},
         {"lookup 10,000 names / unordered_map", "BM_Lookup/10000", "BM_LookupReference/10000",
          "at most 2"},
         {"lookup 1,000,000 names / unordered_map", "BM_Lookup/1000000",
          "BM_LookupReference/1000000", "at most 2"},
         {"freeing a level of 10,000 locals / unordered_map erase", "BM_DeleteLevel/10000",
          "BM_DeleteLevelReference/10000", "for information"}},
        [](const kivo::bench::RatioReporter& r) {
            // Linear work costs the same per variable at both sizes, but for the caches: the
            // standard map's growth over the same sizes is printed beside ours.
            const auto growth = [&](const char* small, const char* large) {
                const double a = r.Time(small), b = r.Time(large);
                return a > 0 && b > 0 ? b / (10 * a) : 0.0;
            };
            const double ours = growth("BM_DeleteLevel/10000", "BM_DeleteLevel/100000");
            const double map =
                growth("BM_DeleteLevelReference/10000", "BM_DeleteLevelReference/100000");
            if (ours > 0 && map > 0) {
                std::printf(
                    "freeing a level, cost per variable at 100,000 / at 10,000: %.2f "
                    "(unordered_map erase: %.2f; quadratic work would give 10)\n",
                    ours, map);
            }
        });
    return kivo::bench::RunWithRatios(argc, argv, reporter);
}
