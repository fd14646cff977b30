// Writes a small game for the end-to-end runs of kivoplay:
//
//   kivo_make_game DIR
//
// DIR/kivo.kpb: title "テストゲーム", scene 320 x 240, an integer variable "count", start page
// start.ksb, which adds 1 to count, waits 100 ms and jumps back to its start for ever.

#include <filesystem>
#include <fstream>
#include <iostream>
#include <span>

#include "base/sjis.h"
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
        page.Add(Calc("count = count + 1").Continue())
            .Add(Wait(ExprBuilder(), Int(100)))
            .Add(Jump("start.ksb", 0, Flag(true)));
        WriteFile(folder / "start.ksb", page.Bytes());
    } catch (const std::exception& error) {
        std::cerr << "kivo_make_game: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
