// Saving and loading a game beside the plain work it cannot avoid: a game of 5,000 scalars, a
// 1,000,000-element integer array and 100,000 strings saved against serialising the same values,
// compressing them with zlib level 1 and writing one file; the same save into a save.dat that
// already holds 100 slots of 256 KiB against that reference plus two copies of the file (saving
// rewrites save.dat once for the game and once for the status data, and the other slots are
// copied as they are stored); and loading it against reading the file, inflating and parsing.
// The files live on tmpfs so that the disk does not decide the figures.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "ratio_reporter.h"
#include "scene/gale_collection.h"
#include "scene/kivo_new_history.h"
#include "scene/kivo_read_list.h"
#include "script/interpreter_harness.h"
#include "script/save_manager.h"
#include "storage/vr_file_collection.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;

constexpr int32_t kScalars = 5000;
constexpr int32_t kArrayElements = 1000000;
constexpr int32_t kStrings = 100000;
constexpr int32_t kOtherSlots = 100;
constexpr size_t kOtherSlotBytes = 256 * 1024;
constexpr int32_t kSlot = kOtherSlots;  // after the existing ones

fs::path MakeBenchFolder() {
    std::error_code error;
    fs::path base =
        fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
    fs::path folder = base / ("kivo_bench_saves_" + std::to_string(getpid()));
    fs::remove_all(folder, error);
    fs::create_directories(folder);
    return folder;
}

const fs::path& Folder() {
    static const fs::path folder = MakeBenchFolder();
    return folder;
}

// The values of the game, in plain containers for the reference and as variables for the player.
struct GameValues {
    std::vector<std::string> scalarNames;
    std::vector<int32_t> scalarTypes;
    std::vector<int32_t> ints;
    std::vector<double> floats;
    std::vector<std::string> texts;
    std::vector<int32_t> array;
    std::vector<std::string> strings;
};

const GameValues& Values() {
    static const GameValues values = [] {
        std::mt19937 random(16);
        GameValues v;
        for (int32_t i = 0; i < kScalars; ++i) {
            v.scalarNames.push_back("scalar" + std::to_string(i));
            v.scalarTypes.push_back(i % 3 == 0 ? PT_INT : i % 3 == 1 ? PT_FLOAT : PT_STR);
            v.ints.push_back(static_cast<int32_t>(random()));
            v.floats.push_back(static_cast<double>(random() % 100000) / 64);
            v.texts.push_back("\x8F\x8A\x8E\x9D\x8B\xE0" + std::to_string(random() % 100000));
        }
        for (int32_t i = 0; i < kArrayElements; ++i)
            v.array.push_back(static_cast<int32_t>(random() % 5000));
        for (int32_t i = 0; i < kStrings; ++i) {
            // A line of dialogue with a number: Shift-JIS text that compresses about as well as
            // a game's strings do.
            v.strings.push_back("\x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD" +
                                std::to_string(random() % 100000));
        }
        return v;
    }();
    return values;
}

// ---- The reference: serialise, deflate, write; read, inflate, parse -----------------------

void PutI32(std::vector<uint8_t>& out, int32_t value) {
    uint8_t bytes[4];
    std::memcpy(bytes, &value, 4);
    out.insert(out.end(), bytes, bytes + 4);
}

void PutString(std::vector<uint8_t>& out, const std::string& text) {
    PutI32(out, static_cast<int32_t>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
}

std::vector<uint8_t> SerialiseValues(const GameValues& v) {
    std::vector<uint8_t> out;
    PutI32(out, kScalars);
    for (size_t i = 0; i < v.scalarNames.size(); ++i) {
        PutString(out, v.scalarNames[i]);
        out.push_back(static_cast<uint8_t>(v.scalarTypes[i]));
        if (v.scalarTypes[i] == PT_INT) {
            PutI32(out, v.ints[i]);
        } else if (v.scalarTypes[i] == PT_FLOAT) {
            uint8_t bytes[8];
            std::memcpy(bytes, &v.floats[i], 8);
            out.insert(out.end(), bytes, bytes + 8);
        } else {
            PutString(out, v.texts[i]);
        }
    }
    PutI32(out, static_cast<int32_t>(v.array.size()));
    for (int32_t element : v.array)
        PutI32(out, element);
    PutI32(out, static_cast<int32_t>(v.strings.size()));
    for (const std::string& text : v.strings)
        PutString(out, text);
    return out;
}

GameValues ParseValues(const std::vector<uint8_t>& bytes) {
    ByteReader reader(bytes, "reference");
    GameValues v;
    const int32_t scalars = reader.ReadI32();
    for (int32_t i = 0; i < scalars; ++i) {
        v.scalarNames.push_back(reader.ReadCountedString());
        const int32_t type = reader.ReadU8();
        v.scalarTypes.push_back(type);
        if (type == PT_INT) {
            v.ints.push_back(reader.ReadI32());
        } else if (type == PT_FLOAT) {
            const uint64_t raw = reader.ReadU64();
            double value = 0;
            std::memcpy(&value, &raw, 8);
            v.floats.push_back(value);
        } else {
            v.texts.push_back(reader.ReadCountedString());
        }
    }
    v.array.resize(reader.ReadCount(4));
    for (int32_t& element : v.array)
        element = reader.ReadI32();
    const uint32_t strings = reader.ReadCount(4);
    v.strings.reserve(strings);
    for (uint32_t i = 0; i < strings; ++i)
        v.strings.push_back(reader.ReadCountedString());
    return v;
}

void WritePlainFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return;
    (void)std::fwrite(bytes.data(), 1, bytes.size(), file);
    (void)std::fclose(file);
}

