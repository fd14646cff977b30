#include "tools/pack/pack_commands.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>

#include "base/byte_io.h"
#include "base/error.h"
#include "base/sjis.h"
#include "platform/host_files.h"
#include "storage/vr_file_collection.h"

namespace kivo::pack {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    "usage: kivo-pack COMMAND ...\n"
    "\n"
    "  list ARCHIVE                     entries: name, size, stored flag, time, CRC, offset\n"
    "  extract ARCHIVE [-o DIR] [NAME...] unpack all or the named entries (CRCs checked)\n"
    "  create -o ARCHIVE DIR            pack every file below DIR\n"
    "  verify ARCHIVE                   read every entry and check its CRC\n"
    "  append-exe EXE ARCHIVE           append ARCHIVE to EXE with the \"kv\" trailer\n"
    "  --help                           this text\n"
    "  --version                        the version\n"
    "\n"
    "ARCHIVE may be game.dat, an executable carrying an archive (as its resource or after\n"
    "it), the first of split volumes (game.dat, game.001, ...) or save.dat. Names are\n"
    "Shift-JIS inside archives and UTF-8 on disk.\n";

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The UTF-8 form of an archive name for messages and host paths; names that are not
// Shift-JIS keep their bytes.
std::string DisplayName(std::string_view name) {
    if (auto utf8 = sjis::ToUtf8Strict(name)) return *utf8;
    return std::string(name);
}

std::string FormatDosTime(int32_t stamp) {
    if (stamp == 0) return "-";
    auto v = static_cast<uint32_t>(stamp);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", 1980 + (v >> 25),
                  (v >> 21) & 15, (v >> 16) & 31, (v >> 11) & 31, (v >> 5) & 63, (v & 31) * 2);
    return text;
}

// Draws "[#####.....] done/total name" on stderr when it is a terminal.
class ProgressBar {
  public:
    explicit ProgressBar(std::ostream& err)
        : err_(err), enabled_(host::StandardErrorIsTerminal()) {}
    ~ProgressBar() {
        if (enabled_ && drawn_) err_ << "\r\033[K" << std::flush;
    }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void Show(size_t done, size_t total, std::string_view name) {
        if (!enabled_ || total == 0) return;
        constexpr size_t kWidth = 30;
        size_t filled = done * kWidth / total;
        err_ << "\r\033[K[" << std::string(filled, '#') << std::string(kWidth - filled, '.') << "] "
             << done << '/' << total << ' ' << DisplayName(name).substr(0, 40) << std::flush;
        drawn_ = true;
    }

  private:
    std::ostream& err_;
    bool enabled_;
    bool drawn_ = false;
};

struct Options {
    std::vector<std::string> positional;
    std::optional<std::string> output;
};

Options ParseOptions(const std::vector<std::string>& args, size_t from) {
    Options options;
    for (size_t i = from; i < args.size(); ++i) {
        if (args[i] == "-o") {
            if (i + 1 >= args.size()) throw UsageError("-o needs a path");
            options.output = args[++i];
        } else if (args[i].size() > 1 && args[i][0] == '-' && args[i] != "--") {
            throw UsageError("unknown option " + args[i]);
        } else {
            options.positional.push_back(args[i]);
        }
    }
    return options;
}

void OpenExisting(TVrFileCollection& archive, const fs::path& path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) throw KivoError(path.string(), "no such archive");
    // A game's Windows program: the archive it holds as a resource comes first, as it did
    // for the program itself; otherwise the one after its end.
    if (sjis::ToUpperAscii(path.extension().string()) == ".EXE" &&
        archive.OpenResourceArchive(path, "DUMMY", "BINTYPE"))
        return;
    archive.OpenArchive(path, true);
    if (!archive.ArchiveStream()) throw KivoError(path.string(), "no archive found in this file");
}

// The bytes of an entry as they lie in the archive.
std::vector<uint8_t> StoredBytes(const TVrFileCollection& archive, const TVrFile& entry) {
    std::vector<uint8_t> stored(static_cast<size_t>(entry.size));
    archive.ArchiveStream()->SetPosition(entry.offset);
    if (archive.ArchiveStream()->Read(stored.data(), entry.size) != entry.size) {
        ThrowBadData(archive.ArchivePath().string(), "archive entry is truncated");
    }
    return stored;
}

// Reads an entry and checks its CRC where the archive records one (version 101 and later).
// Returns the content, or nullopt after reporting the fault.
std::optional<std::vector<uint8_t>> ReadChecked(const TVrFileCollection& archive,
                                                const TVrFile& entry, std::ostream& err) {
    try {
        std::vector<uint8_t> stored = StoredBytes(archive, entry);
        std::vector<uint8_t> content =
            entry.stored ? stored : Inflate(stored, archive.ArchivePath().string());
        if (archive.Version() >= 101) {
            uint32_t crc = Crc32(entry.rawChecksum ? content : stored);
            if (crc != static_cast<uint32_t>(entry.checksum)) {
                char text[64];
                std::snprintf(text, sizeof text, "CRC %08X, expected %08X", crc,
                              static_cast<uint32_t>(entry.checksum));
                err << DisplayName(entry.Name()) << ": " << text << '\n';
                return std::nullopt;
            }
        }
        return content;
    } catch (const KivoError& error) {
        err << DisplayName(entry.Name()) << ": " << error.Message() << '\n';
        return std::nullopt;
    }
}

