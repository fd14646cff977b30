#include "seed_folder.h"

#include <fstream>
#include <stdexcept>
#include <vector>

namespace kivo::corpus {

SeedFolder::SeedFolder(std::filesystem::path folder, std::filesystem::path sourceTree)
    : folder_(std::move(folder)), sourceTree_(std::move(sourceTree)) {
    std::filesystem::create_directories(folder_);
}

void SeedFolder::Add(std::string_view name, std::span<const uint8_t> bytes) {
    if (!names_.emplace(name).second)
        throw std::logic_error("seed " + std::string(name) + " written twice");
    std::ofstream out(folder_ / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + (folder_ / name).string());
}

void SeedFolder::AddText(std::string_view name, std::string_view text) {
    Add(name, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

void SeedFolder::AddSelected(std::string_view name, uint8_t selector,
                             std::span<const uint8_t> bytes) {
    std::vector<uint8_t> seed{selector};
    seed.insert(seed.end(), bytes.begin(), bytes.end());
    Add(name, seed);
}

}  // namespace kivo::corpus