std::vector<uint8_t> ReadPlainFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes(static_cast<size_t>(fs::file_size(path)));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

void BM_ReferenceSerialiseDeflateWrite(benchmark::State& state) {
    const fs::path path = Folder() / "reference.bin";
    for (auto _ : state) {
        const std::vector<uint8_t> packed = Deflate(SerialiseValues(Values()));
        WritePlainFile(path, packed);
        benchmark::DoNotOptimize(packed.data());
    }
}

void BM_ReferenceReadInflateParse(benchmark::State& state) {
    const fs::path path = Folder() / "reference.bin";
    WritePlainFile(path, Deflate(SerialiseValues(Values())));
    for (auto _ : state) {
        const std::vector<uint8_t> packed = ReadPlainFile(path);
        const GameValues values = ParseValues(Inflate(packed, "reference"));
        benchmark::DoNotOptimize(values.array.data());
    }
}

// ---- The player's saves -------------------------------------------------------------------

// A running game holding the values, with its save manager over the save.dat at file.
struct SaveRig {
    explicit SaveRig(fs::path saveFile) : file(std::move(saveFile)) {
        test::PageBuilder start;
        start.Add(test::Wait("", test::Int(0)));
        h.AddGame(start);
        h.Open();
        h.Frame();
        saves.SetInterpreter(&h.Interpreter());
        const GameValues& v = Values();
        for (size_t i = 0; i < v.scalarNames.size(); ++i) {
            TCustomParam& value = h.variables.Create(v.scalarNames[i], v.scalarTypes[i]).Value();
            if (v.scalarTypes[i] == PT_INT) value.SetInteger(v.ints[i]);
            if (v.scalarTypes[i] == PT_FLOAT) value.SetFloat(v.floats[i]);
            if (v.scalarTypes[i] == PT_STR) value.SetString(v.texts[i]);
        }
        TCustomParam& array = h.variables.Create("array", PT_INT).Value();
        const int32_t arraySize[] = {kArrayElements};
        array.SetDimensions(arraySize);
        for (int32_t i = 0; i < kArrayElements; ++i)
            array.SetIntAt(i, v.array[static_cast<size_t>(i)]);
        TCustomParam& strings = h.variables.Create("strings", PT_STR).Value();
        const int32_t stringsSize[] = {kStrings};
        strings.SetDimensions(stringsSize);
        for (int32_t i = 0; i < kStrings; ++i)
            strings.SetStringAt(i, v.strings[static_cast<size_t>(i)]);
    }
    SaveRig(const SaveRig&) = delete;
    SaveRig& operator=(const SaveRig&) = delete;

    // The scene is not what is measured here: its record is empty.
    struct NoScene final : SaveSection {
        void Save(ByteWriter&) const override {}
        void Load(ByteReader&, int32_t) override {}
    };

    fs::path file;
    test::Harness h;
    NoScene scene;
    std::unique_ptr<TKivoNewHistory> history = std::make_unique<TKivoNewHistory>();
    std::unique_ptr<TKivoReadList> marks = std::make_unique<TKivoReadList>();
    std::unique_ptr<TGaleCollection> images = std::make_unique<TGaleCollection>();
    KeeperSaveSection<TKivoNewHistory> backlog{history};
    KeeperSaveSection<TKivoReadList> readMarks{marks};
    KeeperSaveSection<TGaleCollection> dither{images};
    std::ostringstream warnings;
    SaveServices services{h.player, h.variables, h.tables, h.dialogs, scene,
                          backlog,  readMarks,   dither,   warnings};
    TSaveManager saves{services, TSaveFile(file)};
};

