#include "storage/vr_file_collection.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>
#include <limits>
#include <system_error>

#include "base/byte_io.h"
#include "base/error.h"
#include "base/sjis.h"
#include "storage/tp_random.h"

namespace kivo {
namespace {

// No entry inflates to more than this, whatever its header claims: far above any real
// resource, far below what would exhaust memory.
constexpr int64_t kInflateCap = int64_t{1} << 30;
// Deflate cannot expand data by more than about 1032 to 1.
constexpr int64_t kDeflateRatio = 1032;

constexpr std::string_view kMediaExtensions = ".WAV.WMA.OGG.AVI.MPG.MPEG.M1V.WMV.ASF.DAT.";

bool IsExecutablePath(const std::filesystem::path& path, const host::HostFile& file) {
    std::string ext = sjis::ToUpperAscii(path.extension().string());
    if (ext == ".EXE" || ext == ".SCR") return true;
    // Our own player is an ELF program; an archive never starts like one.
    uint8_t magic[4] = {};
    return file.ReadAt(0, magic, 4) == 4 && magic[0] == 0x7F && magic[1] == 'E' &&
           magic[2] == 'L' && magic[3] == 'F';
}

// Whether a loose file may be compressed when it is packed. GAL images are compressible only
// when their pixel data is stored raw (version 103 and later, encoding byte 1); media formats
// never are; anything else only below the store threshold.
bool IsCompressible(const std::string& upperExtension, std::span<const uint8_t> head,
                    int64_t size) {
    if (upperExtension == ".GAL") {
        // "Gale" + three digits, int32 header size, then the record whose byte 22 is the
        // pixel encoding.
        if (head.size() < 7 + 4 + 23 ||
            std::string_view(reinterpret_cast<const char*>(head.data()), 4) != "Gale") {
            return false;
        }
        int version = 0;
        for (size_t i = 4; i < 7; ++i) {
            if (head[i] < '0' || head[i] > '9') return false;
            version = version * 10 + (head[i] - '0');
        }
        return version > 102 && head[7 + 4 + 22] == 1;
    }
    if (!upperExtension.empty() &&
        kMediaExtensions.find(upperExtension + ".") != std::string_view::npos)
        return false;
    return size < kStoreThreshold;
}

std::string UpperExtensionOf(std::string_view name) {
    size_t dot = sjis::FindLastChar(name, '.');
    size_t slash = sjis::FindLastDelimiter(name);
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    return sjis::ToUpperAscii(name.substr(dot));
}

// The directory sidecar beside an archive file: its name with the extension ".ext", in any
// letter case.
std::optional<std::filesystem::path> SidecarOf(const std::filesystem::path& archive) {
    std::filesystem::path name = archive.filename();
    if (sjis::ToUpperAscii(name.extension().string()) == ".EXT") return std::nullopt;
    name.replace_extension(".ext");
    return TVrLooseFolder(archive.has_parent_path() ? archive.parent_path() : ".")
        .Find(name.string());
}

int64_t CheckedRead(TTpBigStream& stream, void* buffer, int64_t count, const std::string& source) {
    if (stream.Read(buffer, count) != count) ThrowBadData(source, "archive directory is truncated");
    return count;
}

}  // namespace

uint32_t Crc32(std::span<const uint8_t> bytes, uint32_t crc) {
    // zlib's CRC is the same polynomial, start and complement, and runs several bytes a step.
    return static_cast<uint32_t>(crc32_z(crc, bytes.data(), bytes.size()));
}

std::vector<uint8_t> Deflate(std::span<const uint8_t> bytes) {
    uLongf bound = compressBound(static_cast<uLong>(bytes.size()));
    std::vector<uint8_t> out(bound);
    if (compress2(out.data(), &bound, bytes.data(), static_cast<uLong>(bytes.size()), 1) != Z_OK) {
        throw KivoError("compression failed");
    }
    out.resize(bound);
    return out;
}

std::vector<uint8_t> Inflate(std::span<const uint8_t> bytes, std::string_view source,
                             int64_t limit) {
    TByteBuffer out;
    InflateInto(bytes, out, source, limit);
    return {out.begin(), out.end()};
}

void InflateInto(std::span<const uint8_t> bytes, TByteBuffer& out, std::string_view source,
                 int64_t limit) {
    int64_t cap =
        std::min<int64_t>(kInflateCap, static_cast<int64_t>(bytes.size()) * kDeflateRatio + 1024);
    if (limit >= 0) cap = std::min(cap, limit);
    z_stream z{};
    if (inflateInit(&z) != Z_OK) ThrowBadData(source, "cannot start inflating");
    z.next_in = const_cast<Bytef*>(bytes.data());
    z.avail_in = static_cast<uInt>(bytes.size());

    // Most resources inflate to less than four times their stored size; the buffer grows by
    // doubling past that. Its bytes are never zero-filled, and it keeps its memory from one
    // entry to the next.
    int64_t produced = 0;
    out.resize(static_cast<size_t>(
        std::min<int64_t>(cap, static_cast<int64_t>(bytes.size()) * 4 + 65536)));
    int result = Z_OK;
    while (true) {
        if (produced == static_cast<int64_t>(out.size())) {
            if (produced >= cap) break;
            out.resize(static_cast<size_t>(std::min<int64_t>(cap, produced * 2)));
        }
        const int64_t room = std::min<int64_t>(static_cast<int64_t>(out.size()) - produced,
                                               std::numeric_limits<uInt>::max());
        z.next_out = out.data() + produced;
        z.avail_out = static_cast<uInt>(room);
        result = inflate(&z, Z_NO_FLUSH);
        produced += room - z.avail_out;
        if (result == Z_STREAM_END) break;
        if (result == Z_BUF_ERROR && z.avail_out != 0) break;  // input ran out: truncated
        if (result != Z_OK && result != Z_BUF_ERROR) break;
    }
    inflateEnd(&z);
    out.resize(static_cast<size_t>(produced));
    if (result != Z_STREAM_END) {
        if (produced >= cap) ThrowBadData(source, "compressed entry inflates beyond its limit");
        ThrowBadData(source, result == Z_DATA_ERROR ? "compressed entry is corrupt"
                                                    : "compressed entry is truncated");
    }
}

int32_t DosTimeOf(const std::filesystem::path& path) {
    std::error_code error;
    auto written = std::filesystem::last_write_time(path, error);
    if (error) return 0;
    std::time_t seconds =
        std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(written));
    const std::tm* local = std::localtime(&seconds);
    if (!local || local->tm_year < 80) return 0;
    uint32_t date = static_cast<uint32_t>((local->tm_year - 80) << 9 | (local->tm_mon + 1) << 5 |
                                          local->tm_mday);
    uint32_t time =
        static_cast<uint32_t>(local->tm_hour << 11 | local->tm_min << 5 | local->tm_sec / 2);
    return static_cast<int32_t>(date << 16 | time);
}

