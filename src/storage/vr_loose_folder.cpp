#include "storage/vr_loose_folder.h"

#include <system_error>

#include "base/sjis.h"

namespace kivo {
namespace {

bool IsAbsoluteName(std::string_view name) {
    if (name.empty()) return false;
    if (sjis::IsDelimiterByte(static_cast<uint8_t>(name[0]))) return true;
    return name.size() >= 2 && name[1] == ':' && !sjis::IsLeadByte(static_cast<uint8_t>(name[0]));
}

// ASCII case folding of a UTF-8 file name: bytes of multi-byte sequences are all >= 0x80, so
// folding byte by byte never changes them.
std::string FoldUtf8(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(sjis::LowerAsciiByte(static_cast<uint8_t>(c)));
    return out;
}

bool Exists(const std::filesystem::path& path, bool wantFolder) {
    std::error_code error;
    auto status = std::filesystem::status(path, error);
    if (error) return false;
    return wantFolder ? std::filesystem::is_directory(status)
                      : std::filesystem::is_regular_file(status);
}

// The entry of folder whose name same() accepts, the smallest such name when several do, so
// that the choice does not hang on the order the folder lists its entries in.
template <typename Same>
std::optional<std::filesystem::path> SmallestMatchingEntry(const std::filesystem::path& folder,
                                                           bool wantFolder, Same&& same) {
    std::optional<std::string> best;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        std::string onDisk = it->path().filename().string();
        if (same(onDisk) && (!best || onDisk < *best) && Exists(it->path(), wantFolder))
            best = std::move(onDisk);
    }
    if (!best) return std::nullopt;
    return folder / *best;
}

// The entry of folder that spells component, trying the raw bytes, then the UTF-8 form, then
// every entry with ASCII case folded.
std::optional<std::filesystem::path> MatchComponent(const std::filesystem::path& folder,
                                                    const std::string& component, bool wantFolder) {
    std::optional<std::string> utf8 = sjis::ToUtf8Strict(component);
    if (Exists(folder / component, wantFolder)) return folder / component;
    if (utf8 && *utf8 != component && Exists(folder / *utf8, wantFolder)) return folder / *utf8;

    const std::string foldedUtf8 = utf8 ? FoldUtf8(*utf8) : std::string();
    return SmallestMatchingEntry(folder, wantFolder, [&](const std::string& onDisk) {
        return sjis::EqualsIgnoreCase(onDisk, component) ||
               (utf8 && FoldUtf8(onDisk) == foldedUtf8);
    });
}

}  // namespace

std::optional<std::filesystem::path> FindHostFileFolded(const std::filesystem::path& path) {
    if (Exists(path, false)) return path;
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    const std::string folded = FoldUtf8(path.filename().string());
    auto found = SmallestMatchingEntry(
        folder, false, [&](const std::string& onDisk) { return FoldUtf8(onDisk) == folded; });
    // Keep the folder as the caller spelled it (no "./" before a bare name).
    if (found && !path.has_parent_path()) return found->filename();
    return found;
}

std::string NormalizeDelimiters(std::string_view name) {
    std::string out(name);
    sjis::ForEachChar(name, [&](size_t pos, size_t len) {
        if (len == 1 && out[pos] == '/') out[pos] = '\\';
    });
    return out;
}

std::optional<std::vector<std::string>> SplitVirtualName(std::string_view name,
                                                         bool allowParentSteps) {
    if (IsAbsoluteName(name)) return std::nullopt;
    std::vector<std::string> parts;
    std::string current;
    bool climbed = false;
    auto finish = [&] {
        if (current == "..") {
            if (parts.empty() || !allowParentSteps)
                climbed = true;
            else
                parts.pop_back();
        } else if (!current.empty() && current != ".") {
            parts.push_back(current);
        }
        current.clear();
    };
    sjis::ForEachChar(name, [&](size_t pos, size_t len) {
        if (len == 1 && sjis::IsDelimiterByte(static_cast<uint8_t>(name[pos])))
            finish();
        else
            current.append(name.substr(pos, len));
    });
    finish();
    if (climbed) return std::nullopt;
    return parts;
}

std::optional<std::filesystem::path> TVrLooseFolder::Find(std::string_view name) const {
    if (!IsSet()) return std::nullopt;
    auto parts = SplitVirtualName(name);
    if (!parts || parts->empty()) return std::nullopt;
    std::filesystem::path at = root_;
    for (size_t i = 0; i < parts->size(); ++i) {
        auto next = MatchComponent(at, (*parts)[i], i + 1 < parts->size());
        if (!next) return std::nullopt;
        at = std::move(*next);
    }
    return at;
}

std::optional<std::filesystem::path> TVrLooseFolder::PathForWrite(std::string_view name) const {
    if (!IsSet()) return std::nullopt;
    auto parts = SplitVirtualName(name);
    if (!parts || parts->empty()) return std::nullopt;
    std::filesystem::path at = root_;
    bool matching = true;
    for (size_t i = 0; i < parts->size(); ++i) {
        const std::string& part = (*parts)[i];
        if (matching) {
            if (auto next = MatchComponent(at, part, i + 1 < parts->size())) {
                at = std::move(*next);
                continue;
            }
            matching = false;
        }
        at /= sjis::ToUtf8(part);
    }
    return at;
}

}  // namespace kivo
