// Reading every entry of a large archive through the virtual file manager, beside plain zlib
// inflate plus memcpy of the same entries held in memory; and mounting an archive of 100,000
// entries. The archive's size in megabytes is KIVO_BENCH_ARCHIVE_MB (200 by default).

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "ratio_reporter.h"
#include "storage/vr_file_collection.h"
#include "storage/vr_file_manager.h"

namespace {

namespace fs = std::filesystem;

struct Sample {
    fs::path folder;
    std::vector<std::string> names;
    std::vector<std::vector<uint8_t>> stored;  // bytes as in the archive
    std::vector<uint8_t> compressed;           // 1 when stored[i] is a zlib stream
    std::vector<size_t> sizes;                 // uncompressed sizes
    size_t totalBytes = 0;
};

// Half text-like data that deflates well, half noise stored as media (".ogg"), in entries of
// 256 KiB to 2 MiB, written as loose files and packed by our writer.
const Sample& GetSample() {
    static const Sample sample = [] {
        Sample s;
        const char* env = std::getenv("KIVO_BENCH_ARCHIVE_MB");
        const size_t target = static_cast<size_t>(env ? std::atoi(env) : 200) << 20;
        s.folder = fs::temp_directory_path() /
                   ("kivo-bench-archive-" + std::to_string(std::random_device{}()));
        fs::create_directories(s.folder / "src");
        std::mt19937 random(42);
        kivo::TVrFileCollection packer;
        packer.SetBaseFolder(s.folder / "src");
        for (size_t i = 0; s.totalBytes < target; ++i) {
            size_t size = (256u << 10) + random() % (1792u << 10);
            bool text = i % 2 == 0;
            std::vector<uint8_t> content(size);
            for (size_t k = 0; k < size; ++k) {
                content[k] =
                    text
                        ? static_cast<uint8_t>(
                              "the quick brown fox jumps over a lazy dog\n"[(k * 7 + random() % 3) %
                                                                            42])
                        : static_cast<uint8_t>(random());
            }
            std::string name = "data" + std::to_string(i) + (text ? ".txt" : ".ogg");
            std::ofstream(s.folder / "src" / name, std::ios::binary)
                .write(reinterpret_cast<const char*>(content.data()),
                       static_cast<std::streamsize>(size));
            packer.AddEntry(name);
            s.names.push_back(name);
            s.sizes.push_back(size);
            s.totalBytes += size;
        }
        {
            kivo::TTpBigFileStream out(s.folder / "game.dat", kivo::TTpBigFileStream::Mode::Create);
            if (!packer.WriteArchive(out)) std::abort();
            out.Commit();
        }
        fs::remove_all(s.folder / "src");
        kivo::TVrFileCollection archive;
        archive.OpenArchive(s.folder / "game.dat", false);
        for (const std::string& name : s.names) {
            const kivo::TVrFile& entry = *archive.FindFile(name);
            std::vector<uint8_t> bytes(static_cast<size_t>(entry.size));
            archive.ArchiveStream()->SetPosition(entry.offset);
            (void)archive.ArchiveStream()->Read(bytes.data(), entry.size);
            s.stored.push_back(std::move(bytes));
            s.compressed.push_back(entry.stored ? 0 : 1);
        }
        return s;
    }();
    return sample;
}

void BM_LoadToStream(benchmark::State& state) {
    const Sample& sample = GetSample();
    kivo::TVrFileManager manager;
    manager.AddArchive(sample.folder / "game.dat");
    kivo::TTpMemoryStream destination;
    for (auto _ : state) {
        for (const std::string& name : sample.names) {
            manager.LoadToStream(destination, name);
            benchmark::DoNotOptimize(destination.Bytes().data());
        }
        // Every round reads from the archive, as a first pass through a game would.
        manager.Cache().Clear();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * sample.totalBytes));
}
BENCHMARK(BM_LoadToStream)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ReferenceInflateMemcpy(benchmark::State& state) {
    const Sample& sample = GetSample();
    std::vector<uint8_t> inflated;
    std::vector<uint8_t> destination;
    for (auto _ : state) {
        for (size_t i = 0; i < sample.names.size(); ++i) {
            const std::vector<uint8_t>& stored = sample.stored[i];
            const uint8_t* content = stored.data();
            if (sample.compressed[i]) {
                inflated.resize(sample.sizes[i]);
                uLongf size = static_cast<uLongf>(inflated.size());
                uncompress(inflated.data(), &size, stored.data(),
                           static_cast<uLong>(stored.size()));
                content = inflated.data();
            }
            destination.resize(sample.sizes[i]);
            std::memcpy(destination.data(), content, sample.sizes[i]);
            benchmark::DoNotOptimize(destination.data());
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * sample.totalBytes));
}
BENCHMARK(BM_ReferenceInflateMemcpy)->Unit(benchmark::kMillisecond)->Iterations(3);

// An archive of 100,000 small entries in a memory stream, written once.
const std::vector<uint8_t>& ManyEntries() {
    static const std::vector<uint8_t> bytes = [] {
        kivo::TVrFileCollection collection;
        for (int i = 0; i < 100000; ++i) {
            kivo::TVrFile& entry =
                collection.AddMemoryEntry("scene\\chapter" + std::to_string(i / 1000) + "\\image" +
                                          std::to_string(i) + ".gal");
            entry.memory->Write("x", 1);
        }
        kivo::TTpBigMemoryStream out;
        if (!collection.WriteArchive(out)) std::abort();
        std::span<const uint8_t> written = out.Memory().Bytes();
        return std::vector<uint8_t>(written.begin(), written.end());
    }();
    return bytes;
}

void BM_Mount100000Entries(benchmark::State& state) {
    const fs::path path = GetSample().folder / "many.dat";
    if (!fs::exists(path)) {
        const std::vector<uint8_t>& bytes = ManyEntries();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    for (auto _ : state) {
        kivo::TVrFileManager manager;
        manager.AddArchive(path);
        benchmark::DoNotOptimize(manager.Collection(0).Count());
    }
}
BENCHMARK(BM_Mount100000Entries)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
    kivo::bench::RatioReporter reporter(
        {{"LoadToStream / zlib inflate + memcpy (" + std::to_string(GetSample().totalBytes >> 20) +
              " MB)",
          "BM_LoadToStream", "BM_ReferenceInflateMemcpy", "at most 1.15"}},
        [](const kivo::bench::RatioReporter& r) {
            if (double mount = r.Time("BM_Mount100000Entries"); mount > 0)
                std::printf("mounting 100,000 entries: %.1f ms (target under 50 ms)\n", mount);
        });
    const int status = kivo::bench::RunWithRatios(argc, argv, reporter);
    std::error_code ignored;
    fs::remove_all(GetSample().folder, ignored);
    return status;
}
