#pragma once
// Packed archives ("vf"): one archive's entry table, its reader (versions 0, 100, 101 and
// 102), its writer and the extraction of single entries. The layout is described for users in
// docs/formats.md.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/big_stream.h"
#include "storage/hash_collection.h"
#include "storage/pe_resources.h"
#include "storage/range_stream.h"
#include "storage/stream.h"
#include "storage/vr_loose_folder.h"

namespace kivo {

// The fixed key both the reader and the writer scramble names and offsets with.
inline constexpr int32_t kArchiveSeed = 0x4B69766F;  // "oviK" in memory: our own constant
// Entries of this size and above are stored as they are, so range streams can read them.
inline constexpr int64_t kStoreThreshold = 0x500000;
// The name of the end entry every read directory carries; it never shows as a file.
inline constexpr std::string_view kEndEntryName = "\\EOF\\";

// The standard CRC-32 (reflected 0xEDB88320, initial all ones, final complement), continued
// from crc (0 to start).
[[nodiscard]] uint32_t Crc32(std::span<const uint8_t> bytes, uint32_t crc = 0);
// zlib level 1, the archives' and GAL images' compression.
[[nodiscard]] std::vector<uint8_t> Deflate(std::span<const uint8_t> bytes);
// Inflates one zlib stream; truncated or corrupt data, or output beyond limit bytes, raises
// KivoError naming source.
[[nodiscard]] std::vector<uint8_t> Inflate(std::span<const uint8_t> bytes, std::string_view source,
                                           int64_t limit = -1);
// Inflates one zlib stream into out (replacing its content), growing it as needed; the same
// errors and cap as Inflate.
void InflateInto(std::span<const uint8_t> bytes, TByteBuffer& out, std::string_view source,
                 int64_t limit = -1);
// DOS date-time (date in the high half) of a host file's modification time, 0 when unknown.
[[nodiscard]] int32_t DosTimeOf(const std::filesystem::path& path);

// One archive entry.
class TVrFile : public THashCollectionItem {
  public:
    int64_t offset = 0;       // absolute position of the stored bytes in the archive stream
    int64_t size = 0;         // stored byte count
    uint8_t stored = 0;       // 1 = stored as is, 0 = zlib-compressed
    int32_t timestamp = 0;    // DOS date-time of the packed file, 0 if none
    int32_t checksum = 0;     // CRC-32
    uint8_t rawChecksum = 0;  // 1 = the checksum covers the uncompressed bytes
    bool endEntry = false;    // the "\EOF\" sentinel of a read directory
    std::unique_ptr<TTpMemoryStream> memory;  // content of a memory entry

    [[nodiscard]] bool IsMemoryEntry() const { return memory != nullptr; }
};

// Progress of WriteArchive: before each entry (bytes 0) and after it (bytes = stored size).
// Setting abort ends the write.
using TVrProgress = std::function<void(const TVrFile& entry, bool& abort, int32_t entryCount,
                                       int32_t entryIndex, int64_t bytesWritten)>;

class TVrFileCollection : public HashCollection<TVrFile> {
  public:
    TVrFileCollection() = default;

    // Clears and reads the archive at path. A path that does not name an existing file is
    // taken as a folder (the collection stays empty). Executables (".exe", ".scr" or an ELF
    // file) are read from their "kv" trailer and stay empty without one; a ".ext" sidecar
    // beside the archive holds its directory. Damaged directories raise KivoError naming path.
    void OpenArchive(const std::filesystem::path& path, bool pathIsFile);
    // Clears and reads the archive a Windows program carries as its resource of that name and
    // type (a game's "DUMMY" of type "BINTYPE"). False, with the collection left empty, when
    // the program has no such resource or the resource does not end in "vf"; a damaged
    // program or directory raises KivoError naming path.
    bool OpenResourceArchive(const std::filesystem::path& path, std::string_view resourceName,
                             std::string_view resourceType);
    // Where the program at path holds an archive resource of that name and type; nullopt
    // when it holds none or there is no such file.
    [[nodiscard]] static std::optional<PeResourceLocation> FindArchiveResource(
        const std::filesystem::path& path, std::string_view resourceName,
        std::string_view resourceType);
    // Clears and reads an archive held by stream (save data in memory, for one); name stands
    // for it in errors.
    void OpenStream(std::unique_ptr<TTpBigStream> stream, const std::filesystem::path& name);
    // Reads a directory from the stream's position; dataStart is added to every offset and
    // every entry must end at or before dataEnd.
    void ReadDirectory(TTpBigStream& stream, int64_t dataStart, int64_t dataEnd);