// The host path below folder for an entry name, or nullopt when the name is absolute, climbs
// with "..", or holds control characters.
std::optional<fs::path> SafeOutputPath(const fs::path& folder, std::string_view name) {
    if (std::any_of(name.begin(), name.end(),
                    [](char c) { return static_cast<uint8_t>(c) < 0x20; }))
        return std::nullopt;
    auto parts = SplitVirtualName(name, false);
    if (!parts || parts->empty()) return std::nullopt;
    fs::path path = folder;
    for (const std::string& part : *parts)
        path /= DisplayName(part);
    return path;
}

void WriteHostFile(const fs::path& path, std::span<const uint8_t> bytes) {
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
    host::WriteFileBytes(path, bytes);
}

int List(const Options& options, std::ostream& out) {
    if (options.positional.size() != 1) throw UsageError("list takes one archive");
    TVrFileCollection archive;
    OpenExisting(archive, options.positional[0]);
    out << "version " << archive.Version() << ", " << archive.Files().size() << " entries\n";
    for (const TVrFile* entry : archive.Files()) {
        char line[128];
        std::snprintf(
            line, sizeof line, "%12lld %s %s %08X %12lld  ", static_cast<long long>(entry->size),
            entry->stored ? "stored" : "zlib  ", FormatDosTime(entry->timestamp).c_str(),
            static_cast<uint32_t>(entry->checksum), static_cast<long long>(entry->offset));
        out << line << DisplayName(entry->Name()) << '\n';
    }
    return 0;
}

int Extract(const Options& options, std::ostream& out, std::ostream& err) {
    if (options.positional.empty()) throw UsageError("extract needs an archive");
    TVrFileCollection archive;
    OpenExisting(archive, options.positional[0]);
    fs::path folder = options.output ? fs::path(*options.output) : fs::path(".");

    std::vector<TVrFile*> entries;
    int status = 0;
    if (options.positional.size() == 1) {
        entries = archive.Files();
    } else {
        for (size_t i = 1; i < options.positional.size(); ++i) {
            std::string name =
                sjis::FromUtf8(options.positional[i]).value_or(options.positional[i]);
            TVrFile* entry = archive.FindFile(NormalizeDelimiters(name));
            if (!entry) {
                err << options.positional[i] << ": no such entry\n";
                status = 1;
                continue;
            }
            entries.push_back(entry);
        }
    }
    ProgressBar progress(err);
    size_t written = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const TVrFile& entry = *entries[i];
        progress.Show(i, entries.size(), entry.Name());
        auto path = SafeOutputPath(folder, entry.Name());
        if (!path) {
            err << DisplayName(entry.Name()) << ": refused, the name leaves the output folder\n";
            status = 1;
            continue;
        }
        auto content = ReadChecked(archive, entry, err);
        if (!content) {
            status = 1;
            continue;
        }
        WriteHostFile(*path, *content);
        ++written;
    }
    progress.Show(entries.size(), entries.size(), "");
    out << written << " of " << entries.size() << " entries extracted to " << folder.string()
        << '\n';
    return status;
}

// The archive name of a path below the packed folder: components in Shift-JIS joined by '\'.
// Components that are not UTF-8 are taken as Shift-JIS bytes already.
std::string ArchiveNameOf(const fs::path& relative) {
    std::string name;
    for (const fs::path& part : relative) {
        std::string text = part.string();
        std::string cp932;
        if (sjis::ToUtf8Strict(text) && !sjis::FromUtf8(text)) {
            // Not UTF-8 but Shift-JIS as it stands.
            cp932 = text;
        } else if (auto converted = sjis::FromUtf8(text)) {
            cp932 = *converted;
        } else {
            throw KivoError(relative.string(),
                            "this name cannot be written in Shift-JIS (code page 932)");
        }
        if (!name.empty()) name += '\\';
        name += cp932;
    }
    return name;
}

