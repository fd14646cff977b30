#pragma once
// Virtual names on the host file system. A virtual name is a relative path of Shift-JIS
// components split at '\' or '/' (a trail byte 0x5C is never a delimiter). On disk a component
// may be spelled with other ASCII letter case, and a Shift-JIS name may be stored either as its
// raw bytes or as their UTF-8 form, as copies from old machines are. Absolute names and names
// that climb above the folder with ".." never resolve.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// The components of a virtual name with "." dropped and ".." applied; nullopt for an absolute
// name (leading delimiter or a drive letter), one that climbs above its folder, or, unless
// parent steps are allowed, one with any ".." at all.
[[nodiscard]] std::optional<std::vector<std::string>> SplitVirtualName(
    std::string_view name, bool allowParentSteps = true);

// The name with every delimiter written as '\' (trail bytes untouched).
[[nodiscard]] std::string NormalizeDelimiters(std::string_view name);

// The regular file at path, or else the one in the same folder whose name matches path's with
// ASCII letter case folded (the smallest such name when several do); nullopt when there is
// none. path is a host path, as found on disk, not a virtual name.
[[nodiscard]] std::optional<std::filesystem::path> FindHostFileFolded(
    const std::filesystem::path& path);

// A host folder that virtual names are looked up in.
class TVrLooseFolder {
  public:
    TVrLooseFolder() = default;
    explicit TVrLooseFolder(std::filesystem::path root) : root_(std::move(root)) {}

    [[nodiscard]] bool IsSet() const { return !root_.empty(); }
    [[nodiscard]] const std::filesystem::path& Root() const { return root_; }

    // The existing regular file the name denotes, or nullopt.
    [[nodiscard]] std::optional<std::filesystem::path> Find(std::string_view name) const;
    // Where a file of this name is written: existing folders and the file are matched as Find
    // matches them, missing components are spelled in UTF-8. nullopt when the name is absolute
    // or climbs out of the folder.
    [[nodiscard]] std::optional<std::filesystem::path> PathForWrite(std::string_view name) const;

  private:
    std::filesystem::path root_;
};

}  // namespace kivo
