#include "platform/fonts/font_aliases.h"

#include <algorithm>

namespace kivo {

namespace {

struct AliasEntry {
    std::string_view face;
    FontAlias alias;
};

constexpr FontAlias kPGothic{"IPAPGothic", false};
constexpr FontAlias kMincho{"IPAMincho", true};
constexpr FontAlias kPMincho{"IPAPMincho", false};

constexpr AliasEntry kAliases[] = {
    {"ＭＳ ゴシック", kGothicAlias}, {"MS Gothic", kGothicAlias}, {"IPAGothic", kGothicAlias},
    {"ＭＳ Ｐゴシック", kPGothic},   {"MS PGothic", kPGothic},    {"MS UI Gothic", kPGothic},
    {"IPAPGothic", kPGothic},        {"ＭＳ 明朝", kMincho},      {"MS Mincho", kMincho},
    {"IPAMincho", kMincho},          {"ＭＳ Ｐ明朝", kPMincho},   {"MS PMincho", kPMincho},
    {"IPAPMincho", kPMincho},
};

char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool SameFamilyName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return FoldAscii(x) == FoldAscii(y);
           });
}

const FontAlias* FindFontAlias(std::string_view face) {
    for (const AliasEntry& entry : kAliases) {
        if (SameFamilyName(entry.face, face)) return &entry.alias;
    }
    return nullptr;
}

}  // namespace kivo
