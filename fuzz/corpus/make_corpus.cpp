// Writes the seed corpus of every fuzz target into OUT/<target>/:
//
//   kivo_make_corpus OUT SOURCE_TREE [TARGET...]
//
// With targets named, only those; a target without a seed writer gets an empty folder (it
// fuzzes from nothing but its dictionary). Every folder is emptied first, so seeds a writer
// no longer makes do not linger.

#include <exception>
#include <filesystem>
#include <iostream>
#include <string_view>
#include <vector>

#include "corpus_seeds.h"

namespace {

using kivo::corpus::SeedFolder;

struct SeedWriter {
    std::string_view target;
    void (*write)(SeedFolder&);
};

constexpr SeedWriter kWriters[] = {
    {"fuzz_archive", kivo::corpus::ArchiveSeeds},
    {"fuzz_bmp", kivo::corpus::BmpSeeds},
    {"fuzz_db_stream", kivo::corpus::DBStreamSeeds},
    {"fuzz_db_tsv", kivo::corpus::DBTsvSeeds},
    {"fuzz_expression", kivo::corpus::ExpressionSeeds},
    {"fuzz_film", kivo::corpus::FilmSeeds},
    {"fuzz_gal", kivo::corpus::GalSeeds},
    {"fuzz_glyph_stream", kivo::corpus::GlyphStreamSeeds},
    {"fuzz_ico", kivo::corpus::IcoSeeds},
    {"fuzz_interpreter_state", kivo::corpus::InterpreterStateSeeds},
    {"fuzz_label_style", kivo::corpus::LabelStyleSeeds},
    {"fuzz_map_regions", kivo::corpus::MapRegionsSeeds},
    {"fuzz_markup_text", kivo::corpus::MarkupTextSeeds},
    {"fuzz_message_window", kivo::corpus::MessageWindowSeeds},
    {"fuzz_midi", kivo::corpus::MidiSeeds},
    {"fuzz_page_file", kivo::corpus::PageFileSeeds},
    {"fuzz_pe_resources", kivo::corpus::PeResourcesSeeds},
    {"fuzz_player_settings", kivo::corpus::PlayerSettingsSeeds},
    {"fuzz_prev_menu", kivo::corpus::PrevMenuSeeds},
    {"fuzz_project_file", kivo::corpus::ProjectFileSeeds},
    {"fuzz_riff_wave", kivo::corpus::RiffWaveSeeds},
    {"fuzz_save_entry", kivo::corpus::SaveEntrySeeds},
    {"fuzz_script_text", kivo::corpus::ScriptTextSeeds},
    {"fuzz_state_file", kivo::corpus::StateFileSeeds},
    {"fuzz_tga", kivo::corpus::TgaSeeds},
    {"fuzz_variable_stream", kivo::corpus::VariableStreamSeeds},
};

const SeedWriter* FindWriter(std::string_view target) {
    for (const SeedWriter& writer : kWriters) {
        if (writer.target == target) return &writer;
    }
    return nullptr;
}

void WriteCorpus(const std::filesystem::path& out, const std::filesystem::path& source,
                 std::string_view target) {
    const std::filesystem::path folder = out / target;
    std::filesystem::remove_all(folder);
    SeedFolder seeds(folder, source);
    const SeedWriter* writer = FindWriter(target);
    if (writer) writer->write(seeds);
    std::cout << target << ": " << seeds.Count() << " seeds"
              << (writer ? "" : " (no seed writer: dictionary only)") << "\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: kivo_make_corpus OUT SOURCE_TREE [TARGET...]\n";
        return 2;
    }
    const std::filesystem::path out = argv[1];
    const std::filesystem::path source = argv[2];
    std::vector<std::string_view> targets(argv + 3, argv + argc);
    if (targets.empty()) {
        for (const SeedWriter& writer : kWriters)
            targets.push_back(writer.target);
    }
    try {
        for (std::string_view target : targets)
            WriteCorpus(out, source, target);
    } catch (const std::exception& error) {
        std::cerr << "kivo_make_corpus: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
