// Data tables beside the plain containers doing the same work: sorting 100,000 records on an
// int field against std::sort of the keys alone, on (int, string) against a sort of pairs, and
// loading a 100,000-line tab-separated file against getline and splitting at tabs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "ratio_reporter.h"
#include "storage/db_table.h"

namespace kivo {
namespace {

constexpr int32_t kRecords = 100000;

struct Row {
    int32_t id;
    int32_t score;  // few distinct values: many ties for the second key
    std::string name;
    Extended rate;
    bool flag;
};

const std::vector<Row>& Rows() {
    static const std::vector<Row> rows = [] {
        std::mt19937 random(2024);
        std::vector<Row> out;
        for (int32_t i = 0; i < kRecords; ++i) {
            std::string name;
            const size_t length = 6 + random() % 10;
            for (size_t c = 0; c < length; ++c)
                name += static_cast<char>('a' + random() % 26);
            out.push_back({static_cast<int32_t>(random() >> 1), static_cast<int32_t>(random() % 1000),
                           std::move(name), static_cast<Extended>(random() % 10000) / 8, random() % 2 == 0});
        }
        return out;
    }();
    return rows;
}

// The rows as a table, saved once; each run starts from a fresh copy.
const std::vector<uint8_t>& SavedTable() {
    static const std::vector<uint8_t> bytes = [] {
        TDBTable table("bench", false);
        table.AddField("id", 1, 0);
        table.AddField("score", 1, 0);
        table.AddField("name", 4, 20);
        table.AddField("rate", 2, 0);
        table.AddField("flag", 3, 0);
        for (const Row& row : Rows()) {
            table.AddRecord();
            const int32_t r = table.CurrentIndex();
            table.SetAt(r, 0, row.id);
            table.SetAt(r, 1, row.score);
            table.SetAt(r, 2, row.name);
            table.SetAt(r, 3, row.rate);
            table.SetAt(r, 4, row.flag);
        }
        ByteWriter writer;
        table.Save(writer);
        return writer.Take();
    }();
    return bytes;
}

std::unique_ptr<TDBTable> FreshTable() {
    ByteReader reader(SavedTable(), "bench");
    return TDBTable::Load(reader);
}

void SortTable(benchmark::State& state, std::vector<DBSortKey> keys) {
    for (auto _ : state) {
        state.PauseTiming();
        auto table = FreshTable();
        state.ResumeTiming();
        table->Sort(keys);
        benchmark::DoNotOptimize(table->RecordBytes(0).data());
    }
}

void BM_SortTableByInt(benchmark::State& state) {
    SortTable(state, {{"id", false}});
}

void BM_ReferenceSortInts(benchmark::State& state) {
    std::vector<int32_t> keys;
    for (const Row& row : Rows())
        keys.push_back(row.id);
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<int32_t> copy = keys;
        state.ResumeTiming();
        std::sort(copy.begin(), copy.end());
        benchmark::DoNotOptimize(copy.data());
    }
}

void BM_SortTableByIntString(benchmark::State& state) {
    SortTable(state, {{"score", false}, {"name", false}});
}

void BM_ReferenceSortPairs(benchmark::State& state) {
    std::vector<std::pair<int32_t, std::string>> pairs;
    for (const Row& row : Rows())
        pairs.emplace_back(row.score, row.name);
    for (auto _ : state) {
        state.PauseTiming();
        auto copy = pairs;
        state.ResumeTiming();
        std::sort(copy.begin(), copy.end());
        benchmark::DoNotOptimize(copy.data());
    }
}

const std::string& TsvText() {
    static const std::string text = [] {
        std::string out = "id int\tscore int\tname str 20\trate float\tflag bool\r\n";
        for (const Row& row : Rows()) {
            out += std::to_string(row.id) + '\t' + std::to_string(row.score) + '\t' + row.name + '\t' +
                   std::to_string(static_cast<double>(row.rate)) + '\t' + (row.flag ? "TRUE" : "FALSE") +
                   "\r\n";
        }
        return out;
    }();
    return text;
}

void BM_LoadTsv(benchmark::State& state) {
    for (auto _ : state) {
        TDBTable table("bench", false);
        table.LoadTsv(TsvText(), "bench.tsv");
        benchmark::DoNotOptimize(table.RecordBytes(0).data());
    }
}

void BM_ReferenceGetlineSplit(benchmark::State& state) {
    for (auto _ : state) {
        std::istringstream in(TsvText());
        std::string line;
        std::vector<std::string> columns;
        size_t total = 0;
        while (std::getline(in, line)) {
            columns.clear();
            size_t start = 0;
            for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
                columns.push_back(line.substr(start, tab - start));
            columns.push_back(line.substr(start));
            total += columns.size();
        }
        benchmark::DoNotOptimize(total);
    }
}

BENCHMARK(BM_ReferenceSortInts)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortTableByInt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceSortPairs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortTableByIntString)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceGetlineSplit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadTsv)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kivo

int main(int argc, char** argv) {
    kivo::bench::RatioReporter reporter({
        {"sort 100,000 records on an int field / std::sort of the keys", "BM_SortTableByInt",
         "BM_ReferenceSortInts", "at most 3"},
        {"sort 100,000 records on (int, string) / std::sort of pairs", "BM_SortTableByIntString",
         "BM_ReferenceSortPairs", "at most 2"},
        {"load a 100,000-line TSV / getline + split", "BM_LoadTsv", "BM_ReferenceGetlineSplit",
         "at most 3"},
    });
    return kivo::bench::RunWithRatios(argc, argv, reporter);
}
