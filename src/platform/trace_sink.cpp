#include "platform/trace_sink.h"

#include "base/error.h"

namespace kivo {

FileTraceSink::FileTraceSink(const std::filesystem::path& path)
    : out_(path, std::ios::binary | std::ios::trunc) {
    if (!out_) throw KivoError(path.string(), "cannot create the trace file");
}

void FileTraceSink::WriteLine(std::string_view line) {
    out_.write(line.data(), static_cast<std::streamsize>(line.size()));
    out_.put('\n');
}

}  // namespace kivo
