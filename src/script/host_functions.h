#pragma once
// The functions that reach the game's files, the call stack and the desktop: FileExists,
// LoadTextFile, OpenUrl and DeleteStack.

#include <string_view>

namespace kivo {

class SystemFunctionRegistry;

void RegisterHostFunctions(SystemFunctionRegistry& registry);

// Whether OpenUrl may hand the text on: a web or file-transfer address, "http://",
// "https://" or "ftp://" followed by something, with no control byte anywhere.
[[nodiscard]] bool IsOpenableUrl(std::string_view url);

}  // namespace kivo