void ThrowFileMissing(std::string_view name) {
    throw KivoError(sjis::ToUtf8(name) + ":ファイルがありません");
}

void TVrFileCollection::OpenArchive(const std::filesystem::path& path, bool pathIsFile) {
    Clear();
    stream_.reset();
    archivePath_ = path;
    version_ = 0;
    resource_ = false;
    if (path.empty()) return;
    std::error_code error;
    bool exists = std::filesystem::is_regular_file(path, error);
    SetBaseFolder(exists || pathIsFile ? path.parent_path() : path);
    if (!exists) return;

    auto stream = std::make_unique<TTpBigFileStream>(path, TTpBigFileStream::Mode::Read);
    int64_t size = stream->GetSize();
    auto probe = host::HostFile::OpenRead(path);
    if (probe && IsExecutablePath(path, *probe)) {
        uint8_t trailer[6];
        if (size < 6) return;
        stream->SetPosition(size - 6);
        CheckedRead(*stream, trailer, 6, path.string());
        // Without the trailer the executable carries no archive and nothing is mounted.
        if (trailer[4] != 'k' || trailer[5] != 'v') return;
        auto start = static_cast<int32_t>(LoadLE32(trailer));
        if (start < 0 || start > size - 6)
            ThrowBadData(path.string(), "archive start lies outside the executable");
        stream->SetPosition(start);
        ReadDirectory(*stream, start, size - 6);
    } else if (std::optional<std::filesystem::path> sidecar = SidecarOf(path)) {
        TTpBigMemoryStream directory;
        directory.LoadFromFile(*sidecar);
        ReadDirectory(directory, 0, size);
    } else {
        ReadDirectory(*stream, 0, size);
    }
    stream_ = std::move(stream);
}

