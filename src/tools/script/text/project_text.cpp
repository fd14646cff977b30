#include "tools/script/text/project_text.h"

#include <set>

#include "base/error.h"
#include "tools/script/text/expression_text.h"
#include "tools/script/text/text_syntax.h"

namespace kivo::script_text {

namespace {

// A setting of the project file: its key in the text, where it lives and which versions
// store it.
struct Setting {
    std::string_view key;
    enum class Kind : uint8_t { String, Int, IntPair, Byte } kind;
    std::string ProjectFile::*text = nullptr;
    int32_t ProjectFile::*first = nullptr;
    int32_t ProjectFile::*second = nullptr;
    uint8_t ProjectFile::*byte = nullptr;
    bool (ProjectFile::*stored)() const = nullptr;
};

using K = Setting::Kind;
const Setting kSettings[] = {
    {"title", K::String, &ProjectFile::title},
    {"screen", K::IntPair, nullptr, &ProjectFile::screenWidth, &ProjectFile::screenHeight},
    {"fullscreen", K::IntPair, nullptr, &ProjectFile::fullScreenWidth,
     &ProjectFile::fullScreenHeight},
    {"start", K::String, &ProjectFile::startPage},
    {"exit", K::String, &ProjectFile::exitPage, nullptr, nullptr, nullptr,
     &ProjectFile::HasExitPage},
    {"registry", K::String, &ProjectFile::registryKey},
    {"id", K::Int, nullptr, &ProjectFile::identificationCode},
    {"save", K::Byte, nullptr, nullptr, nullptr, &ProjectFile::saveEnabled,
     &ProjectFile::HasSaveEnabled},
    {"pacing", K::Byte, nullptr, nullptr, nullptr, &ProjectFile::framePacing,
     &ProjectFile::HasFramePacing},
    {"media", K::String, &ProjectFile::mediaExtensions, nullptr, nullptr, nullptr,
     &ProjectFile::HasMediaExtensions},
    {"discprompt", K::String, &ProjectFile::discPrompt},
    {"quittext", K::String, &ProjectFile::quitText},
};

// The stored value of a variable as an operand of its type.
TOperand ValueOperand(const ProjectVariable& variable) {
    TOperand operand;
    operand.kindByte = variable.type;
    operand.intValue = variable.intValue;
    operand.floatValue = variable.floatValue;
    operand.flagByte = variable.flagByte;
    operand.text = variable.text;
    return operand;
}

void ReadVariable(LineScanner& scanner, ProjectFile& project) {
    ProjectVariable variable;
    size_t start = (scanner.SkipSpaces(), scanner.Offset());
    variable.type = scanner.ReadByteValue("a variable type");
    if (variable.type < PT_INT || variable.type > PT_STR) {
        scanner.FailAtOffset(start, "a project variable is PT_INT, PT_FLOAT, PT_BOOL or PT_STR");
    }
    variable.name = scanner.ReadQuoted();
    size_t valueStart = (scanner.SkipSpaces(), scanner.Offset());
    TOperand value = ReadOperand(scanner);
    if (value.kindByte != variable.type) {
        scanner.FailAtOffset(valueStart, "the value does not have the variable's type");
    }
    variable.intValue = value.intValue;
    variable.floatValue = value.floatValue;
    variable.flagByte = value.flagByte;
    variable.text = value.text;
    project.variables.push_back(std::move(variable));
}

}  // namespace

std::string WriteProjectText(const ProjectFile& project) {
    std::string out = "version " + std::to_string(project.version) + "\n";
    if (!project.IsParsed()) {
        AppendHexLines(out, "body", project.unparsedBody);
        return out;
    }
    for (const Setting& setting : kSettings) {
        if (setting.stored != nullptr && !(project.*setting.stored)()) continue;
        out += setting.key;
        switch (setting.kind) {
            case K::String:
                out += " " + QuoteCp932(project.*setting.text);
                break;
            case K::Int:
                out += " " + std::to_string(project.*setting.first);
                break;
            case K::IntPair:
                out += " " + std::to_string(project.*setting.first) + " " +
                       std::to_string(project.*setting.second);
                break;
            case K::Byte:
                out += " " + std::to_string(project.*setting.byte);
                break;
        }
        out += "\n";
    }
    for (const ProjectVariable& variable : project.variables) {
        out += "var " + ValueTypeText(variable.type) + " " + QuoteCp932(variable.name) + " " +
               WriteOperand(ValueOperand(variable)) + "\n";
    }
    for (const TFolderDiskList::Line& line : project.folderDiscs.Lines()) {
        out += "disc " + QuoteCp932(line.folder) + " " + std::to_string(line.disc) + "\n";
    }
    AppendHexLines(out, "trailer", project.trailer);
    return out;
}

ProjectFile ReadProjectText(std::string_view text, const std::string& fileName) {
    ProjectFile project;
    std::set<std::string_view> seen;
    bool sawBody = false;
    ForEachLine(text, [&](int number, std::string_view line) {
        LineScanner scanner(fileName, number, line);
        if (scanner.AtEnd()) return;
        size_t start = scanner.Offset();
        std::string key = scanner.ReadWord("a setting");
        const Setting* setting = nullptr;
        for (const Setting& candidate : kSettings) {
            if (candidate.key == key) setting = &candidate;
        }
        bool once = setting != nullptr || key == "version";
        if (once && !seen.insert(setting != nullptr ? setting->key : "version").second) {
            scanner.FailAtOffset(start, "\"" + key + "\" given twice");
        }
        if (key == "version") {
            if (seen.size() > 1 || !project.variables.empty() ||
                !project.folderDiscs.Lines().empty()) {
                scanner.FailAtOffset(start, "version must come first");
            }
            project.version = scanner.ReadInt("a version");
        } else if (setting != nullptr) {
            if (setting->stored != nullptr && !(project.*setting->stored)()) {
                scanner.FailAtOffset(start, "\"" + key + "\" is not stored in version " +
                                                std::to_string(project.version) + " files");
            }
            switch (setting->kind) {
                case K::String:
                    project.*setting->text = scanner.ReadQuoted();
                    break;
                case K::Int:
                    project.*setting->first = scanner.ReadInt(key);
                    break;
                case K::IntPair:
                    project.*setting->first = scanner.ReadInt("a width");
                    project.*setting->second = scanner.ReadInt("a height");
                    break;
                case K::Byte:
                    project.*setting->byte = scanner.ReadByteValue(key);
                    break;
            }
        } else if (key == "var") {
            ReadVariable(scanner, project);
        } else if (key == "disc") {
            TFolderDiskList::Line disc;
            disc.folder = scanner.ReadQuoted();
            disc.disc = scanner.ReadInt("a disc number");
            project.folderDiscs.Lines().push_back(std::move(disc));
        } else if (key == "trailer" || key == "body") {
            std::vector<uint8_t> bytes = scanner.ReadHex();
            auto& target = key == "body" ? project.unparsedBody : project.trailer;
            target.insert(target.end(), bytes.begin(), bytes.end());
            sawBody = sawBody || key == "body";
        } else {
            scanner.FailAtOffset(start, "unknown setting \"" + key + "\"");
        }
        if (!scanner.AtEnd()) scanner.Fail("unexpected text");
    });
    if (project.IsParsed() && sawBody) {
        FailAt(fileName, 1, 1, "only files of versions above 110 have a body");
    }
    if (!project.IsParsed() && (seen.size() > 1 || !project.variables.empty() ||
                                !project.folderDiscs.Lines().empty() || !project.trailer.empty())) {
        FailAt(fileName, 1, 1, "a file of a version above 110 holds nothing but its body");
    }
    return project;
}

}  // namespace kivo::script_text
