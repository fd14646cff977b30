#include "base/sjis_width.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "base/sjis.h"

namespace kivo::sjis {

namespace {

// Full-width codes of the ASCII punctuation from '!' to '~' that is neither a digit nor a
// letter, in byte order.
struct Punctuation {
    char byte;
    uint16_t code;
};
constexpr std::array<Punctuation, 32> kPunctuation{{
    {'!', 0x8149}, {'"', 0x8168}, {'#', 0x8194}, {'$', 0x8190}, {'%', 0x8193}, {'&', 0x8195},
    {'\'', 0x8166}, {'(', 0x8169}, {')', 0x816A}, {'*', 0x8196}, {'+', 0x817B}, {',', 0x8143},
    {'-', 0x817C}, {'.', 0x8144}, {'/', 0x815E}, {':', 0x8146}, {';', 0x8147}, {'<', 0x8183},
    {'=', 0x8181}, {'>', 0x8184}, {'?', 0x8148}, {'@', 0x8197}, {'[', 0x816D}, {'\\', 0x818F},
    {']', 0x816E}, {'^', 0x814F}, {'_', 0x8151}, {'`', 0x8165}, {'{', 0x816F}, {'|', 0x8162},
    {'}', 0x8170}, {'~', 0x8160},
}};

// Full-width codes of the half-width bytes 0xA1 ... 0xDF: punctuation, then the katakana in
// the order of the half-width set.
constexpr std::array<uint16_t, 0xDF - 0xA1 + 1> kKana{
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145,                                  // A1-A5
    0x8392, 0x8340, 0x8342, 0x8344, 0x8346, 0x8348, 0x8383, 0x8385, 0x8387,  // A6-AE
    0x8362, 0x815B, 0x8341, 0x8343, 0x8345, 0x8347, 0x8349,                  // AF-B5
    0x834A, 0x834C, 0x834E, 0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A,  // B6-BE
    0x835C, 0x835E, 0x8360, 0x8363, 0x8365, 0x8367,                          // BF-C4
    0x8369, 0x836A, 0x836B, 0x836C, 0x836D,                                  // C5-C9
    0x836E, 0x8371, 0x8374, 0x8377, 0x837A,                                  // CA-CE
    0x837D, 0x837E, 0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388,          // CF-D6
    0x8389, 0x838A, 0x838B, 0x838C, 0x838D, 0x838F, 0x8393,                  // D7-DD
    0x814A, 0x814B,                                                          // DE-DF
};

constexpr uint8_t kVoicedMark = 0xDE;
constexpr uint8_t kSemiVoicedMark = 0xDF;

// The full-width code of one single byte, 0 when it has none.
uint16_t FullWidthOf(uint8_t b) {
    if (b == ' ') return 0x8140;
    if (b >= '0' && b <= '9') return static_cast<uint16_t>(0x8200 + b + 31);
    if (b >= 'A' && b <= 'Z') return static_cast<uint16_t>(0x8200 + b + 31);
    if (b >= 'a' && b <= 'z') return static_cast<uint16_t>(0x8200 + b + 32);
    if (b >= 0xA1 && b <= 0xDF) return kKana[b - 0xA1];
    for (const Punctuation& p : kPunctuation) {
        if (static_cast<uint8_t>(p.byte) == b) return p.code;
    }
    return 0;
}

// How far a mark moves a kana: the ka, sa and ta rows take the voiced mark, the ha row both.
int VoicingStep(uint8_t kana, uint8_t mark) {
    if (mark == kVoicedMark && kana >= 0xB6 && kana <= 0xC4) return 1;
    if (kana >= 0xCA && kana <= 0xCE) {
        if (mark == kVoicedMark) return 1;
        if (mark == kSemiVoicedMark) return 2;
    }
    return 0;
}

void AppendCode(std::string& out, uint16_t code) {
    out.push_back(static_cast<char>(code >> 8));
    out.push_back(static_cast<char>(code & 0xFF));
}

// Full-width code -> one or two half-width bytes, sorted by code for lookup.
struct HalfWidthForm {
    uint16_t code;
    char first;
    char second;  // 0: one byte
};

std::vector<HalfWidthForm> BuildHalfWidthForms() {
    std::vector<HalfWidthForm> forms;
    for (int b = 0x20; b <= 0xDF; ++b) {
        const auto byte = static_cast<uint8_t>(b);
        if (uint16_t code = FullWidthOf(byte)) forms.push_back({code, static_cast<char>(b), 0});
        for (uint8_t mark : {kVoicedMark, kSemiVoicedMark}) {
            if (int step = VoicingStep(byte, mark)) {
                forms.push_back({static_cast<uint16_t>(kKana[b - 0xA1] + step),
                                 static_cast<char>(b), static_cast<char>(mark)});
            }
        }
    }
    // The typographic closing quote also stands for the ASCII double quote.
    forms.push_back({0x8167, '"', 0});
    std::sort(forms.begin(), forms.end(),
              [](const HalfWidthForm& a, const HalfWidthForm& b) { return a.code < b.code; });
    return forms;
}

const HalfWidthForm* FindHalfWidthForm(uint16_t code) {
    static const std::vector<HalfWidthForm> forms = BuildHalfWidthForms();
    auto it = std::lower_bound(forms.begin(), forms.end(), code,
                               [](const HalfWidthForm& f, uint16_t c) { return f.code < c; });
    return it != forms.end() && it->code == code ? &*it : nullptr;
}

}  // namespace

std::string ToFullWidth(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (size_t pos = 0; pos < text.size();) {
        const size_t length = CharLength(text, pos);
        const auto b = static_cast<uint8_t>(text[pos]);
        if (length == 2) {
            out.append(text.substr(pos, 2));
            pos += 2;
            continue;
        }
        if (pos + 1 < text.size()) {
            if (int step = VoicingStep(b, static_cast<uint8_t>(text[pos + 1]))) {
                AppendCode(out, static_cast<uint16_t>(kKana[b - 0xA1] + step));
                pos += 2;
                continue;
            }
        }
        if (uint16_t code = FullWidthOf(b)) AppendCode(out, code);
        ++pos;
    }
    return out;
}

std::string ToHalfWidth(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    ForEachChar(text, [&](size_t pos, size_t length) {
        if (length == 1) {
            out.push_back(text[pos]);
            return;
        }
        if (const HalfWidthForm* form = FindHalfWidthForm(static_cast<uint16_t>(CharCode(text, pos)))) {
            out.push_back(form->first);
            if (form->second != 0) out.push_back(form->second);
        }
    });
    return out;
}

}  // namespace kivo::sjis