std::optional<PeResourceLocation> TVrFileCollection::FindArchiveResource(
    const std::filesystem::path& path, std::string_view resourceName,
    std::string_view resourceType) {
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error)) return std::nullopt;
    TTpBigFileStream file(path, TTpBigFileStream::Mode::Read);
    const std::optional<PeResourceLocation> location =
        FindPeResource(file, resourceType, resourceName, path.string());
    if (!location || location->size < 2) return std::nullopt;
    uint8_t mark[2] = {};
    if (file.ReadAt(location->offset + location->size - 2, mark, 2) != 2 || mark[0] != 'v' ||
        mark[1] != 'f')
        return std::nullopt;
    return location;
}

bool TVrFileCollection::OpenResourceArchive(const std::filesystem::path& path,
                                            std::string_view resourceName,
                                            std::string_view resourceType) {
    Clear();
    stream_.reset();
    archivePath_ = path;
    version_ = 0;
    resource_ = true;
    SetBaseFolder(path.parent_path());
    const std::optional<PeResourceLocation> location =
        FindArchiveResource(path, resourceName, resourceType);
    if (!location) return false;
    // The directory starts at the resource's first byte and its offsets count from there.
    auto stream = std::make_unique<TTpBigFileStream>(path, TTpBigFileStream::Mode::Read);
    stream->SetPosition(location->offset);
    ReadDirectory(*stream, location->offset, location->offset + location->size);
    stream_ = std::move(stream);
    return true;
}

void TVrFileCollection::OpenStream(std::unique_ptr<TTpBigStream> stream,
                                   const std::filesystem::path& name) {
    Clear();
    stream_.reset();
    archivePath_ = name;
    version_ = 0;
    resource_ = false;
    stream->SetPosition(0);
    ReadDirectory(*stream, 0, stream->GetSize());
    stream_ = std::move(stream);
}

void TVrFileCollection::ReadDirectory(TTpBigStream& stream, int64_t dataStart, int64_t dataEnd) {
    const std::string source = archivePath_.empty() ? stream.SourceName() : archivePath_.string();
    auto left = [&] { return stream.GetSize() - stream.GetPosition(); };

    uint8_t word[8];
    version_ = 0;
    if (stream.Read(word, 2) == 2 && word[0] == 'v' && word[1] == 'f') {
        CheckedRead(stream, word, 4, source);
        version_ = static_cast<int32_t>(LoadLE32(word));
    } else {
        stream.SetPosition(dataStart);
    }
    CheckedRead(stream, word, 4, source);
    auto count = static_cast<int32_t>(LoadLE32(word));
    // Each entry takes at least its name length and one offset.
    if (count < 0 || count > left() / 8)
        ThrowBadData(source, "archive entry count does not fit the file");

    std::vector<std::string> names(static_cast<size_t>(count));
    {
        TTpBuffBigStream buffered(stream);
        for (std::string& name : names) {
            if (buffered.ReadBuffered(word, 4) != 4)
                ThrowBadData(source, "archive directory is truncated");
            auto length = static_cast<int32_t>(LoadLE32(word));
            if (length < 0 || length > stream.GetSize())
                ThrowBadData(source, "archive entry name length is out of range");
            name.resize(static_cast<size_t>(length));
            if (buffered.ReadBuffered(name.data(), length) != length)
                ThrowBadData(source, "archive directory is truncated");
        }
    }
    if (version_ >= 100) {
        TTpRandom key(kArchiveSeed);
        for (std::string& name : names) {
            for (char& c : name)
                c = static_cast<char>(static_cast<uint8_t>(c) ^ static_cast<uint8_t>(key.Next()));
        }
    }

    const auto n = static_cast<size_t>(count);
    const bool wide = version_ >= 101;
    const int64_t arrayBytes =
        static_cast<int64_t>(n + 1) * (wide ? 8 : 4) +
        (wide ? static_cast<int64_t>(n) * (1 + 4 + 4 + (version_ >= 102 ? 1 : 0)) : 0);
    if (arrayBytes > left()) ThrowBadData(source, "archive directory is truncated");
    std::vector<uint8_t> arrays(static_cast<size_t>(arrayBytes));
    CheckedRead(stream, arrays.data(), arrayBytes, source);

    std::vector<int64_t> offsets(n + 1);
    TTpRandom key(kArchiveSeed);
    const bool scrambled = version_ >= 100;
    for (size_t i = 0; i <= n; ++i) {
        if (wide) {
            uint64_t v = LoadLE64(&arrays[i * 8]);
            if (scrambled) v ^= static_cast<uint64_t>(static_cast<int64_t>(key.Next()));
            offsets[i] = static_cast<int64_t>(v);
        } else {
            uint32_t v = LoadLE32(&arrays[i * 4]);
            if (scrambled) v ^= static_cast<uint32_t>(key.Next());
            offsets[i] = v;
        }
    }
    for (size_t i = 0; i <= n; ++i) {
        if (offsets[i] < 0 || (i > 0 && offsets[i] < offsets[i - 1]))
            ThrowBadData(source, "archive offsets fall");
    }
    if (offsets[n] > dataEnd - dataStart)
        ThrowBadData(source, "archive entries run past the end of the file");

    Reserve(static_cast<size_t>(Count()) + n + 1);
    const uint8_t* flags = arrays.data() + (n + 1) * (wide ? 8 : 4);
    for (size_t i = 0; i < n; ++i) {
        TVrFile& entry = AddEntry(std::move(names[i]));
        entry.offset = offsets[i] + dataStart;
        entry.size = offsets[i + 1] - offsets[i];
        if (wide) {
            entry.stored = flags[i];
            entry.timestamp = static_cast<int32_t>(LoadLE32(flags + n + 4 * i));
            entry.checksum = static_cast<int32_t>(LoadLE32(flags + 5 * n + 4 * i));
            if (version_ >= 102) entry.rawChecksum = flags[9 * n + i];
        }
    }
    // The end entry keeps its offset relative to the archive start.
    TVrFile& end = AddEntry(std::string(kEndEntryName));
    end.offset = offsets[n];
    end.endEntry = true;
}