    TVrFile& AddEntry(std::string name);
    TVrFile& AddMemoryEntry(std::string name);
    void RemoveEntry(std::string_view name);
    // The entry of that name named last, never the end entry; nullptr when absent.
    [[nodiscard]] TVrFile* FindFile(std::string_view name) const;

    // The entry's content, uncompressed, into destination (cleared first when it is a memory
    // stream), positioned at 0; falls back to the base folder's loose file; raises the
    // missing-file error otherwise.
    void ExtractToStream(TStream& destination, std::string_view name);
    // The content of an archive entry, uncompressed; raises KivoError naming the archive on
    // damaged data.
    [[nodiscard]] std::vector<uint8_t> ReadEntry(const TVrFile& entry) const;
    // The same into out, reading a compressed entry's stored bytes through scratch: both
    // buffers keep their memory from one entry to the next.
    void ReadEntryInto(const TVrFile& entry, TByteBuffer& out, TByteBuffer& scratch) const;
    // A window over a stored entry in the archive file; nullptr when there is no archive
    // stream, no such entry, or the entry is compressed or a memory entry.
    [[nodiscard]] std::unique_ptr<TRangeStream> OpenEntryRange(std::string_view name) const;
    // Writes the collection as a version 102 archive; false when progress asked to abort.
    [[nodiscard]] bool WriteArchive(TTpBigStream& destination);

    [[nodiscard]] const std::filesystem::path& ArchivePath() const { return archivePath_; }
    [[nodiscard]] const std::filesystem::path& BaseFolder() const { return baseFolder_.Root(); }
    void SetBaseFolder(std::filesystem::path folder) {
        baseFolder_ = TVrLooseFolder(std::move(folder));
    }
    [[nodiscard]] TTpBigStream* ArchiveStream() const { return stream_.get(); }
    [[nodiscard]] int32_t Version() const { return version_; }
    // True for an archive read from a program's resource.
    [[nodiscard]] bool IsResourceArchive() const { return resource_; }
    // Entries in order without the end entry.
    [[nodiscard]] std::vector<TVrFile*> Files() const;

    TVrProgress onProgress;
    // When set, WriteArchive copies the entries of the collection's own archive as they are
    // stored (compression, timestamp and checksum kept) and never takes a loose file of the
    // base folder in an entry's place. Save data is rewritten this way.
    bool copyStoredBytes = false;

  private:
    void WriteEntryContent(TVrFile& entry, TTpBigStream& destination, TByteBuffer& copyBuffer);
    // The entry's bytes as stored in the archive stream, compressed or not.
    void ReadStoredBytes(const TVrFile& entry, TByteBuffer& out) const;
    // Writes the entry's stored bytes to destination in pieces through buffer, which keeps its
    // memory from one entry to the next.
    void CopyStoredBytes(const TVrFile& entry, TTpBigStream& destination,
                         TByteBuffer& buffer) const;

    std::unique_ptr<TTpBigStream> stream_;
    std::filesystem::path archivePath_;
    TVrLooseFolder baseFolder_;
    int32_t version_ = 0;
    bool resource_ = false;
};

// The missing-file error for a virtual name.
[[noreturn]] void ThrowFileMissing(std::string_view name);

}  // namespace kivo
