#pragma once
// The string functions: byte-wise (Length, Copy, Pos ... count bytes), character-wise (the J
// functions, FixStr, HanToZen, ZenToHan count a Shift-JIS lead byte and its trail byte as one
// character), and the file-name helpers. Positions are 1-based. Case folding is ASCII-only and
// never touches a trail byte.

#include <string>
#include <string_view>
#include <vector>

#include "base/sjis.h"

namespace kivo {

class SystemFunctionRegistry;

void RegisterStringFunctions(SystemFunctionRegistry& registry);

// The case-insensitive ordering of CompareText and SortStr: ASCII letters fold, everything
// else compares by byte; negative, 0 or positive.
[[nodiscard]] int CompareTextIgnoringCase(std::string_view a, std::string_view b);

// text without leading and trailing bytes up to 0x20 (blanks and control bytes).
[[nodiscard]] std::string_view TrimBlanks(std::string_view text);

using sjis::SplitLines;

}  // namespace kivo