TVrFile& TVrFileCollection::AddEntry(std::string name) {
    return HashCollection<TVrFile>::Add(std::make_unique<TVrFile>(), std::move(name));
}

TVrFile& TVrFileCollection::AddMemoryEntry(std::string name) {
    TVrFile& entry = AddEntry(std::move(name));
    entry.memory = std::make_unique<TTpMemoryStream>();
    return entry;
}

void TVrFileCollection::RemoveEntry(std::string_view name) {
    if (TVrFile* entry = FindFile(name)) Delete(entry->Index());
}

TVrFile* TVrFileCollection::FindFile(std::string_view name) const {
    TVrFile* found = nullptr;
    ForEachNamed(name, [&](const THashCollectionItem& item) {
        const auto& file = static_cast<const TVrFile&>(item);
        if (file.endEntry) return false;
        found = const_cast<TVrFile*>(&file);
        return true;
    });
    return found;
}

std::vector<TVrFile*> TVrFileCollection::Files() const {
    std::vector<TVrFile*> files;
    files.reserve(static_cast<size_t>(Count()));
    for (int32_t i = 0; i < Count(); ++i) {
        if (!At(i).endEntry) files.push_back(&At(i));
    }
    return files;
}

std::vector<uint8_t> TVrFileCollection::ReadEntry(const TVrFile& entry) const {
    TByteBuffer content, scratch;
    ReadEntryInto(entry, content, scratch);
    return {content.begin(), content.end()};
}

void TVrFileCollection::ReadEntryInto(const TVrFile& entry, TByteBuffer& out,
                                      TByteBuffer& scratch) const {
    if (entry.memory) {
        std::span<const uint8_t> bytes = entry.memory->Bytes();
        out.assign(bytes.begin(), bytes.end());
        return;
    }
    out.clear();
    if (!stream_ || entry.size <= 0) return;
    // Stored entries are read straight into out; compressed ones through scratch.
    TByteBuffer& stored = entry.stored ? out : scratch;
    try {
        ReadStoredBytes(entry, stored);
    } catch (...) {
        out.clear();
        throw;
    }
    if (!entry.stored) InflateInto(stored, out, archivePath_.string());
}

void TVrFileCollection::ReadStoredBytes(const TVrFile& entry, TByteBuffer& out) const {
    out.resize(static_cast<size_t>(std::max<int64_t>(entry.size, 0)));
    if (!stream_ || entry.size <= 0) return;
    const auto* file = dynamic_cast<const TTpBigFileStream*>(stream_.get());
    int64_t got = 0;
    if (file) {
        got = file->ReadAt(entry.offset, out.data(), entry.size);
    } else {
        stream_->SetPosition(entry.offset);
        got = stream_->Read(out.data(), entry.size);
    }
    if (got != entry.size) ThrowBadData(archivePath_.string(), "archive entry is truncated");
}

