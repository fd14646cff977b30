// The JSON of kivoplay --dump-vars.

#include <gtest/gtest.h>

#include "base/sjis.h"
#include "script/interpreter_harness.h"
#include "script/variable_dump.h"

namespace kivo::test {
namespace {

TEST(VariableDump, WritesThePlayerAndEveryGameVariable) {
    Harness h;
    PageBuilder page;
    page.Add(Wait("", Int(0)));
    h.AddGame(page);
    h.Open();
    h.Frame();
    h.variables.Create("n", PT_INT).Value().SetInteger(-3);
    TCustomParam& grid = h.variables.Create("grid", PT_BOOL).Value();
    const int32_t dims[] = {2, 1};
    grid.SetDimensions(dims);
    grid.SetFlagAt(1, true);
    h.variables.Create("f", PT_FLOAT).Value().SetFloat(0.5);
    h.variables.Create("s", PT_STR).Value().SetString(sjis::FromUtf8Lossy("「a\"b」\n"));
    h.player.frameCounter = 7;

    std::string json = DumpVariables(h.player, PositionOf(h.State()), h.variables);
    EXPECT_EQ(
        json,
        "{\"player\": {\"clock\": 16, \"frameCounter\": 7, \"frameInterval\": 16, "
        "\"skipDivisor\": 1, \"soundDelay\": 500, \"directSound\": true, \"quit\": false, "
        "\"page\": \"start.ksb\", \"pc\": 0, \"mode\": 0, \"level\": 2, \"stackDepth\": 0}, "
        "\"vars\": ["
        "{\"name\": \"n\", \"type\": \"int\", \"dims\": [], \"values\": [-3]}, "
        "{\"name\": \"grid\", \"type\": \"flag\", \"dims\": [2, 1], \"values\": [false, true]}, "
        "{\"name\": \"f\", \"type\": \"float\", \"dims\": [], \"values\": [0.5]}, "
        "{\"name\": \"s\", \"type\": \"str\", \"dims\": [], \"values\": [\"「a\\\"b」\\n\"]}"
        "]}\n");
}

}  // namespace
}  // namespace kivo::test
