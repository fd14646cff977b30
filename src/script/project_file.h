#pragma once
// The project file (kivo.kpb) as plain data, with a reader and a writer that are exact
// inverses, and the folder-to-disc table it ends with.
//
// File layout (little-endian; "string" is a counted string, "bool" one byte):
//   int32  version V                 files above 110 are kept as unparsed bytes
//   string title
//   int32  screen width, height; int32 full-screen width, height
//   string start page
//   string exit page                  only when V > 109
//   string registry key
//   int32  identification code
//   bool   save enabled               only when V > 103 (otherwise true)
//   bool   frame pacing               only when V >= 106 (otherwise false)
//   string media extensions           only when V > 108 (otherwise ".wav.wma.ogg.mid")
//   string disc prompt, string quit text
//   int32  N, then N project variables: byte type (1 integer, 2 float, 3 flag, 4 string),
//          string name, the value (int32, 10-byte float, bool or string)
//   int32  M, then M folder-disc lines: string folder, int32 disc number

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_io.h"
#include "base/ext80.h"
#include "script/vocabulary.h"

namespace kivo {

inline constexpr int32_t kNewestProjectVersion = 110;

// Folder -> data disc (1-based) table: which disc holds the files of a folder that is not on
// the installed data.
class TFolderDiskList {
  public:
    struct Line {
        std::string folder;
        int32_t disc = 0;

        friend bool operator==(const Line&, const Line&) = default;
    };

    TFolderDiskList() = default;
    explicit TFolderDiskList(std::vector<Line> lines) : lines_(std::move(lines)) {}

    // The disc of a file name: the name itself, then each enclosing folder in turn, is looked
    // up as a folder (ASCII case ignored, both sides with a trailing '\'); 0 when none matches.
    [[nodiscard]] int32_t DiscOf(std::string_view fileName) const;

    // int32 count, then per line a string and an int32.
    void Load(ByteReader& reader);
    void Save(ByteWriter& writer) const;

    [[nodiscard]] const std::vector<Line>& Lines() const { return lines_; }
    [[nodiscard]] std::vector<Line>& Lines() { return lines_; }

    friend bool operator==(const TFolderDiskList&, const TFolderDiskList&) = default;

  private:
    std::vector<Line> lines_;
};

// A project-wide variable as stored: the field that matches the type holds the value.
struct ProjectVariable {
    uint8_t type = PT_INT;
    std::string name;
    int32_t intValue = 0;  // PT_INT
    Ext80 floatValue{};    // PT_FLOAT, the ten bytes as stored
    uint8_t flagByte = 0;  // PT_BOOL, the byte as stored (non-zero is true)
    std::string text;      // PT_STR

    friend bool operator==(const ProjectVariable&, const ProjectVariable&) = default;
};

struct ProjectFile {
    int32_t version = kNewestProjectVersion;
    std::string title;
    int32_t screenWidth = 0;
    int32_t screenHeight = 0;
    int32_t fullScreenWidth = 0;
    int32_t fullScreenHeight = 0;
    std::string startPage;
    std::string exitPage;  // stored when version > 109
    std::string registryKey;
    int32_t identificationCode = 0;
    // The two switches keep the stored byte (non-zero is on) so that a file reads back as it was.
    uint8_t saveEnabled = 1;                           // stored when version > 103
    uint8_t framePacing = 0;                           // stored when version >= 106
    std::string mediaExtensions = ".wav.wma.ogg.mid";  // stored when version > 108
    std::string discPrompt;
    std::string quitText;
    std::vector<ProjectVariable> variables;
    TFolderDiskList folderDiscs;
    // A file of a version above 110: every byte after the version, kept unparsed.
    std::vector<uint8_t> unparsedBody;
    // Bytes after the folder-disc table, which the player never reads.
    std::vector<uint8_t> trailer;

    [[nodiscard]] bool IsParsed() const { return version <= kNewestProjectVersion; }
    [[nodiscard]] bool HasExitPage() const { return version > 109; }
    [[nodiscard]] bool HasSaveEnabled() const { return version > 103; }
    [[nodiscard]] bool HasFramePacing() const { return version >= 106; }
    [[nodiscard]] bool HasMediaExtensions() const { return version > 108; }

    // Reads a project file. Damaged data and unknown variable types raise KivoError naming
    // fileName. Fields the version does not store keep the defaults above.
    [[nodiscard]] static ProjectFile Read(std::span<const uint8_t> bytes, std::string fileName);
    [[nodiscard]] std::vector<uint8_t> Write() const;

    friend bool operator==(const ProjectFile&, const ProjectFile&) = default;
};

// The folder-disc table of /original_kivo.kpb, which replaces the project's own: nullopt when
// the file's version is above 110 (the table is then left as it is).
[[nodiscard]] std::optional<TFolderDiskList> ReadFolderDiscTable(std::span<const uint8_t> bytes,
                                                                 std::string fileName);

}  // namespace kivo
