#pragma once
// The files kivo-script works on: scenario pages (.ksb) and project files (.kpb) and their text
// forms (.kss, .kps), read from the host or from an archive entry (ARCHIVE:NAME), and the three
// things the tool does with them.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kivo::script_text {

enum class SourceKind : uint8_t { Page, Project, PageText, ProjectText };

struct SourceFile {
    std::string name;  // as given on the command line; errors name it
    SourceKind kind;
    std::vector<uint8_t> bytes;
};

using HostReader = std::function<std::vector<uint8_t>(const std::filesystem::path&)>;

// The kind of a file by its extension (case ignored); raises KivoError for any other name.
[[nodiscard]] SourceKind KindOf(const std::string& name);

// Reads the file named location: a host file, or NAME inside the archive ARCHIVE when location is
// ARCHIVE:NAME and no host file has the whole name.
[[nodiscard]] SourceFile LoadSource(const std::string& location, const HostReader& read);

// The text form of a page or project file.
[[nodiscard]] std::string Disassemble(const SourceFile& file);
// The page or project file built from a text form.
[[nodiscard]] std::vector<uint8_t> Assemble(const SourceFile& file);
// Reads the file completely (and builds it, for a text form), raising its first error.
void Check(const SourceFile& file);

}  // namespace kivo::script_text