// Writes a save.dat of kOtherSlots game entries whose stored bytes are kOtherSlotBytes each
// (random bytes do not compress).
void WriteOtherSlots(const fs::path& path) {
    std::mt19937 random(7);
    TVrFileCollection archive;
    archive.OpenArchive({}, false);
    for (int32_t slot = 0; slot < kOtherSlots; ++slot) {
        ByteWriter content;
        content.WriteI32(kGameSaveVersion);
        content.WriteCountedString("slot " + std::to_string(slot));
        while (content.Size() < kOtherSlotBytes)
            content.WriteU32(random());
        TVrFile& entry = archive.AddMemoryEntry(GameEntryName(slot));
        entry.memory->Write(content.Bytes().data(), static_cast<int64_t>(content.Size()));
    }
    TTpBigMemoryStream out({}, path.string());
    (void)archive.WriteArchive(out);
    out.SaveToFile(path);
}

void BM_SaveGame(benchmark::State& state) {
    fs::remove(Folder() / "alone.dat");
    SaveRig rig(Folder() / "alone.dat");
    for (auto _ : state)
        rig.saves.SaveGame(0, "bench", "", 0);
    if (!rig.warnings.str().empty()) state.SkipWithError(rig.warnings.str().c_str());
}

void BM_SaveGameBeside100Slots(benchmark::State& state) {
    const fs::path path = Folder() / "slots.dat";
    WriteOtherSlots(path);
    SaveRig rig(path);
    for (auto _ : state)
        rig.saves.SaveGame(kSlot, "bench", "", 0);
    if (!rig.warnings.str().empty()) state.SkipWithError(rig.warnings.str().c_str());
    state.counters["save.dat MB"] = static_cast<double>(fs::file_size(path)) / (1 << 20);
}

// One copy of the save.dat the previous benchmark left: read whole, written whole.
void BM_ReferenceCopySlotsFile(benchmark::State& state) {
    const fs::path from = Folder() / "slots.dat";
    const fs::path to = Folder() / "copy.dat";
    for (auto _ : state) {
        const std::vector<uint8_t> bytes = ReadPlainFile(from);
        WritePlainFile(to, bytes);
        benchmark::DoNotOptimize(bytes.data());
    }
}

void BM_LoadGame(benchmark::State& state) {
    const fs::path path = Folder() / "load.dat";
    fs::remove(path);
    SaveRig rig(path);
    rig.saves.SaveGame(0, "bench", "", 0);
    // A value changed after the save, that every load puts back.
    rig.h.variables.Find("array")->Value().SetIntAt(kArrayElements - 1, -1);
    for (auto _ : state)
        rig.saves.LoadGame(0);
    if (!rig.warnings.str().empty() || rig.h.player.quitRequest)
        state.SkipWithError(rig.warnings.str().c_str());
    state.counters["save.dat MB"] = static_cast<double>(fs::file_size(path)) / (1 << 20);
    if (rig.h.variables.Find("array")->Value().IntAt(kArrayElements - 1) != Values().array.back())
        state.SkipWithError("the array did not come back");
}

BENCHMARK(BM_ReferenceSerialiseDeflateWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveGame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveGameBeside100Slots)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceCopySlotsFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceReadInflateParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadGame)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kivo

int main(int argc, char** argv) {
    kivo::bench::RatioReporter reporter(
        {{"save a game / serialise + zlib 1 + write", "BM_SaveGame",
          "BM_ReferenceSerialiseDeflateWrite", "at most 1.5"},
         {"load a game / read + inflate + parse", "BM_LoadGame", "BM_ReferenceReadInflateParse",
          "at most 1.5"}},
        [](const kivo::bench::RatioReporter& r) {
            const double beside = r.Time("BM_SaveGameBeside100Slots");
            const double reference = r.Time("BM_ReferenceSerialiseDeflateWrite");
            const double copy = r.Time("BM_ReferenceCopySlotsFile");
            if (beside > 0 && reference > 0 && copy > 0) {
                std::printf(
                    "ratio save beside 100 slots of 256 KiB / (serialise + zlib 1 + write + 2 "
                    "copies of save.dat): %.2f (target at most 1.0)\n",
                    beside / (reference + 2 * copy));
            }
        });
    const int status = kivo::bench::RunWithRatios(argc, argv, reporter);
    std::error_code ignored;
    std::filesystem::remove_all(kivo::Folder(), ignored);
    return status;
}
