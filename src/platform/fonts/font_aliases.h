#pragma once
// Our own table from the Windows face names games ask for to the fonts we use for them. The
// system's font configuration knows none of the Windows names and answers any unknown name
// with a Latin font, so the names a game may give are mapped here first.

#include <string_view>

namespace kivo {

struct FontAlias {
    std::string_view family;  // the fontconfig family used
    bool monospace;           // full-width characters advance size, half-width ones size / 2
};

// The face every name outside the table falls back to (unless the system has that very name).
inline constexpr FontAlias kGothicAlias{"IPAGothic", true};

// The family for a requested face (UTF-8): the Windows names and our families themselves,
// ASCII letters compared without case. Null for a name outside the table.
[[nodiscard]] const FontAlias* FindFontAlias(std::string_view face);

// True when two family names are the same but for ASCII case.
[[nodiscard]] bool SameFamilyName(std::string_view a, std::string_view b);

}  // namespace kivo
