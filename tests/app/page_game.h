#pragma once
// Helpers of the headless game tests written in the page text form: the continue marks that
// run commands in one frame, assembling the pages into a game folder, and reading variables
// back from a --dump-vars file.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "support/scratch_folder.h"
#include "tools/script/text/script_files.h"

namespace kivo::test {

// The page text with every command run in the same frame as the next, except those whose
// line starts with one of the waiting command names (they end their frame).
inline std::string ContinuedPage(const std::string& text,
                                 const std::vector<std::string_view>& waiting) {
    std::istringstream lines(text);
    std::string out;
    for (std::string line; std::getline(lines, line);) {
        bool waits = line.empty();
        for (std::string_view name : waiting)
            waits = waits || line.starts_with(name);
        out += line + (waits ? "\n" : " .continue\n");
    }
    return out;
}

// Assembles a page or project text into the folder as output.
inline void AssembleInto(const std::filesystem::path& folder, const std::string& name,
                         script_text::SourceKind kind, const std::string& text,
                         const std::string& output) {
    const script_text::SourceFile source{name, kind,
                                         std::vector<uint8_t>(text.begin(), text.end())};
    const std::vector<uint8_t> bytes = script_text::Assemble(source);
    std::ofstream out(folder / output, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// The first value of a variable in a variable dump, as its text; "missing" when absent.
inline std::string DumpedVar(const std::filesystem::path& dump, const std::string& name) {
    const std::string json = ReadWholeFile(dump);
    const size_t at = json.find("\"name\": \"" + name + "\"");
    if (at == std::string::npos) return "missing";
    const size_t open = json.find('[', json.find("\"values\"", at));
    return json.substr(open + 1, json.find(']', open) - open - 1);
}

}  // namespace kivo::test
