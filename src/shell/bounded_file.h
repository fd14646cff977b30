#pragma once
// Whole small files the shell reads and writes: settings, input scripts, dumps.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace kivo {

// The file's bytes, at most limit + 1 of them, so that the caller's size check sees a file that
// is too large without reading all of it. Raises KivoError naming the file ("cannot read the
// <what>") when it cannot be opened.
[[nodiscard]] std::string ReadBoundedFile(const std::filesystem::path& path, size_t limit,
                                          std::string_view what);

// Replaces the file with text through a temporary file beside it that is renamed over the
// old one; raises KivoError naming the file when it cannot be written.
void WriteWholeFile(const std::filesystem::path& path, std::string_view text);

}  // namespace kivo