void TVrFileCollection::ExtractToStream(TStream& destination, std::string_view name) {
    if (auto* memory = dynamic_cast<TTpMemoryStream*>(&destination)) memory->Clear();
    const TVrFile* entry = FindFile(name);
    if (entry && (stream_ || entry->memory)) {
        std::vector<uint8_t> content = ReadEntry(*entry);
        destination.Write(content.data(), static_cast<int64_t>(content.size()));
        destination.SetPosition(0);
        return;
    }
    if (auto loose = baseFolder_.Find(name)) {
        std::error_code error;
        if (archivePath_.empty() || !std::filesystem::equivalent(*loose, archivePath_, error)) {
            TTpBigMemoryStream file;
            file.LoadFromFile(*loose);
            CopyStream(destination, file.Memory(), -1);
            destination.SetPosition(0);
            return;
        }
    }
    ThrowFileMissing(name);
}

std::unique_ptr<TRangeStream> TVrFileCollection::OpenEntryRange(std::string_view name) const {
    const TVrFile* entry = FindFile(name);
    if (!stream_ || !entry || entry->memory) return nullptr;
    if (entry->stored && dynamic_cast<const TTpBigFileStream*>(stream_.get())) {
        return std::make_unique<TFileRangeStream>(archivePath_, entry->offset, entry->size);
    }
    // A compressed entry read in place would hand the decoder zlib data; it gets a window
    // over its inflated content instead (as do entries of archives held in memory).
    auto content = std::make_unique<TTpBigMemoryStream>(ReadEntry(*entry), archivePath_.string());
    int64_t size = content->GetSize();
    return std::make_unique<TRangeStream>(std::move(content), 0, size);
}

namespace {

void WriteAll(TTpBigStream& destination, std::span<const uint8_t> bytes,
              const std::string& target) {
    if (destination.Write(bytes.data(), static_cast<int64_t>(bytes.size())) !=
        static_cast<int64_t>(bytes.size())) {
        throw KivoError(target, "cannot write the archive");
    }
}

}  // namespace

bool TVrFileCollection::WriteArchive(TTpBigStream& destination) {
    const std::string target = destination.SourceName();
    std::vector<TVrFile*> entries;
    for (TVrFile* entry : Files()) {
        if (entry->Name() != kEndEntryName) entries.push_back(entry);
    }
    const size_t n = entries.size();

    ByteWriter head;
    head.WriteU8('v');
    head.WriteU8('f');
    head.WriteI32(102);
    head.WriteI32(static_cast<int32_t>(n));
    TTpRandom nameKey(kArchiveSeed);
    for (const TVrFile* entry : entries) {
        head.WriteI32(static_cast<int32_t>(entry->Name().size()));
        for (char c : entry->Name())
            head.WriteU8(static_cast<uint8_t>(static_cast<uint8_t>(c) ^
                                              static_cast<uint8_t>(nameKey.Next())));
    }
    WriteAll(destination, head.Bytes(), target);
    const int64_t tablePosition = destination.GetPosition();
    std::vector<uint8_t> table((n + 1) * 8 + n * 10);
    WriteAll(destination, table, target);

    std::vector<int64_t> offsets(n + 1);
    TByteBuffer copyBuffer;
    for (size_t i = 0; i < n; ++i) {
        TVrFile& entry = *entries[i];
        offsets[i] = destination.GetPosition();
        bool abort = false;
        if (onProgress)
            onProgress(entry, abort, static_cast<int32_t>(n), static_cast<int32_t>(i), 0);
        if (abort) return false;
        WriteEntryContent(entry, destination, copyBuffer);
        if (onProgress) {
            onProgress(entry, abort, static_cast<int32_t>(n), static_cast<int32_t>(i),
                       destination.GetPosition() - offsets[i]);
        }
        if (abort) return false;
    }
    offsets[n] = destination.GetPosition();

    TTpRandom offsetKey(kArchiveSeed);
    uint8_t* out = table.data();
    for (int64_t offset : offsets) {
        StoreLE64(out, static_cast<uint64_t>(offset) ^
                           static_cast<uint64_t>(static_cast<int64_t>(offsetKey.Next())));
        out += 8;
    }
    for (const TVrFile* entry : entries)
        *out++ = entry->stored;
    for (const TVrFile* entry : entries) {
        StoreLE32(out, static_cast<uint32_t>(entry->timestamp));
        out += 4;
    }
    for (const TVrFile* entry : entries) {
        StoreLE32(out, static_cast<uint32_t>(entry->checksum));
        out += 4;
    }
    for (const TVrFile* entry : entries)
        *out++ = entry->rawChecksum;
    destination.SetPosition(tablePosition);
    WriteAll(destination, table, target);
    destination.SetPosition(offsets[n]);
    return true;
}

