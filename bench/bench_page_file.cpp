// Reading and writing a large scenario page, beside the floor of touching its bytes once
// (a copy and a checksum). Read and write are reported in bytes per second; the ratios to the
// reference say how far the record walk is from plain memory speed.
#include <benchmark/benchmark.h>

#include <numeric>
#include <vector>

#include "script/page_file.h"

namespace kivo {
namespace {

TKivoParser Increment(const std::string& name) {
    TOpeData plus{static_cast<uint8_t>(OpCode::ocPlus),
                  "____0",
                  0,
                  {TOperand::Reference(name), TOperand::Integer(1)}};
    TOpeData assign{static_cast<uint8_t>(OpCode::ocTo), name, 0, {TOperand::Reference("____0")}};
    return TKivoParser({plus, assign});
}

TKivoParser Literal(std::string text) {
    return TKivoParser({TOpeData{
        static_cast<uint8_t>(OpCode::ocTo), "____arg", 0, {TOperand::String(std::move(text))}}});
}

// About 5 MB of the commands real pages are made of.
std::vector<uint8_t> LargePage() {
    PageFile page;
    page.version = kNewestPageVersion;
    PropertyMasks masks;
    for (PropertyId id : {PR_NAME, PR_PARENT, PR_SOURCE, PR_LEFT, PR_TOP, PR_ALPHA})
        masks.Set(static_cast<int>(CommandCode::ImgNew), id);
    page.SetMasks(masks);
    for (int i = 0; page.commands.size() < 60000; ++i) {
        CommandRecord calc = CommandRecord::Make(CommandCode::Calc, page.version);
        calc.Field("expression") = Increment("count" + std::to_string(i % 50));
        page.commands.push_back(std::move(calc));

        CommandRecord text = CommandRecord::Make(CommandCode::TextIns, page.version);
        text.Field("text") = std::vector<uint8_t>(40, 0x82);
        text.Field("object") = Literal("mes");
        page.commands.push_back(std::move(text));

        CommandRecord image = CommandRecord::Make(CommandCode::ImgNew, page.version);
        auto& properties = std::get<ComponentProperties>(image.Field("properties"));
        for (PropertyId id : masks.Ids(static_cast<int>(CommandCode::ImgNew)))
            properties.push_back({id, Literal("image" + std::to_string(i))});
        page.commands.push_back(std::move(image));
    }
    return page.Write();
}

const std::vector<uint8_t>& Bytes() {
    static const std::vector<uint8_t> bytes = LargePage();
    return bytes;
}

void BM_ReferenceTouchBytes(benchmark::State& state) {
    const auto& bytes = Bytes();
    for (auto _ : state) {
        std::vector<uint8_t> copy(bytes);
        benchmark::DoNotOptimize(std::accumulate(copy.begin(), copy.end(), 0u));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_ReadPage(benchmark::State& state) {
    const auto& bytes = Bytes();
    for (auto _ : state)
        benchmark::DoNotOptimize(PageFile::Read(bytes, "large.ksb"));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_WritePage(benchmark::State& state) {
    const PageFile page = PageFile::Read(Bytes(), "large.ksb");
    for (auto _ : state)
        benchmark::DoNotOptimize(page.Write());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Bytes().size()));
}

BENCHMARK(BM_ReferenceTouchBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WritePage)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kivo

BENCHMARK_MAIN();
