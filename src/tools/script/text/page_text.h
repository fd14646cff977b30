#pragma once
// The text form of a scenario page (.kss): a few header lines, then one command per line,
// indented four spaces per indent level. Writing a page and reading the text back gives the
// same page, field for field, so the page file written from it is byte-identical.
//
//   version 104
//   result PT_INT
//   Label "start"                        # 0
//   VarNew "n" type=PT_INT
//   While {n < 3} exit=5
//       Calc {n = n + 1}
//   WhileLoop loop=2
//   Jump "main.ksb" target=<start> .continue

#include <string>
#include <string_view>

#include "script/page_file.h"

namespace kivo::script_text {

// The text of page. selfName is the page's own file name ("main.ksb"): jumps and calls into it
// show their target as the label they point at.
[[nodiscard]] std::string WritePageText(const PageFile& page, std::string_view selfName);

// Reads the text form. Errors name fileName with the line and column.
[[nodiscard]] PageFile ReadPageText(std::string_view text, const std::string& fileName);

}  // namespace kivo::script_text
