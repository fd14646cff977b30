#include "shell/input_script.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>

#include "base/error.h"
#include "shell/bounded_file.h"

namespace kivo {

namespace {

// A script of a million events is far beyond any test; a larger file is a mistake.
constexpr size_t kMaxScriptBytes = 16u << 20;

std::vector<std::string_view> SplitWords(std::string_view line) {
    std::vector<std::string_view> words;
    size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t' || line[pos] == '\r'))
            ++pos;
        size_t end = pos;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r')
            ++end;
        if (end > pos) words.push_back(line.substr(pos, end - pos));
        pos = end;
    }
    return words;
}

std::optional<int32_t> ParseInt(std::string_view word, int64_t low, int64_t high) {
    int64_t value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size() || value < low || value > high) {
        return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

// What follows word on the line, blanks trimmed at both ends: a path, which may hold spaces.
std::string_view RestOfLine(std::string_view line, std::string_view word) {
    std::string_view rest =
        line.substr(static_cast<size_t>(word.data() + word.size() - line.data()));
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
        rest.remove_prefix(1);
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t' || rest.back() == '\r'))
        rest.remove_suffix(1);
    return rest;
}

struct Verb {
    std::string_view name;
    InputKind kind;
    int operands;  // 0, 1 (a key code) or 2 (a position)
};

constexpr Verb kVerbs[] = {
    {"move", InputKind::PointerMove, 2},    {"ldown", InputKind::LeftDown, 0},
    {"lup", InputKind::LeftUp, 0},          {"rdown", InputKind::RightDown, 0},
    {"rup", InputKind::RightUp, 0},         {"wheelup", InputKind::WheelUp, 0},
    {"wheeldown", InputKind::WheelDown, 0}, {"keydown", InputKind::KeyDown, 1},
    {"keyup", InputKind::KeyUp, 1},
};

constexpr std::pair<std::string_view, ObservationKind> kObservations[] = {
    {"screenshot", ObservationKind::Screenshot},
    {"dump-vars", ObservationKind::DumpVars},
    {"dump-scene", ObservationKind::DumpScene}};

constexpr std::pair<std::string_view, DialogAnswer> kAnswers[] = {{"ok", DialogAnswer::Ok},
                                                                  {"cancel", DialogAnswer::Cancel},
                                                                  {"yes", DialogAnswer::Yes},
                                                                  {"no", DialogAnswer::No}};

// The character a key types on a US keyboard, with and without shift; 0 for keys that type
// none.
char UsLayoutChar(int32_t key, bool shift) {
    if (key >= 'A' && key <= 'Z') return static_cast<char>(shift ? key : key + 32);
    if (key >= '0' && key <= '9') return shift ? ")!@#$%^&*("[key - '0'] : static_cast<char>(key);
    if (key == 0x20) return ' ';
    constexpr struct {
        int32_t key;
        char plain, shifted;
    } kPunctuation[] = {{0xBA, ';', ':'},  {0xBB, '=', '+'}, {0xBC, ',', '<'}, {0xBD, '-', '_'},
                        {0xBE, '.', '>'},  {0xBF, '/', '?'}, {0xC0, '`', '~'}, {0xDB, '[', '{'},
                        {0xDC, '\\', '|'}, {0xDD, ']', '}'}, {0xDE, '\'', '"'}};
    for (const auto& p : kPunctuation) {
        if (p.key == key) return shift ? p.shifted : p.plain;
    }
    return 0;
}

constexpr int32_t kShiftKey = 0x10, kControlKey = 0x11;

}  // namespace

InputScript ParseInputScript(std::string_view text, std::string_view fileName) {
    if (text.size() > kMaxScriptBytes)
        throw KivoError(std::string(fileName), "input script too large");
    InputScript script;
    int lineNumber = 0;
    bool shiftHeld = false;
    bool controlHeld = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        const auto fail = [&](std::string_view what) {
            throw KivoError(std::string(fileName),
                            "line " + std::to_string(lineNumber) + ": " + std::string(what));
        };

        const std::vector<std::string_view> words = SplitWords(line);
        if (words.empty() || words[0].front() == '#') continue;
        if (words.size() < 2) fail("expected FRAME EVENT");
        ScriptedInput item;
        const std::optional<int32_t> frame = ParseInt(words[0], 0, INT32_MAX);
        if (!frame) fail("bad frame number '" + std::string(words[0]) + "'");
        item.frame = *frame;

        const auto observation = std::find_if(std::begin(kObservations), std::end(kObservations),
                                              [&](const auto& o) { return o.first == words[1]; });
        if (observation != std::end(kObservations)) {
            const std::string_view path = RestOfLine(line, words[1]);
            if (path.empty()) fail("expected " + std::string(words[1]) + " PATH");
            script.observations.push_back(
                Observation{*frame, observation->second, std::filesystem::path(path)});
            continue;
        }
        if (words[1] == "answer" && words.size() >= 3 && words[2] == "folder") {
            const std::string_view path = RestOfLine(line, words[2]);
            if (path.empty()) fail("expected answer folder PATH");
            item.isAnswer = true;
            item.folder = std::filesystem::path(path);
        } else if (words[1] == "answer") {
            if (words.size() != 3) fail("expected answer ok|cancel|yes|no|folder PATH");
            const auto found = std::find_if(std::begin(kAnswers), std::end(kAnswers),
                                            [&](const auto& a) { return a.first == words[2]; });
            if (found == std::end(kAnswers)) fail("unknown answer '" + std::string(words[2]) + "'");
            item.isAnswer = true;
            item.answer = found->second;
        } else if (words[1] == "text") {
            // The rest of the line as the keyboard or an input method commits it.
            const std::string_view typed = RestOfLine(line, words[1]);
            if (typed.empty()) fail("expected text UTF8");
            item.event.kind = InputKind::TextInput;
            item.event.text = std::string(typed);
        } else if (words[1] == "choose") {
            if (words.size() != 3) fail("expected choose N");
            const std::optional<int32_t> choice = ParseInt(words[2], 0, INT32_MAX);
            if (!choice) fail("bad line number '" + std::string(words[2]) + "'");
            item.isAnswer = true;
            item.choice = *choice;
        } else {
            const auto verb = std::find_if(std::begin(kVerbs), std::end(kVerbs),
                                           [&](const Verb& v) { return v.name == words[1]; });
            if (verb == std::end(kVerbs)) fail("unknown event '" + std::string(words[1]) + "'");
            if (static_cast<int>(words.size()) != 2 + verb->operands) fail("wrong operand count");
            item.event.kind = verb->kind;
            if (verb->operands == 1) {
                const std::optional<int32_t> key = ParseInt(words[2], 0, 255);
                if (!key) fail("bad key code '" + std::string(words[2]) + "' (0..255)");
                item.event.key = *key;
                if (*key == kShiftKey) shiftHeld = verb->kind == InputKind::KeyDown;
                if (*key == kControlKey) controlHeld = verb->kind == InputKind::KeyDown;
            } else if (verb->operands == 2) {
                const std::optional<int32_t> x = ParseInt(words[2], INT32_MIN, INT32_MAX);
                const std::optional<int32_t> y = ParseInt(words[3], INT32_MIN, INT32_MAX);
                if (!x || !y) fail("bad position");
                item.event.x = *x;
                item.event.y = *y;
            }
        }
        script.input.push_back(item);
        if (item.event.kind == InputKind::KeyDown && !item.isAnswer) {
            // A printable key also types its character, as a keyboard does into a text field;
            // with Ctrl held it is a shortcut (copy, paste...) and types nothing.
            if (const char typed = controlHeld ? 0 : UsLayoutChar(item.event.key, shiftHeld);
                typed != 0) {
                ScriptedInput typing = item;
                typing.event = InputEvent{};
                typing.event.kind = InputKind::TextInput;
                typing.event.text = std::string(1, typed);
                script.input.push_back(typing);
            }
        }
    }
    const auto byFrame = [](const auto& a, const auto& b) { return a.frame < b.frame; };
    std::stable_sort(script.input.begin(), script.input.end(), byFrame);
    std::stable_sort(script.observations.begin(), script.observations.end(), byFrame);
    return script;
}

InputScript ReadInputScript(const std::filesystem::path& path) {
    return ParseInputScript(ReadBoundedFile(path, kMaxScriptBytes, "input script"), path.string());
}

}  // namespace kivo
