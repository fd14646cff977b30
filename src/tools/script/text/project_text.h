#pragma once
// The text form of a project file (.kps): one setting per line, then the project variables and
// the folder-disc table.
//
//   version 110
//   title "デモ"
//   screen 640 480
//   start "main.ksb"
//   var PT_INT "score" 0
//   var PT_STR "name" "kivo"
//   disc "movie\" 2

#include <string>
#include <string_view>

#include "script/project_file.h"

namespace kivo::script_text {

[[nodiscard]] std::string WriteProjectText(const ProjectFile& project);
// Reads the text form. Errors name fileName with the line and column.
[[nodiscard]] ProjectFile ReadProjectText(std::string_view text, const std::string& fileName);

}  // namespace kivo::script_text
