#include "shell/bounded_file.h"

#include <fstream>

#include "base/error.h"

namespace kivo {

std::string ReadBoundedFile(const std::filesystem::path& path, size_t limit,
                            std::string_view what) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw KivoError(path.string(), "cannot read the " + std::string(what));
    std::string text(limit + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    return text;
}

void WriteWholeFile(const std::filesystem::path& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) throw KivoError(path.string(), "cannot write the file");
}

}  // namespace kivo
