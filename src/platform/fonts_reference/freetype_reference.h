#pragma once
// FreeType on its own, for the benchmarks only: one face at one pixel size loading and
// rendering characters the plainest way, the yardstick of the glyph cache's misses. Nothing
// else links it.

#include <cstdint>
#include <filesystem>
#include <memory>

namespace kivo {

class FreeTypeReference {
  public:
    // The face at index in file, at size pixels to the em. Raises KivoError when FreeType
    // cannot open it.
    FreeTypeReference(const std::filesystem::path& file, int32_t index, int32_t size);
    ~FreeTypeReference();
    FreeTypeReference(const FreeTypeReference&) = delete;
    FreeTypeReference& operator=(const FreeTypeReference&) = delete;

    // Loads the character's outline and renders it with 256 grey levels; returns the number
    // of coverage bytes made.
    int64_t LoadAndRender(char32_t code);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kivo
