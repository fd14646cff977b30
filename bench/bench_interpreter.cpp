// The interpreter's speed on a tight script loop: a While loop that runs Calc x = x + 1 a
// million times in one frame. Reported as commands per second, beside the same million
// additions evaluated without the interpreter, so that the ratio of the two rates is what the
// interpreter costs per command on top of the expression.

#include <benchmark/benchmark.h>

#include <memory>

#include "base/player_state.h"
#include "platform/dialogs.h"
#include "platform/headless/headless_platform.h"
#include "platform/trace_sink.h"
#include "scene/timer_list.h"
#include "script/function_registry.h"
#include "script/page_file.h"
#include "script/param_collection.h"
#include "script/project.h"
#include "script/project_file.h"
#include "storage/vr_file_manager.h"

namespace kivo {
namespace {

constexpr int32_t kLoops = 1'000'000;

class SilentDialogs final : public MessageDialogs {
  public:
    DialogAnswer Show(std::string_view, std::string_view, DialogIcon,
                      DialogButtons buttons) override {
        return DefaultAnswer(buttons);
    }
};

TKivoParser Expression(std::vector<TOpeData> steps) {
    return TKivoParser(std::move(steps));
}

// x < kLoops
TKivoParser LoopCondition() {
    return Expression(
        {{static_cast<uint8_t>(OpCode::ocSmall),
          "____0",
          0,
          {TOperand::Reference("x"), TOperand::Integer(kLoops)}},
         {static_cast<uint8_t>(OpCode::ocTo), "____arg", 0, {TOperand::Reference("____0")}}});
}

// x = x + 1
TKivoParser Increment() {
    return Expression(
        {{static_cast<uint8_t>(OpCode::ocPlus),
          "____0",
          0,
          {TOperand::Reference("x"), TOperand::Integer(1)}},
         {static_cast<uint8_t>(OpCode::ocTo), "x", 0, {TOperand::Reference("____0")}}});
}

CommandRecord Record(CommandCode code, int32_t indent = 0) {
    CommandRecord record = CommandRecord::Make(code, kNewestPageVersion);
    record.continueFlag = 1;
    record.indent = indent;
    return record;
}

std::vector<uint8_t> LoopPage() {
    PageFile page;
    page.version = kNewestPageVersion;
    CommandRecord declare = Record(CommandCode::VarNew);
    declare.Field("name") = std::string("x");
    declare.Field("type") = uint8_t{PT_INT};
    declare.Field("value") =
        Expression({{static_cast<uint8_t>(OpCode::ocTo), "____arg", 0, {TOperand::Integer(0)}}});
    CommandRecord loop = Record(CommandCode::While);
    loop.Field("condition") = LoopCondition();
    loop.Field("exit") = int32_t{4};
    CommandRecord calc = Record(CommandCode::Calc, 1);
    calc.Field("expression") = Increment();
    CommandRecord back = Record(CommandCode::WhileLoop);
    back.Field("loop") = int32_t{1};
    page.commands = {declare, loop, calc, back};
    return page.Write("start.ksb");
}

struct Game {
    Game() {
        (void)files.AddArchive("");
        ProjectFile project;
        project.title = "bench";
        project.startPage = "start.ksb";
        files.MemoryCollection().AddMemoryEntry("kivo.kpb").memory->Assign(project.Write());
        files.MemoryCollection().AddMemoryEntry("start.ksb").memory->Assign(LoopPage());
        ProjectServices services{
            player,    files,
            variables, functions,
            events,    dialogs,
            trace,     ScriptContext{player, clock, calendar, random, scene, media, saves, urls},
            true,      {},
            nullptr};
        game = std::make_unique<TProject>(services);
    }

    PlayerState player;
    HeadlessClock clock;
    ClockCalendar calendar{clock, DefaultHeadlessDate()};
    TProcessRandom random;
    NullSceneCommands scene;
    NullMediaPort media;
    NullSavePort saves;
    TVrFileManager files;
    TParamCollection variables{&player};
    SystemFunctionRegistry functions;
    TTimerList events;
    SilentDialogs dialogs;
    NullTraceSink trace;
    TracedUrlOpener urls{trace};
    std::unique_ptr<TProject> game;
};

void BM_InterpreterWhileLoop(benchmark::State& state) {
    Game game;
    TCallMan& interpreter = *game.game->Interpreter();
    int64_t commands = 0;
    for (auto _ : state) {
        interpreter.Start("start.ksb");
        interpreter.RunFrame();
        // VarNew, then While and Calc and WhileLoop per turn, then the While that leaves.
        commands += 1 + 3 * int64_t{kLoops} + 1;
    }
    if (game.variables.Find("x")->Value().AsInteger() != kLoops)
        state.SkipWithError("loop did not finish");
    state.counters["commands/s"] =
        benchmark::Counter(static_cast<double>(commands), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_InterpreterWhileLoop)->Unit(benchmark::kMillisecond);

// The loop's expressions alone: one condition and one increment per turn.
void BM_ExpressionsAlone(benchmark::State& state) {
    PlayerState player;
    TParamCollection variables(&player);
    SystemFunctionRegistry functions;
    variables.Create("x", PT_INT);
    TKivoParser condition = LoopCondition();
    TKivoParser increment = Increment();
    int64_t turns = 0;
    for (auto _ : state) {
        variables.Find("x")->Value().SetInteger(0);
        while (condition.EvaluateFlag(variables, functions).value_or(false)) {
            (void)increment.Evaluate(variables, functions);
        }
        turns += kLoops;
    }
    state.counters["turns/s"] =
        benchmark::Counter(static_cast<double>(turns), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ExpressionsAlone)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kivo

BENCHMARK_MAIN();
