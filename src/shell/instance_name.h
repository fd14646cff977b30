#pragma once
// The name of the single-instance lock of a game: one running player per game folder.

#include <filesystem>
#include <string>

namespace kivo {

// The lock name for a game folder, built as the original built its mutex name: the folder in
// upper case (ASCII letters), a trailing delimiter added when missing, every delimiter replaced
// by '-'. The folder is made canonical first (absolute, links and "." / ".." resolved) so that
// "g", "./g" and "/abs/g" name one game; a folder that does not exist is made absolute and
// normalised instead.
[[nodiscard]] std::string SingleInstanceName(const std::filesystem::path& folder);

}  // namespace kivo
