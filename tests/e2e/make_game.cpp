// Writes a small game for the end-to-end runs of kivoplay:
//
//   kivo_make_game DIR
//
// DIR/kivo.kpb: title "テストゲーム", scene 320 x 240, an integer variable "count", start page
// start.ksb. Once every frame, for ever, the page adds 1 to count and keeps what it can see of
// the world: a roll of Random(1000000) and a mix of all rolls so far, the calendar's year and
// hour, the millisecond counter, the sum of the pointer's x over the frames and the number of
// frames with the left button held. A white 16 x 16 box stands where the latest roll and the
// pointer put it (x from the roll, y from the pointer), on a grey 8 x 8 box whose left edge
// counts the frames. Its variables and its picture therefore change with the seed, the date,
// the frame time and the input of a run, and with nothing else.

#include <filesystem>
#include <fstream>
#include <iostream>
#include <span>
#include <vector>

#include "base/sjis.h"
#include "script/vocabulary.h"
#include "support/page_builder.h"
#include "support/project_builder.h"

namespace {

void WriteFile(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

// SetProp(object, id, value) as a statement, after the steps that leave value in ____v.
kivo::test::ExprBuilder SetProp(kivo::test::ExprBuilder steps, std::string_view object,
                                int32_t id) {
    using kivo::test::Operand;
    constexpr uint8_t kSetProp = 3;  // the function's index in the table of functions
    return steps.Func("____r", kSetProp,
                      {Operand::Str(object), Operand::Int(id), Operand::Var("____v")});
}

kivo::test::ExprBuilder Value(uint8_t op, std::vector<kivo::test::Operand> operands) {
    kivo::test::ExprBuilder steps;
    steps.Step(op, "____v", std::move(operands));
    return steps;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kivo::test;
    if (argc != 2) {
        std::cerr << "usage: kivo_make_game DIR\n";
        return 2;
    }
    try {
        const std::filesystem::path folder = argv[1];
        std::filesystem::create_directories(folder);
        const std::string title = kivo::sjis::FromUtf8("テストゲーム").value();
        WriteFile(folder / "kivo.kpb", ProjectBuilder()
                                           .Title(title)
                                           .Screen(320, 240)
                                           .StartPage("start.ksb")
                                           .IntVar("count", 0)
                                           .Bytes());
        PageBuilder page;
        page.Mask(kBoxNewCode, {kivo::PR_NAME, kivo::PR_WIDTH, kivo::PR_HEIGHT, kivo::PR_COLOR});
        page.Add(CommandBuilder(kBoxNewCode)
                     .Properties({{kivo::PR_NAME, Str("mark")},
                                  {kivo::PR_WIDTH, Int(16)},
                                  {kivo::PR_HEIGHT, Int(16)},
                                  {kivo::PR_COLOR, Int(0xFFFFFF)}})
                     .Continue());
        page.Add(CommandBuilder(kBoxNewCode)
                     .Properties({{kivo::PR_NAME, Str("tick")},
                                  {kivo::PR_WIDTH, Int(8)},
                                  {kivo::PR_HEIGHT, Int(8)},
                                  {kivo::PR_COLOR, Int(0x808080)}})
                     .Continue());
        for (const char* name : {"roll", "mix", "year", "hour", "ticks", "mouse", "pressed"})
            page.Add(VarNew(name, kivo::PT_INT, Int(0)).Continue());
        const int32_t loop = page.Size();
        constexpr uint8_t kRandom = 26;  // the function's index in the table of functions
        ExprBuilder roll;
        roll.Func("____0", kRandom, {Operand::Int(1000000)})
            .Step(kOpTo, "roll", {Operand::Var("____0")});
        page.Add(Calc("count = count + 1").Continue())
            .Add(Calc(roll).Continue())
            .Add(Calc("mix = mix * 31").Continue())
            .Add(Calc("mix = mix + roll").Continue())
            .Add(Calc("year = @Year").Continue())
            .Add(Calc("hour = @Hour").Continue())
            .Add(Calc("ticks = @PCTickCount").Continue())
            .Add(Calc("mouse = mouse + @MouseX").Continue())
            .Add(Calc("pressed = pressed + @LPush").Continue())
            .Add(Calc(SetProp(Value(kOpMod, {Operand::Var("roll"), Operand::Int(300)}), "mark",
                              kivo::PR_LEFT))
                     .Continue())
            .Add(Calc(SetProp(Value(kOpTo, {Operand::Var("@MouseY")}), "mark", kivo::PR_TOP))
                     .Continue())
            .Add(Calc(SetProp(Value(kOpTo, {Operand::Var("count")}), "tick", kivo::PR_LEFT))
                     .Continue())
            .Add(DoEvent())
            .Add(Jump("start.ksb", loop, Flag(true)).Continue());
        WriteFile(folder / "start.ksb", page.Bytes());
    } catch (const std::exception& error) {
        std::cerr << "kivo_make_game: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
