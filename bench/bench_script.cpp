// Disassembling and assembling a large scenario page (about 5 MB) with kivo-script's text
// forms, beside reading and writing the same page in its stored form as the reference.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "base/sjis.h"
#include "script/expression_compiler.h"
#include "script/page_file.h"
#include "tools/script/text/page_text.h"

namespace kivo {
namespace {

constexpr size_t kTargetBytes = 5u << 20;

// A page of the commands a novel is made of: text, calculations, conditions, pictures, waits.
std::vector<uint8_t> LargePage() {
    PageFile page;
    page.version = 110;
    page.commands.clear();
    PropertyMasks masks;
    for (PropertyId id : {PR_NAME, PR_SOURCE, PR_LEFT, PR_TOP, PR_ALPHA})
        masks.Set(static_cast<int>(CommandCode::ImgNew), id);
    page.SetMasks(masks);
    std::string line = *sjis::FromUtf8("<font color=\"#ffffff\">今日はいい天気ですね。</font>");
    for (int i = 0; page.commands.size() < 2'000'000; ++i) {
        auto add = [&](CommandCode code) -> CommandRecord& {
            page.commands.push_back(CommandRecord::Make(code, page.version));
            page.commands.back().line = static_cast<int32_t>(page.commands.size());
            return page.commands.back();
        };
        add(CommandCode::Calc).Field("expression") =
            CompileExpression("score = score + " + std::to_string(i % 7) + " * bonus[2]");
        add(CommandCode::If).Field("condition") = CompileExpression("score >= 100 & flag");
        CommandRecord& text = add(CommandCode::TextIns);
        text.indent = 1;
        text.Field("text") = std::vector<uint8_t>(line.begin(), line.end());
        text.Field("object") = CompileExpression("\"mes\"");
        CommandRecord& image = add(CommandCode::ImgNew);
        image.Field("properties") =
            ComponentProperties{{PR_NAME, CompileExpression("\"bg\"")},
                                {PR_SOURCE, CompileExpression("\"bg\" ++ IntToStr(n)")},
                                {PR_LEFT, CompileExpression("0")},
                                {PR_TOP, CompileExpression("0")},
                                {PR_ALPHA, CompileExpression("255")}};
        add(CommandCode::Wait).Field("time") = CompileExpression("500");
        if (i % 1024 == 1023 && page.Write().size() >= kTargetBytes) break;
    }
    return page.Write();
}

const std::vector<uint8_t>& Page() {
    static const std::vector<uint8_t> bytes = LargePage();
    return bytes;
}

void BM_StoredReadWrite(benchmark::State& state) {
    (void)Page();  // built once, outside the timing
    for (auto _ : state) {
        PageFile page = PageFile::Read(Page(), "large.ksb");
        benchmark::DoNotOptimize(page.Write());
    }
    state.counters["MB"] = static_cast<double>(Page().size()) / (1 << 20);
}
BENCHMARK(BM_StoredReadWrite)->Unit(benchmark::kMillisecond);

void BM_Disassemble(benchmark::State& state) {
    (void)Page();
    for (auto _ : state) {
        PageFile page = PageFile::Read(Page(), "large.ksb");
        benchmark::DoNotOptimize(script_text::WritePageText(page, "large.ksb"));
    }
    state.counters["MB"] = static_cast<double>(Page().size()) / (1 << 20);
}
BENCHMARK(BM_Disassemble)->Unit(benchmark::kMillisecond);

void BM_Assemble(benchmark::State& state) {
    std::string text = script_text::WritePageText(PageFile::Read(Page(), "large.ksb"), "large.ksb");
    for (auto _ : state) {
        benchmark::DoNotOptimize(script_text::ReadPageText(text, "large.kss").Write());
    }
    state.counters["MB"] = static_cast<double>(Page().size()) / (1 << 20);
    state.counters["text MB"] = static_cast<double>(text.size()) / (1 << 20);
}
BENCHMARK(BM_Assemble)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kivo

BENCHMARK_MAIN();
