#pragma once
// The installation record install.dat that the installer leaves beside a game and on each
// data disc. The player needs its disc index, project title and all-data-installed flag; the
// other fields are kept as read so that the record can be written back unchanged.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "storage/stream.h"

namespace kivo {

struct TInstallData {
    int32_t version = 0;  // from the "is" + three digits header; 0 when there is none
    int32_t discIndex = 0;
    std::string projectTitle;
    std::array<std::string, 3> texts;
    uint8_t flag1 = 0;
    std::string text4;
    uint8_t flag2 = 0;
    std::string text5;
    int32_t value1 = 0;
    uint8_t flag3 = 0;
    uint8_t flag4 = 0;
    std::array<std::string, 2> texts6;
    std::vector<std::array<int64_t, 4>> groups;  // int64 on disk from version 100, else int32
    std::array<int64_t, 4> totals{};
    uint8_t flag5 = 0;
    uint8_t flag6 = 0;                   // version 101 and later
    std::vector<std::string> files;      // version 102 and later
    uint8_t allDataInstalled = 0;        // version 103 and later
    uint8_t flag7 = 0;                   // version 104 and later
    uint8_t flag8 = 0;                   // version 105 and later
    std::vector<std::string> moreFiles;  // version 106 and later
    std::string text7;                   // version 107 and later

    // Reads a record; damaged or truncated data raises KivoError naming the stream's source.
    [[nodiscard]] static TInstallData Read(TStream& stream);
    [[nodiscard]] static TInstallData LoadFromFile(const std::filesystem::path& path);
    void Write(TStream& stream) const;
    // Writes through a temporary file renamed over path.
    void SaveToFile(const std::filesystem::path& path) const;
    // Adds name to the file list once; false when the record has no file list (before 102).
    bool AddFile(const std::string& name);
};

}  // namespace kivo
