// The interpreter running small games built with the page fixture writer: frames, waits,
// blocks and loops, calls, events and resets.

#include <gtest/gtest.h>

#include "base/error.h"
#include "script/call_man.h"
#include "script/flow_commands.h"
#include "script/interpreter_harness.h"
#include "support/interpreter_state_builder.h"
#include "support/variable_list_builder.h"

namespace kivo::test {
namespace {

// Declares integer variables, each command going on in the same frame.
PageBuilder WithInts(std::initializer_list<const char*> names) {
    PageBuilder page;
    for (const char* name : names)
        page.Add(VarNew(name, PT_INT, Int(0)).Continue());
    return page;
}

TEST(Interpreter, ContinuingCommandsRunInOneFrameUpToTheFirstWait) {
    Harness h;
    PageBuilder page = WithInts({"x"});
    page.Add(Calc("x = x + 1").Continue())
        .Add(Calc("x = x + 1").Continue())
        .Add(Wait("", Int(100)).Continue())
        .Add(Calc("x = 100").Continue());
    h.AddGame(page);
    h.Open();
    h.Frame();
    EXPECT_EQ(h.Int("x"), 2);
    EXPECT_EQ(h.State().pc, 3);
    EXPECT_TRUE(h.State().begun);
}

TEST(Interpreter, CommandWithoutContinueFlagEndsTheFrame) {
    Harness h;
    PageBuilder page = WithInts({"x"});
    page.Add(Calc("x = x + 1")).Add(Calc("x = x + 1")).Add(Calc("x = x + 1"));
    h.AddGame(page);
    h.Open();
    for (int expected = 1; expected <= 3; ++expected) {
        h.Frame();
        EXPECT_EQ(h.Int("x"), expected);
    }
    h.Frame();
    EXPECT_EQ(h.State().page, nullptr) << "the page has ended";
}

TEST(Interpreter, WaitDoesNotCountTheFrameItBeginsIn) {
    // Wait(100) at 16 ms a frame: the first frame is free, then 100 - 6 * 16 = 4 > 0 after the
    // seventh frame, and the eighth takes it below zero.
    Harness h;
    PageBuilder page = WithInts({"done"});
    page.Add(Wait("", Int(100)).Continue().Line(7)).Add(Calc("done = 1").Continue());
    h.AddGame(page);
    h.Open();
    h.Frames(7);
    EXPECT_EQ(h.Int("done"), 0);
    h.Frame();
    EXPECT_EQ(h.Int("done"), 1);
    // A command that waits many frames is traced once.
    int waitLines = 0;
    for (const std::string& line : h.trace.lines) {
        if (line.ends_with(" : start.ksb(7)")) ++waitLines;
    }
    EXPECT_EQ(waitLines, 1);
    EXPECT_EQ(h.trace.lines.front(), "00000010 : start.ksb(0)");
}

TEST(Interpreter, WaitOfWholeFramesEndsInTheFrameThatUsesItUp) {
    // At 16 ms a frame, after the free first frame: 96 ms are six frames exactly, so the
    // seventh frame ends the wait; one millisecond more needs an eighth.
    struct Case {
        int32_t time;
        int frames;
    };
    for (Case c : {Case{16, 2}, Case{96, 7}, Case{97, 8}, Case{95, 7}}) {
        Harness h;
        PageBuilder page = WithInts({"done"});
        page.Add(Wait("", Int(c.time)).Continue()).Add(Calc("done = 1").Continue());
        h.AddGame(page);
        h.Open();
        h.Frames(c.frames - 1);
        EXPECT_EQ(h.Int("done"), 0) << c.time << " ms";
        h.Frame();
        EXPECT_EQ(h.Int("done"), 1) << c.time << " ms";
    }
}

int ErrorLines(const Harness& h) {
    int count = 0;
    for (const std::string& line : h.trace.lines)
        count += line.find("<Error>") != std::string::npos;
    return count;
}

TEST(Interpreter, CommandFailingWhereItStandsEndsTheFrameAndIsTriedAgain) {
    // The Wait's time divides by d: while d is 0 its begin fails without moving pc. The frame
    // must end there (not spin on the continue flag), the error be traced once, and the wait
    // start for real in the first frame after d changed.
    Harness h;
    PageBuilder page = WithInts({"n", "d", "after"});
    page.Add(Calc("n = n + 1").Continue())
        .Add(Wait("", ExprBuilder("16 / d")).Continue())
        .Add(Calc("after = 1").Continue());
    h.AddGame(page);
    h.Open();
    h.Frames(5);
    EXPECT_EQ(h.trace.runaway, 0) << "the frame never ended";
    EXPECT_EQ(h.Int("n"), 1);
    EXPECT_EQ(h.State().pc, 4);
    EXPECT_FALSE(h.State().begun);
    EXPECT_EQ(ErrorLines(h), 1);

    h.variables.Find("d")->Value().SetInteger(1);
    h.Frame();
    EXPECT_TRUE(h.State().begun) << "the retry began the wait";
    h.Frame();
    EXPECT_EQ(h.Int("after"), 1);
    EXPECT_EQ(ErrorLines(h), 1);
}

TEST(Interpreter, WaitEndsWhenItsConditionTurnsFalse) {
    Harness h;
    PageBuilder page = WithInts({"hold", "done"});
    page.Add(Calc("hold = 1").Continue())
        .Add(Wait("hold == 1", Int(0)).Continue())
        .Add(Calc("done = 1").Continue());
    h.AddGame(page);
    h.Open();
    h.Frames(5);
    EXPECT_EQ(h.Int("done"), 0);
    h.variables.Find("hold")->Value().SetInteger(0);
    h.Frame();
    EXPECT_EQ(h.Int("done"), 1);
}

TEST(Interpreter, IfElseifElseRunsTheFirstTrueBranchOnly) {
    struct Case {
        int32_t x;
        int32_t expected;
    };
    for (Case c : {Case{1, 10}, Case{2, 20}, Case{3, 30}, Case{4, 40}}) {
        Harness h;
        PageBuilder page = WithInts({"x", "r", "after"});
        page.Add(Calc(ExprBuilder("x = " + std::to_string(c.x))).Continue())
            .Add(If("x == 1").Continue())
            .Add(Calc("r = 10").Continue().Indent(1))
            .Add(Elseif("x == 2").Continue())
            .Add(Calc("r = 20").Continue().Indent(1))
            .Add(Elseif("x == 2").Continue())  // a later true Elseif is skipped
            .Add(Calc("r = 25").Continue().Indent(1))
            .Add(Elseif("x == 3").Continue())
            .Add(Calc("r = 30").Continue().Indent(1))
            .Add(Else().Continue())
            .Add(Calc("r = 40").Continue().Indent(1))
            .Add(Calc("after = 1").Continue());
        h.AddGame(page);
        h.Open();
        h.Frame();
        EXPECT_EQ(h.Int("r"), c.expected) << "x = " << c.x;
        EXPECT_EQ(h.Int("after"), 1) << "x = " << c.x;
    }
}

TEST(Interpreter, IfWithEmptyConditionTakesTheElseBranch) {
    Harness h;
    PageBuilder page = WithInts({"r"});
    page.Add(If("").Continue())
        .Add(Calc("r = 1").Continue().Indent(1))
        .Add(Else().Continue())
        .Add(Calc("r = 2").Continue().Indent(1));
    h.AddGame(page);
    h.Open();
    h.Frame();
    EXPECT_EQ(h.Int("r"), 2);
}

TEST(Interpreter, WhileWithBreakAndContinue) {
    // sum of i for i = 1 ... 7, skipping 5 and leaving the loop at 8.
    Harness h;
    PageBuilder page = WithInts({"i", "sum", "done"});        // 0-2
    page.Add(While("i < 10", 9).Continue())                   // 3
        .Add(Calc("i = i + 1").Continue().Indent(1))          // 4
        .Add(ContinueLoop("i == 5", 8).Continue().Indent(1))  // 5
        .Add(Break("i == 8", 9).Continue().Indent(1))         // 6
        .Add(Calc("sum = sum + i").Continue().Indent(1))      // 7
        .Add(WhileLoop("", 3).Continue())                     // 8
        .Add(Calc("done = 1").Continue());                    // 9
    h.AddGame(page);
    h.Open();
    h.Frame();
    EXPECT_EQ(h.Int("sum"), 1 + 2 + 3 + 4 + 6 + 7);
    EXPECT_EQ(h.Int("i"), 8);
    EXPECT_EQ(h.Int("done"), 1);
}

TEST(Interpreter, NegativeBreakTargetEndsThePage) {
    Harness h;
    PageBuilder page = WithInts({"after"});
    page.Add(Break("TRUE", -1).Continue()).Add(Calc("after = 1").Continue());
    h.AddGame(page);
    h.Open();
    h.Frame();
    EXPECT_EQ(h.Int("after"), 0);
    EXPECT_EQ(h.State().page, nullptr);
}

TEST(Interpreter, DisabledCommandsAndCommentsAreSkipped) {
    Harness h;
    PageBuilder page = WithInts({"x"});
    page.Add(Calc("x = 1").Continue().Disabled())
        .Add(Comment("note").Continue())
        .Add(CommandBuilder(kCalcCode).Continue().Expr("x = x + 10"));
    h.AddGame(page);
    h.Open();
    h.Frame();
    EXPECT_EQ(h.Int("x"), 10);
}

TEST(Interpreter, CallPassesArgumentsAndReturnsATypedResult) {
    Harness h;
    PageBuilder main;
    main.Add(VarNew("r", PT_STR, Str("")).Continue())
        .Add(VarNew("x", PT_INT, Int(1)).Continue())
        // The middle argument has no value and is left out.
        .Add(Call("sub.ksb", 0, "r", "TRUE", {Str("ab"), ExprBuilder(), Int(7)}).Continue())
        .Add(VarNew("back", PT_INT, Var("@ParamCount")).Continue())
        .Add(VarNew("seenX", PT_INT, Var("x")).Continue());
    PageBuilder sub;
    sub.ResultType(PT_STR)
        .Add(VarNew("x", PT_INT, Int(50), kScopeLocal).Continue())  // hides the caller's x
        .Add(VarNew("count", PT_INT, Var("@ParamCount")).Continue())
        .Add(VarNew("depth", PT_INT, Var("@StackCount")).Continue())
        .Add(Calc("@Result = x").Continue());
    h.AddGame(main);
    h.AddPage("sub.ksb", sub);
    h.Open();
    h.Frame();
    EXPECT_EQ(h.Int("count"), 2);
    EXPECT_EQ(h.Int("depth"), 1);
    EXPECT_EQ(h.Str("r"), "50");
    EXPECT_EQ(h.Int("back"), 0) << "the caller's arguments are restored";
    EXPECT_EQ(h.Int("seenX"), 1) << "the callee's local is gone";
    EXPECT_EQ(h.State().Depth(), 0);
}

TEST(Interpreter, CallToAMissingOrDamagedPageOnlyAdvances) {
    Harness h;
    PageBuilder page = WithInts({"n"});
    page.Add(Call("missing.ksb", 0, "", "TRUE", {}).Continue())
        .Add(Call("bad.ksb", 0, "", "TRUE", {}).Continue())
        .Add(Calc("n = n + 1").Continue());
    h.AddGame(page);
    h.AddFile("bad.ksb", {110, 0, 0, 0, 1, 61, 0});  // cut off in the mask counts
    h.Open();
    h.Frame();
    h.Frame();
    EXPECT_EQ(h.Int("n"), 1) << "the caller's rest runs once";
    EXPECT_EQ(h.State().Depth(), 0);
    EXPECT_EQ(h.State().page, nullptr);
}

TEST(Interpreter, JumpAndExit) {
    Harness h;
    PageBuilder page = WithInts({"a", "b", "c"});
    page.Add(Jump("other.ksb", 1, "FALSE").Continue())
        .Add(Jump("other.ksb", 1, "TRUE").Continue())
        .Add(Calc("a = 1").Continue());
    PageBuilder other;
    other.Add(Calc("b = 99").Continue())
        .Add(Calc("b = 1").Continue())
        .Add(Exit("FALSE").Continue())
        .Add(Exit("TRUE").Continue())
        .Add(Calc("c = 1").Continue());
    h.AddGame(page);
    h.AddPage("other.ksb", other);
    h.Open();
    h.Frame();
    EXPECT_EQ(h.Int("a"), 0);
    EXPECT_EQ(h.Int("b"), 1);
    EXPECT_EQ(h.Int("c"), 0);
    EXPECT_EQ(h.State().page, nullptr);
}

// ---- Events ---------------------------------------------------------------------------------

// A main page that waits for ever, so that events find it suspended.
PageBuilder WaitingMain() {
    PageBuilder page = WithInts({"a", "b", "h1", "h1done", "h2", "main"});
    page.Add(Wait("", Int(0)).Continue()).Add(Calc("main = 1").Continue());
    return page;
}

TEST(Interpreter, EventHandlerStartsAtItsLabelOrAtZero) {
    struct Case {
        const char* handler;
        int32_t a;
    };
    for (Case c : {Case{"ev.txt:there", 0}, Case{"ev.ksb:nowhere", 1}, Case{"ev.ksb", 1}}) {
        Harness h;
        PageBuilder ev;
        ev.Add(Calc("a = 1").Continue())
            .Add(Label("there").Continue())
            .Add(Calc("b = @ParamCount").Continue());
        h.AddGame(WaitingMain());
        h.AddPage("ev.ksb", ev);
        h.Open();
        h.Frame();
        h.Post(c.handler, {}, {"p", "q"});
        h.Frame();
        EXPECT_EQ(h.Int("a"), c.a) << c.handler;
        EXPECT_EQ(h.Int("b"), 2) << c.handler;
        EXPECT_EQ(h.State().mode, EventMode::Normal);
        EXPECT_EQ(h.State().Depth(), 0);
        EXPECT_EQ(h.events.Count(), 0u);
        EXPECT_EQ(h.Int("main"), 0) << "the main flow goes on waiting";
        EXPECT_TRUE(h.State().begun);
    }
}

TEST(Interpreter, EventNestsInAWaitingHandler) {
    Harness h;
    PageBuilder first;
    first.Add(Calc("h1 = 1").Continue())
        .Add(Wait("", Int(50)).Continue())
        .Add(Calc("h1done = 1").Continue());
    PageBuilder second;
    second.Add(VarNew("sender", PT_STR, Var("@Sender")).Continue()).Add(Calc("h2 = 1").Continue());
    h.AddGame(WaitingMain());
    h.AddPage("first.ksb", first);
    h.AddPage("second.ksb", second);
    h.Open();
    h.Frame();
    h.Post("first.ksb", h.objects.Add("button1"));
    h.Frame();
    EXPECT_EQ(h.Int("h1"), 1);
    EXPECT_EQ(h.State().mode, EventMode::HandlerWaiting);
    EXPECT_EQ(h.State().level, 2);

    h.Post("second.ksb", h.objects.Add("button2"));
    h.Frame();
    EXPECT_EQ(h.Int("h2"), 1) << "the nested handler ran while the first waits";
    EXPECT_EQ(h.Str("sender"), "button2");
    EXPECT_EQ(h.Int("h1done"), 0);
    EXPECT_EQ(h.State().Depth(), 1);
    EXPECT_EQ(h.events.Count(), 1u) << "the first handler's entry stays while it runs";

    h.Frames(4);
    EXPECT_EQ(h.Int("h1done"), 1);
    EXPECT_EQ(h.State().mode, EventMode::Normal);
    EXPECT_EQ(h.State().Depth(), 0);
    EXPECT_EQ(h.events.Count(), 0u);
}

TEST(Interpreter, CommandFailingInsideAHandlerEndsTheFrame) {
    // Handlers run on until a wait point whatever their commands' flags; a command that fails
    // where it stands must still end the frame, and the handler finish once it can go on.
    Harness h;
    PageBuilder ev;
    ev.Add(Calc("h1 = h1 + 1").Continue())
        .Add(Wait("", ExprBuilder("16 / b")).Continue())
        .Add(Calc("h1done = 1").Continue());
    h.AddGame(WaitingMain());
    h.AddPage("ev.ksb", ev);
    h.Open();
    h.Frame();
    h.Post("ev.ksb");
    h.Frames(4);
    EXPECT_EQ(h.trace.runaway, 0) << "the frame never ended";
    EXPECT_EQ(h.Int("h1"), 1);
    EXPECT_EQ(h.State().Depth(), 1) << "the handler is still running";
    EXPECT_EQ(ErrorLines(h), 1);

    h.variables.Find("b")->Value().SetInteger(1);
    h.Frames(3);
    EXPECT_EQ(h.Int("h1done"), 1);
    EXPECT_EQ(h.State().mode, EventMode::Normal);
    EXPECT_EQ(h.State().Depth(), 0);
    EXPECT_EQ(h.Int("main"), 0) << "the main flow goes on waiting";
}

TEST(Interpreter, WaitThatBlocksEventsHoldsThemBack) {
    Harness h;
    PageBuilder page = WithInts({"a", "hold"});
    page.Add(Calc("hold = 1").Continue())
        .Add(Wait("hold == 1", Int(0), Flag(true)).Continue())
        .Add(Wait("", Int(0)).Continue());
    PageBuilder ev;
    ev.Add(Calc("a = 1").Continue());
    h.AddGame(page);
    h.AddPage("ev.ksb", ev);
    h.Open();
    h.Frame();
    h.Post("ev.ksb");
    h.Frames(3);
    EXPECT_EQ(h.Int("a"), 0);
    h.variables.Find("hold")->Value().SetInteger(0);
    h.Frames(2);
    EXPECT_EQ(h.Int("a"), 1);
}

TEST(Interpreter, UnavailableHandlerIsDroppedAndLaterEventsRun) {
    Harness h;
    PageBuilder ev;
    ev.Add(Calc("a = 1").Continue());
    h.AddGame(WaitingMain());
    h.AddPage("ev.ksb", ev);
    h.AddFile("broken.ksb", {110, 0, 0, 0});
    h.Open();
    h.Frame();
    h.Post("missing.ksb");
    h.Post("broken.ksb");
    h.Post("ev.ksb");
    h.Frames(3);
    EXPECT_EQ(h.Int("a"), 1);
    EXPECT_EQ(h.events.Count(), 0u);
    int dropped = 0;
    for (const std::string& line : h.trace.lines)
        dropped += line.find("<Dropped>") != std::string::npos;
    EXPECT_EQ(dropped, 2);
}

TEST(Interpreter, EventAfterTheMainPageEndedReturnsToNoPage) {
    Harness h;
    PageBuilder main = WithInts({"a"});
    PageBuilder ev;
    ev.Add(Calc("a = a + 1").Continue());
    h.AddGame(main);
    h.AddPage("ev.ksb", ev);
    h.Open();
    h.Frames(2);
    ASSERT_EQ(h.State().page, nullptr);
    for (int i = 0; i < 2; ++i) {
        h.Post("ev.ksb");
        h.Frame();
    }
    EXPECT_EQ(h.Int("a"), 2);
    EXPECT_EQ(h.State().page, nullptr);
    EXPECT_EQ(h.State().mode, EventMode::Normal);
    EXPECT_FALSE(h.State().continueFlag);
}

TEST(Interpreter, SenderIsEmptyOnceTheObjectIsGone) {
    Harness h;
    PageBuilder ev;
    ev.Add(Wait("", Int(32)).Continue()).Add(VarNew("sender", PT_STR, Var("@Sender")).Continue());
    h.AddGame(WaitingMain());
    h.AddPage("ev.ksb", ev);
    h.Open();
    h.Frame();
    ObjectHandle button = h.objects.Add("button");
    h.Post("ev.ksb", button);
    h.Frame();
    EXPECT_EQ(h.Interpreter().SenderName(), "button");
    h.objects.Remove(button);
    h.Frames(3);
    EXPECT_TRUE(h.Has("sender"));
    EXPECT_EQ(h.Str("sender"), "");
}

TEST(Interpreter, EndlessLoopStopsAtTheQuitRequest) {
    Harness h;
    PageBuilder page = WithInts({"n"});
    page.Add(While("TRUE", 3).Continue())
        .Add(Calc("n = n + 1").Continue().Indent(1))
        .Add(WhileLoop("", 1).Continue());
    h.AddGame(page);
    h.Open();
    volatile std::sig_atomic_t signal = 1;
    h.player.quitSignal = &signal;
    h.Frame();
    EXPECT_EQ(h.State().pc, 1) << "one command ran, then the signal ended the frame";
    signal = 0;
    h.player.quitSignal = nullptr;
}

TEST(Interpreter, TerminateSetsTheQuitRequestAndEndsTheFrame) {
    Harness h;
    PageBuilder page = WithInts({"n"});
    page.Add(Terminate().Continue()).Add(Calc("n = 1").Continue());
    h.AddGame(page);
    h.Open();
    h.Frame();
    EXPECT_TRUE(h.player.quitRequest);
    EXPECT_EQ(h.Int("n"), 0);
}

TEST(Interpreter, DoEventEndsTheFrameSoThatEventsRunFirst) {
    Harness h;
    PageBuilder page = WithInts({"a", "n"});
    page.Add(DoEvent().Continue()).Add(Calc("n = a").Continue());
    PageBuilder ev;
    ev.Add(Calc("a = 5").Continue());
    h.AddGame(page);
    h.AddPage("ev.ksb", ev);
    h.Open();
    h.Frame();
    h.Post("ev.ksb");
    h.Frame();
    EXPECT_EQ(h.Int("n"), 5);
}

// ---- Resets ---------------------------------------------------------------------------------

TEST(Interpreter, PartialPCResetFromAHandlerRedirectsTheMainFlow) {
    Harness h;
    PageBuilder ev;
    ev.Add(PCReset("other.ksb", 1, 0).Continue()).Add(Calc("h1 = 1").Continue());
    PageBuilder other;
    other.Add(Calc("a = 99").Continue()).Add(Calc("b = 1").Continue());
    h.AddGame(WaitingMain());
    h.AddPage("ev.ksb", ev);
    h.AddPage("other.ksb", other);
    h.Open();
    h.Frame();
    h.Post("ev.ksb", h.objects.Add("button"));
    h.Frame();
    EXPECT_EQ(h.Int("h1"), 1) << "the handler runs on after the reset";
    EXPECT_EQ(h.Int("b"), 1) << "its return lands on the new place";
    EXPECT_EQ(h.Int("a"), 0);
    EXPECT_EQ(h.Int("main"), 0);
}

TEST(Interpreter, FullPCResetDropsTheStackAndTheQueue) {
    Harness h;
    PageBuilder ev;
    ev.Add(PCReset("other.ksb", 0, 1).Continue()).Add(Calc("h1 = 1").Continue());
    PageBuilder other;
    other.Add(Calc("b = 1").Continue());
    h.AddGame(WaitingMain());
    h.AddPage("ev.ksb", ev);
    h.AddPage("other.ksb", other);
    h.Open();
    h.Frame();
    h.Post("ev.ksb");
    h.Post("ev.ksb");
    h.Frame();
    EXPECT_EQ(h.Int("h1"), 0);
    EXPECT_EQ(h.Int("b"), 1);
    EXPECT_EQ(h.State().Depth(), 0);
    EXPECT_EQ(h.State().mode, EventMode::Normal);
    EXPECT_EQ(h.events.Count(), 0u);
}

// ---- Page cache and handler names -----------------------------------------------------------

TEST(Interpreter, PageCacheKeepsTenAndFreesThePageVariable) {
    Harness h;
    h.AddGame(WaitingMain());
    for (int i = 0; i < 12; ++i)
        h.AddPage("p" + std::to_string(i) + ".ksb", PageBuilder());
    h.Open();
    h.variables.Create("\x01p0.ksb", PT_INT);
    TCallMan& man = h.Interpreter();
    for (int i = 0; i < 11; ++i)
        (void)man.FetchPage("p" + std::to_string(i) + ".ksb", true);
    // Trimming stops at the running page, here the oldest.
    EXPECT_EQ(man.CachedPages().size(), 12u);
    EXPECT_EQ(man.CachedPages().back(), h.State().page);

    (void)man.FetchPage("start.ksb", true);
    (void)man.FetchPage("p11.ksb", true);
    ASSERT_EQ(man.CachedPages().size(), kPageCacheSize);
    EXPECT_EQ(man.CachedPages()[0]->Name(), "p11.ksb");
    EXPECT_EQ(man.CachedPages()[1]->Name(), "start.ksb");
    EXPECT_EQ(man.CachedPages().back()->Name(), "p3.ksb");
    EXPECT_FALSE(h.Has("\x01p0.ksb")) << "a freed page takes its page variable along";

    // A page fetched without moving to the front goes to the back and trims nothing.
    (void)man.FetchPage("p0.ksb", false);
    EXPECT_EQ(man.CachedPages().size(), kPageCacheSize + 1);
    EXPECT_EQ(man.CachedPages().back()->Name(), "p0.ksb");
}

TEST(Interpreter, HandlerNamesKeepAnythingButARealExtension) {
    struct Case {
        const char* handler;
        const char* page;
        const char* label;
    };
    const Case cases[] = {
        {"page.ksb", "page.ksb", ""},
        {"page.txt:start", "page.ksb", "start"},
        {"page.k", "page.ksb", ""},
        {"ab", "ab", ""},
        {"page", "page", ""},
        {"page:lbl", "page", "lbl"},
        {"dir.v\\page", "dir.v\\page", ""},
        {"dir\\p.ks:x", "dir\\p.ksb", "x"},
        {"a.ksb:b.c", "a.ksb:b.ksb", ""},     // a dot after the colon: no label
        {"\x95\x5c.ks", "\x95\x5c.ksb", ""},  // a trail byte 0x5C is no delimiter
    };
    for (const Case& c : cases) {
        HandlerTarget target = SplitHandler(c.handler);
        EXPECT_EQ(target.page, c.page) << c.handler;
        EXPECT_EQ(target.label, c.label) << c.handler;
    }
}

// ---- Saved state ----------------------------------------------------------------------------

TEST(Interpreter, StateRecordRoundTripsAWaitInsideAnEvent) {
    Harness h;
    PageBuilder ev;
    ev.Add(Wait("", Int(100)).Continue()).Add(Calc("h1 = 1").Continue());
    h.AddGame(WaitingMain());
    h.AddPage("ev.ksb", ev);
    h.Open();
    h.Frame();
    h.Post("ev.ksb", h.objects.Add("button"), {"x"});
    h.Frames(3);
    ByteWriter saved;
    h.Interpreter().SaveState(saved);

    Harness other;
    other.AddGame(WaitingMain());
    other.AddPage("ev.ksb", ev);
    other.Open();
    (void)other.objects.Add("button");
    ByteReader reader(saved.Bytes(), "save");
    other.Interpreter().LoadState(reader, 134);
    EXPECT_TRUE(reader.AtEnd());
    const InterpreterState& s = other.State();
    EXPECT_EQ(s.page->Name(), "ev.ksb");
    EXPECT_EQ(s.pc, 0);
    EXPECT_TRUE(s.begun);
    EXPECT_EQ(s.mode, EventMode::HandlerWaiting);
    EXPECT_EQ(s.arguments, std::vector<std::string>{"x"});
    EXPECT_EQ(other.Interpreter().SenderName(), "button");
    ASSERT_EQ(s.Depth(), 1);
    EXPECT_EQ(s.stack[0].pageName, "start.ksb");
    EXPECT_FALSE(s.stack[0].savedState.empty());
    auto& wait = static_cast<TComWait&>(s.page->Command(0));
    EXPECT_EQ(wait.RemainingTime(), 100 - 2 * 16);

    ByteWriter again;
    other.Interpreter().SaveState(again);
    EXPECT_EQ(again.Bytes(), saved.Bytes());
}

TEST(Interpreter, HandBuiltStateRecordsCarryTheLevelFromVersion116) {
    PageBuilder ev;
    ev.Add(Wait("", Int(100)).Continue());
    const test::SavedInterpreter saved{.page = "ev.ksb",
                                       .begun = true,
                                       .mode = 2,
                                       .sender = "button",
                                       .arguments = {"x"},
                                       .stack = {{.page = "start.ksb",
                                                  .begun = true,
                                                  .runningState = test::WaitState(0, 1, false)},
                                                 {.page = "start.ksb",
                                                  .pc = 1,
                                                  .resultVariable = "r",
                                                  .resultType = test::kIntType,
                                                  .resultValue = test::IntValue({7})}},
                                       .level = 5,
                                       .runningState = test::WaitState(60, 2, true)};
    for (int32_t version : {kSaveVersionEventLevel - 1, kSaveVersionEventLevel}) {
        SCOPED_TRACE(version);
        Harness h;
        h.AddGame(WaitingMain());
        h.AddPage("ev.ksb", ev);
        h.Open();
        (void)h.objects.Add("button");
        const std::vector<uint8_t> bytes = test::WriteInterpreterState(saved, version);
        ByteReader reader(bytes, "save");
        h.Interpreter().LoadState(reader, version);
        EXPECT_TRUE(reader.AtEnd());
        const InterpreterState& s = h.State();
        EXPECT_EQ(s.level, version >= kSaveVersionEventLevel ? 5 : 2);
        EXPECT_EQ(s.page->Name(), "ev.ksb");
        EXPECT_EQ(s.mode, EventMode::HandlerWaiting);
        EXPECT_EQ(s.arguments, std::vector<std::string>{"x"});
        EXPECT_EQ(h.Interpreter().SenderName(), "button");
        ASSERT_EQ(s.Depth(), 2);
        EXPECT_EQ(s.stack[0].savedState, test::WaitState(0, 1, false));
        EXPECT_EQ(s.stack[1].resultVariable, "r");
        ASSERT_NE(s.stack[1].result, nullptr);
        EXPECT_EQ(s.stack[1].result->AsInteger(), 7);
        const auto& wait = static_cast<TComWait&>(s.page->Command(0));
        EXPECT_EQ(wait.RemainingTime(), 60);
        EXPECT_TRUE(wait.BlocksEvents());
    }
}

TEST(Interpreter, DamagedStateRecordFailsAndKeepsTheState) {
    Harness h;
    PageBuilder ev;
    ev.Add(Wait("", Int(100)).Continue());
    h.AddGame(WaitingMain());
    h.AddPage("ev.ksb", ev);
    h.Open();
    h.Frame();
    h.Post("ev.ksb");
    h.Frame();
    ByteWriter saved;
    h.Interpreter().SaveState(saved);
    const std::vector<uint8_t>& bytes = saved.Bytes();
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        Harness other;
        other.AddGame(WaitingMain());
        other.AddPage("ev.ksb", ev);
        other.Open();
        ByteReader reader(std::span<const uint8_t>(bytes).first(cut), "save");
        EXPECT_THROW(other.Interpreter().LoadState(reader, 134), KivoError) << cut;
        EXPECT_EQ(other.State().page->Name(), "start.ksb") << cut;
        EXPECT_EQ(other.State().Depth(), 0) << cut;
    }
}

TEST(Interpreter, RunningStateWithoutSignatureReadsAsVersionZero) {
    TComWait wait;
    ByteWriter old;
    old.WriteI32(40);
    old.WriteI32(0);
    ByteReader reader(old.Bytes(), "state");
    wait.RestoreRunningState(reader);
    EXPECT_EQ(wait.RemainingTime(), 40);
    EXPECT_FALSE(wait.BlocksEvents());
    EXPECT_TRUE(reader.AtEnd());
}

}  // namespace
}  // namespace kivo::test
