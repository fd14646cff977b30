#include "script/project_file.h"

#include "base/error.h"
#include "base/sjis.h"

namespace kivo {
namespace {

// The smallest stored variable: type byte and an empty name.
constexpr size_t kMinVariableBytes = 1 + 4;
// The smallest folder-disc line: an empty folder and the disc number.
constexpr size_t kMinLineBytes = 4 + 4;

std::string WithTrailingDelimiter(std::string_view folder) {
    std::string result(folder);
    if (result.empty() || sjis::FindLastDelimiter(result) != result.size() - 1) result += '\\';
    return result;
}

ProjectVariable ReadVariable(ByteReader& reader) {
    ProjectVariable variable;
    variable.type = reader.ReadU8();
    variable.name = reader.ReadCountedString();
    switch (variable.type) {
        case PT_INT:
            variable.intValue = reader.ReadI32();
            break;
        case PT_FLOAT:
            variable.floatValue = reader.ReadExt80();
            break;
        case PT_BOOL:
            variable.flagByte = reader.ReadU8();
            break;
        case PT_STR:
            variable.text = reader.ReadCountedString();
            break;
        case PT_NONE:  // a reference has no stored value
            break;
        default:
            reader.Fail("unknown type " + std::to_string(variable.type) + " of project variable " +
                        variable.name);
    }
    return variable;
}

void WriteVariable(ByteWriter& writer, const ProjectVariable& variable) {
    writer.WriteU8(variable.type);
    writer.WriteCountedString(variable.name);
    switch (variable.type) {
        case PT_INT:
            writer.WriteI32(variable.intValue);
            break;
        case PT_FLOAT:
            writer.WriteExt80(variable.floatValue);
            break;
        case PT_BOOL:
            writer.WriteU8(variable.flagByte);
            break;
        case PT_STR:
            writer.WriteCountedString(variable.text);
            break;
        case PT_NONE:
            break;
        default:
            throw KivoError("unknown type " + std::to_string(variable.type) +
                            " of project variable " + variable.name);
    }
}

}  // namespace

int32_t TFolderDiskList::DiscOf(std::string_view fileName) const {
    std::string name = sjis::ToUpperAscii(fileName);
    while (!name.empty()) {
        const std::string folder = WithTrailingDelimiter(name);
        for (const Line& line : lines_)
            if (sjis::EqualsIgnoreCase(WithTrailingDelimiter(line.folder), folder))
                return line.disc;
        const size_t cut = sjis::FindLastDelimiter(name);
        name.resize(cut == std::string::npos ? 0 : cut);
    }
    return 0;
}

void TFolderDiskList::Load(ByteReader& reader) {
    std::vector<Line> lines;
    const uint32_t count = reader.ReadCount(kMinLineBytes);
    lines.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        Line line;
        line.folder = reader.ReadCountedString();
        line.disc = reader.ReadI32();
        lines.push_back(std::move(line));
    }
    lines_ = std::move(lines);
}

void TFolderDiskList::Save(ByteWriter& writer) const {
    writer.WriteI32(static_cast<int32_t>(lines_.size()));
    for (const Line& line : lines_) {
        writer.WriteCountedString(line.folder);
        writer.WriteI32(line.disc);
    }
}

ProjectFile ProjectFile::Read(std::span<const uint8_t> bytes, std::string fileName) {
    ByteReader reader(bytes, std::move(fileName));
    ProjectFile project;
    project.version = reader.ReadI32();
    if (!project.IsParsed()) {
        const auto body = reader.ReadBytes(reader.Remaining());
        project.unparsedBody.assign(body.begin(), body.end());
        return project;
    }
    project.title = reader.ReadCountedString();
    project.screenWidth = reader.ReadI32();
    project.screenHeight = reader.ReadI32();
    project.fullScreenWidth = reader.ReadI32();
    project.fullScreenHeight = reader.ReadI32();
    project.startPage = reader.ReadCountedString();
    if (project.HasExitPage()) project.exitPage = reader.ReadCountedString();
    project.registryKey = reader.ReadCountedString();
    project.identificationCode = reader.ReadI32();
    if (project.HasSaveEnabled()) project.saveEnabled = reader.ReadU8();
    if (project.HasFramePacing()) project.framePacing = reader.ReadU8();
    if (project.HasMediaExtensions()) project.mediaExtensions = reader.ReadCountedString();
    project.discPrompt = reader.ReadCountedString();
    project.quitText = reader.ReadCountedString();
    const uint32_t count = reader.ReadCount(kMinVariableBytes);
    project.variables.reserve(count);
    for (uint32_t i = 0; i < count; ++i)
        project.variables.push_back(ReadVariable(reader));
    project.folderDiscs.Load(reader);
    const auto rest = reader.ReadBytes(reader.Remaining());
    project.trailer.assign(rest.begin(), rest.end());
    return project;
}

std::vector<uint8_t> ProjectFile::Write() const {
    ByteWriter writer;
    writer.WriteI32(version);
    if (!IsParsed()) {
        writer.WriteBytes(unparsedBody);
        return writer.Take();
    }
    writer.WriteCountedString(title);
    writer.WriteI32(screenWidth);
    writer.WriteI32(screenHeight);
    writer.WriteI32(fullScreenWidth);
    writer.WriteI32(fullScreenHeight);
    writer.WriteCountedString(startPage);
    if (HasExitPage()) writer.WriteCountedString(exitPage);
    writer.WriteCountedString(registryKey);
    writer.WriteI32(identificationCode);
    if (HasSaveEnabled()) writer.WriteU8(saveEnabled);
    if (HasFramePacing()) writer.WriteU8(framePacing);
    if (HasMediaExtensions()) writer.WriteCountedString(mediaExtensions);
    writer.WriteCountedString(discPrompt);
    writer.WriteCountedString(quitText);
    writer.WriteI32(static_cast<int32_t>(variables.size()));
    for (const ProjectVariable& variable : variables)
        WriteVariable(writer, variable);
    folderDiscs.Save(writer);
    writer.WriteBytes(trailer);
    return writer.Take();
}

std::optional<TFolderDiskList> ReadFolderDiscTable(std::span<const uint8_t> bytes,
                                                   std::string fileName) {
    ProjectFile project = ProjectFile::Read(bytes, std::move(fileName));
    if (!project.IsParsed()) return std::nullopt;
    return std::move(project.folderDiscs);
}

}  // namespace kivo
