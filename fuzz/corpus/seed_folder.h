#pragma once
// The folder one fuzz target's seeds are written to. Seeds are valid inputs of the target's
// readers, so that fuzzing starts past the header checks.

#include <cstdint>
#include <filesystem>
#include <set>
#include <span>
#include <string>
#include <string_view>

namespace kivo::corpus {

class SeedFolder {
  public:
    // sourceTree is the project's source folder, for the text forms kept in the tree.
    SeedFolder(std::filesystem::path folder, std::filesystem::path sourceTree);

    // Writes one seed; a name given twice is a mistake of the generator and throws.
    void Add(std::string_view name, std::span<const uint8_t> bytes);
    void AddText(std::string_view name, std::string_view text);
    // A seed whose first byte tells the target how to read the rest (a mode or a version).
    void AddSelected(std::string_view name, uint8_t selector, std::span<const uint8_t> bytes);

    [[nodiscard]] const std::filesystem::path& SourceTree() const { return sourceTree_; }
    [[nodiscard]] size_t Count() const { return names_.size(); }

  private:
    std::filesystem::path folder_;
    std::filesystem::path sourceTree_;
    std::set<std::string, std::less<>> names_;
};

}  // namespace kivo::corpus