int Create(const Options& options, std::ostream& out, std::ostream& err) {
    if (!options.output || options.positional.size() != 1)
        throw UsageError("create takes -o ARCHIVE and one folder");
    const fs::path folder = options.positional[0];
    const fs::path target = *options.output;
    std::error_code error;
    if (!fs::is_directory(folder, error)) throw KivoError(folder.string(), "no such folder");

    std::vector<fs::path> files;
    for (auto it = fs::recursive_directory_iterator(folder);
         it != fs::recursive_directory_iterator(); ++it) {
        if (!it->is_regular_file()) continue;
        if (fs::exists(target, error) && fs::equivalent(it->path(), target, error)) continue;
        files.push_back(fs::relative(it->path(), folder));
    }
    std::sort(files.begin(), files.end());

    TVrFileCollection archive;
    archive.SetBaseFolder(folder);
    std::map<std::string, std::string> seen;  // folded name -> first path, to catch clashes
    for (const fs::path& file : files) {
        std::string name = ArchiveNameOf(file);
        auto [it, added] = seen.emplace(sjis::ToUpperAscii(name), file.string());
        if (!added)
            throw KivoError(file.string(), "differs from " + it->second + " only in letter case");
        archive.AddEntry(name).rawChecksum = 1;
    }
    ProgressBar progress(err);
    archive.onProgress = [&](const TVrFile& entry, bool&, int32_t count, int32_t index,
                             int64_t bytes) {
        progress.Show(static_cast<size_t>(index) + (bytes > 0 ? 1 : 0), static_cast<size_t>(count),
                      entry.Name());
    };
    TTpBigFileStream stream(target, TTpBigFileStream::Mode::Create);
    if (!archive.WriteArchive(stream)) throw KivoError(target.string(), "writing was cancelled");
    stream.Commit();
    out << files.size() << " entries packed into " << target.string();
    if (stream.VolumeCount() > 1) out << " (" << stream.VolumeCount() << " volumes)";
    out << '\n';
    return 0;
}

int Verify(const Options& options, std::ostream& out, std::ostream& err) {
    if (options.positional.size() != 1) throw UsageError("verify takes one archive");
    TVrFileCollection archive;
    OpenExisting(archive, options.positional[0]);
    std::vector<TVrFile*> entries = archive.Files();
    size_t bad = 0;
    ProgressBar progress(err);
    for (size_t i = 0; i < entries.size(); ++i) {
        progress.Show(i, entries.size(), entries[i]->Name());
        if (!ReadChecked(archive, *entries[i], err)) ++bad;
    }
    progress.Show(entries.size(), entries.size(), "");
    out << entries.size() - bad << " of " << entries.size() << " entries good";
    if (archive.Version() < 101) out << " (this archive version records no CRCs)";
    out << '\n';
    return bad == 0 ? 0 : 1;
}

std::vector<uint8_t> ReadWhole(const fs::path& path) {
    TTpBigFileStream stream(path, TTpBigFileStream::Mode::Read);
    std::vector<uint8_t> bytes(static_cast<size_t>(stream.GetSize()));
    if (stream.Read(bytes.data(), stream.GetSize()) != stream.GetSize())
        throw KivoError(path.string(), "cannot read the file");
    return bytes;
}

int AppendExe(const Options& options, std::ostream& out) {
    if (options.positional.size() != 2)
        throw UsageError("append-exe takes an executable and an archive");
    const fs::path exe = options.positional[0];
    const fs::path archivePath = options.positional[1];
    if (fs::exists(fs::path(archivePath).replace_extension(".ext"))) {
        throw KivoError(archivePath.string(),
                        "keeps its directory in a .ext file; pack it again with create first");
    }
    TVrFileCollection check;
    OpenExisting(check, archivePath);
    std::vector<uint8_t> program = ReadWhole(exe);
    // An archive appended before is replaced, not stacked.
    if (program.size() >= 6 && program[program.size() - 2] == 'k' &&
        program[program.size() - 1] == 'v') {
        auto start = static_cast<int32_t>(LoadLE32(&program[program.size() - 6]));
        if (start >= 0 && static_cast<size_t>(start) <= program.size() - 6)
            program.resize(static_cast<size_t>(start));
    }
    std::vector<uint8_t> archive = ReadWhole(archivePath);
    if (program.size() > 0x7FFFFFFF)
        throw KivoError(exe.string(), "executable too large for the trailer");
    const auto start = static_cast<uint32_t>(program.size());
    program.insert(program.end(), archive.begin(), archive.end());
    uint8_t trailer[6];
    StoreLE32(trailer, start);
    trailer[4] = 'k';
    trailer[5] = 'v';
    program.insert(program.end(), trailer, trailer + 6);

    WriteHostFile(exe, program);
    out << "appended " << archive.size() << " bytes at offset " << start << " of " << exe.string()
        << '\n';
    return 0;
}

}  // namespace

int RunPack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        (args.empty() ? err : out) << kUsage;
        return args.empty() ? 2 : 0;
    }
    try {
        const std::string& command = args[0];
        if (command == "list") return List(ParseOptions(args, 1), out);
        if (command == "extract") return Extract(ParseOptions(args, 1), out, err);
        if (command == "create") return Create(ParseOptions(args, 1), out, err);
        if (command == "verify") return Verify(ParseOptions(args, 1), out, err);
        if (command == "append-exe") return AppendExe(ParseOptions(args, 1), out);
        throw UsageError("unknown command " + command);
    } catch (const UsageError& error) {
        err << "kivo-pack: " << error.what() << "\n\n" << kUsage;
        return 2;
    }
}

}  // namespace kivo::pack
