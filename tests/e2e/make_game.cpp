// Writes a small game for the end-to-end runs of kivoplay:
//
//   kivo_make_game DIR
//
// DIR/kivo.kpb: title "テストゲーム", scene 320 x 240, an integer variable "count", start page
// start.ksb. Once every frame, for ever, the page adds 1 to count and keeps what it can see of
// the world: a roll of Random(1000000) and a mix of all rolls so far, the calendar's year and
// hour, the millisecond counter, the sum of the pointer's x over the frames and the number of
// frames with the left button held. Its variables therefore change with the seed, the date,
// the frame time and the input of a run, and with nothing else.

#include <filesystem>
#include <fstream>
#include <iostream>
#include <span>

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
            .Add(DoEvent())
            .Add(Jump("start.ksb", loop, Flag(true)).Continue());
        WriteFile(folder / "start.ksb", page.Bytes());
    } catch (const std::exception& error) {
        std::cerr << "kivo_make_game: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
