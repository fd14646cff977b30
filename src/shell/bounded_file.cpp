#include "shell/bounded_file.h"

#include <fstream>
#include <span>

#include "base/error.h"
#include "platform/host_files.h"

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
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (!error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        // A pipe, a terminal or a device (kivoplay --dump-vars /dev/stdout) is a stream, not a
        // file to replace: it is written as it is.
        std::ofstream out(path, std::ios::binary);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) throw KivoError(path.string(), "cannot write the file");
        return;
    }
    // A file goes through a temporary beside it, so that a run stopped halfway, a full disk or
    // a second name of the same file never sees half a file. A link is followed to the file it
    // names, which is replaced; the link stays.
    const std::filesystem::path target =
        std::filesystem::is_symlink(std::filesystem::symlink_status(path, error))
            ? std::filesystem::canonical(path, error)
            : path;
    host::WriteFileBytes(error ? path : target,
                         std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

}  // namespace kivo
