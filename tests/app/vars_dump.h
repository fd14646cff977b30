#pragma once
// Reading a --dump-vars file in the game tests.

#include <filesystem>
#include <string>

#include "support/scratch_folder.h"

namespace kivo::test {

// The first value of a variable in the dump, as its JSON text; "missing" when it is not there.
inline std::string FirstDumpedValue(const std::filesystem::path& dump, const std::string& name) {
    const std::string json = ReadWholeFile(dump);
    const size_t at = json.find("\"name\": \"" + name + "\"");
    if (at == std::string::npos) return "missing";
    const size_t open = json.find('[', json.find("\"values\"", at));
    return json.substr(open + 1, json.find(']', open) - open - 1);
}

}  // namespace kivo::test