void TVrFileCollection::CopyStoredBytes(const TVrFile& entry, TTpBigStream& destination,
                                        TByteBuffer& buffer) const {
    const std::string target = destination.SourceName();
    const auto* file = dynamic_cast<const TTpBigFileStream*>(stream_.get());
    if (!file) stream_->SetPosition(entry.offset);
    buffer.resize(
        static_cast<size_t>(std::clamp<int64_t>(entry.size, 0, TTpBigFileStream::kCopyBufferSize)));
    for (int64_t at = 0; at < entry.size;) {
        const int64_t want =
            std::min<int64_t>(entry.size - at, static_cast<int64_t>(buffer.size()));
        const int64_t got = file ? file->ReadAt(entry.offset + at, buffer.data(), want)
                                 : stream_->Read(buffer.data(), want);
        if (got != want) ThrowBadData(archivePath_.string(), "archive entry is truncated");
        WriteAll(destination, std::span(buffer.data(), static_cast<size_t>(got)), target);
        at += got;
    }
}

void TVrFileCollection::WriteEntryContent(TVrFile& entry, TTpBigStream& destination,
                                          TByteBuffer& copyBuffer) {
    const std::string target = destination.SourceName();
    const uint8_t stored = entry.stored;
    entry.stored = 0;
    // Writes content compressed or as it is; the checksum covers the uncompressed bytes when
    // the entry's raw-checksum flag says so, else the bytes written.
    auto put = [&](std::span<const uint8_t> content, bool compress, bool ninetyPercentRule) {
        uint32_t rawCrc = entry.rawChecksum ? Crc32(content) : 0;
        std::vector<uint8_t> packed;
        if (compress) {
            packed = Deflate(content);
            if (ninetyPercentRule && packed.size() > content.size() * 9 / 10) compress = false;
        }
        std::span<const uint8_t> written = compress ? std::span<const uint8_t>(packed) : content;
        entry.stored = compress ? 0 : 1;
        WriteAll(destination, written, target);
        entry.checksum = static_cast<int32_t>(entry.rawChecksum ? rawCrc : Crc32(written));
    };

    if (entry.memory) {
        std::span<const uint8_t> content = entry.memory->Bytes();
        put(content, static_cast<int64_t>(content.size()) < kStoreThreshold, false);
        return;
    }
    if (copyStoredBytes) {
        // The entry goes over byte for byte with the flags and checksum it was read with, so
        // checksum and content keep agreeing and nothing is compressed a second time.
        if (!stream_) ThrowFileMissing(entry.Name());
        CopyStoredBytes(entry, destination, copyBuffer);
        entry.stored = stored;
        return;
    }
    if (auto loose = baseFolder_.Find(entry.Name())) {
        auto file = host::HostFile::OpenRead(*loose);
        if (!file) throw KivoError(loose->string(), "cannot open the file");
        const int64_t size = file->Size();
        std::vector<uint8_t> head(static_cast<size_t>(std::min<int64_t>(size, 64)));
        (void)file->ReadAt(0, head.data(), static_cast<int64_t>(head.size()));
        entry.timestamp = DosTimeOf(*loose);
        if (IsCompressible(UpperExtensionOf(entry.Name()), head, size)) {
            std::vector<uint8_t> content(static_cast<size_t>(size));
            if (file->ReadAt(0, content.data(), size) != size)
                throw KivoError(loose->string(), "cannot read the file");
            put(content, true, true);
            return;
        }
        // Stored files may be large; they are copied in pieces with the checksum run along.
        entry.stored = 1;
        std::vector<uint8_t> buffer(
            static_cast<size_t>(std::min<int64_t>(size, TTpBigFileStream::kCopyBufferSize)));
        uint32_t crc = 0;
        for (int64_t at = 0; at < size;) {
            int64_t got =
                file->ReadAt(at, buffer.data(),
                             std::min<int64_t>(size - at, static_cast<int64_t>(buffer.size())));
            if (got <= 0) throw KivoError(loose->string(), "cannot read the file");
            std::span<const uint8_t> piece(buffer.data(), static_cast<size_t>(got));
            crc = Crc32(piece, crc);
            WriteAll(destination, piece, target);
            at += got;
        }
        entry.checksum = static_cast<int32_t>(crc);
        return;
    }
    if (stream_) {
        std::vector<uint8_t> content = ReadEntry(entry);
        put(content, static_cast<int64_t>(content.size()) < kStoreThreshold, false);
        return;
    }
    ThrowFileMissing(entry.Name());
}

}  // namespace kivo
