#include "storage/pe_resources.h"

#include <algorithm>
#include <vector>

#include "base/byte_io.h"
#include "base/error.h"
#include "base/sjis.h"

namespace kivo {
namespace {

constexpr uint32_t kSubdirectoryBit = 0x80000000u;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr size_t kSectionHeaderSize = 40;
constexpr uint32_t kResourceDirectoryIndex = 2;

struct Section {
    uint32_t virtualAddress;
    uint32_t virtualSize;
    uint32_t rawSize;
    uint32_t rawOffset;
};

class PeReader {
  public:
    PeReader(TTpBigStream& file, const std::string& source)
        : file_(file), source_(source), size_(file.GetSize()) {}

    std::optional<PeResourceLocation> Find(std::string_view type, std::string_view name) {
        if (!ReadHeaders()) return std::nullopt;
        if (resourceSize_ == 0 || resourceRva_ == 0) return std::nullopt;
        const std::optional<int64_t> start = FileOffsetOf(resourceRva_);
        if (!start) Fail("resource directory lies outside every section");
        resourceStart_ = *start;
        // The directory's own size, held to the section that holds it and to the file.
        resourceEnd_ = std::min<int64_t>(resourceStart_ + resourceSize_, SectionEndOf(*start));

        const std::optional<uint32_t> types = FindTable(0, type);
        if (!types) return std::nullopt;
        const std::optional<uint32_t> names = FindTable(*types, name);
        if (!names) return std::nullopt;
        const std::optional<uint32_t> language = FirstEntry(*names);
        if (!language) return std::nullopt;

        uint8_t data[16];
        ReadDirectoryBytes(*language, data, sizeof data);
        const uint32_t rva = LoadLE32(data);
        const uint32_t size = LoadLE32(data + 4);
        const std::optional<int64_t> offset = FileOffsetOf(rva);
        if (!offset || size > SectionEndOf(*offset) - *offset)
            Fail("resource data lies outside the file");
        return PeResourceLocation{*offset, size};
    }

  private:
    [[noreturn]] void Fail(std::string_view what) const { ThrowBadData(source_, what); }

    bool ReadAt(int64_t pos, void* buffer, int64_t count) {
        if (pos < 0 || count < 0 || pos > size_ || count > size_ - pos) return false;
        file_.SetPosition(pos);
        return file_.Read(buffer, count) == count;
    }

    // False for a file that is not a PE program at all.
    bool ReadHeaders() {
        uint8_t dos[64];
        if (!ReadAt(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
        const uint32_t peOffset = LoadLE32(dos + 0x3C);
        uint8_t coff[24];
        if (!ReadAt(peOffset, coff, sizeof coff)) return false;
        if (coff[0] != 'P' || coff[1] != 'E' || coff[2] != 0 || coff[3] != 0) return false;
        const uint16_t sectionCount = LoadLE16(coff + 6);
        const uint16_t optionalSize = LoadLE16(coff + 20);

        std::vector<uint8_t> optional(optionalSize);
        const int64_t optionalAt = int64_t{peOffset} + sizeof coff;
        if (!ReadAt(optionalAt, optional.data(), optionalSize))
            Fail("PE optional header is truncated");
        if (optionalSize < 2) Fail("PE optional header is too short");
        const uint16_t magic = LoadLE16(optional.data());
        size_t countAt = 0;
        if (magic == kPe32Magic) {
            countAt = 92;
        } else if (magic == kPe32PlusMagic) {
            countAt = 108;
        } else {
            Fail("PE optional header has an unknown kind");
        }
        if (countAt + 4 > optional.size()) Fail("PE optional header is too short");
        const uint32_t directoryCount = LoadLE32(optional.data() + countAt);
        const size_t entryAt = countAt + 4 + kResourceDirectoryIndex * 8;
        if (directoryCount > kResourceDirectoryIndex && entryAt + 8 <= optional.size()) {
            resourceRva_ = LoadLE32(optional.data() + entryAt);
            resourceSize_ = LoadLE32(optional.data() + entryAt + 4);
        }

        std::vector<uint8_t> table(sectionCount * kSectionHeaderSize);
        if (!ReadAt(optionalAt + optionalSize, table.data(), static_cast<int64_t>(table.size())))
            Fail("PE section table is truncated");
        for (size_t i = 0; i < sectionCount; ++i) {
            const uint8_t* s = table.data() + i * kSectionHeaderSize;
            sections_.push_back(
                Section{LoadLE32(s + 12), LoadLE32(s + 8), LoadLE32(s + 16), LoadLE32(s + 20)});
        }
        return true;
    }

    // The file offset of an address inside some section's raw data, or nullopt.
    std::optional<int64_t> FileOffsetOf(uint32_t rva) const {
        for (const Section& s : sections_) {
            if (rva < s.virtualAddress) continue;
            const int64_t into = int64_t{rva} - s.virtualAddress;
            if (into >= s.rawSize) continue;
            const int64_t offset = int64_t{s.rawOffset} + into;
            if (offset >= size_) return std::nullopt;
            return offset;
        }
        return std::nullopt;
    }

    // Where the raw data of the section holding this file offset ends, never past the file.
    int64_t SectionEndOf(int64_t offset) const {
        for (const Section& s : sections_) {
            const int64_t begin = s.rawOffset;
            const int64_t end = begin + s.rawSize;
            if (offset >= begin && offset < end) return std::min(end, size_);
        }
        return offset;
    }

    // Bytes at an offset from the start of the resource directory, which they must not leave.
    void ReadDirectoryBytes(uint32_t at, void* buffer, int64_t count) {
        const int64_t pos = resourceStart_ + at;
        if (count > resourceEnd_ - pos || !ReadAt(pos, buffer, count))
            Fail("resource directory points outside itself");
    }

    // The entries of the table at directory offset at, 8 bytes each (at most 131,070, as
    // the two 16-bit counts allow).
    std::vector<uint8_t> EntriesOf(uint32_t at) {
        uint8_t head[16];
        ReadDirectoryBytes(at, head, sizeof head);
        const uint32_t count = uint32_t{LoadLE16(head + 12)} + LoadLE16(head + 14);
        std::vector<uint8_t> entries(size_t{count} * 8);
        ReadDirectoryBytes(at + 16, entries.data(), static_cast<int64_t>(entries.size()));
        return entries;
    }

    // The target of the entry whose string name equals name, checking that it leads to a
    // further table.
    std::optional<uint32_t> FindTable(uint32_t table, std::string_view name) {
        const std::vector<uint8_t> entries = EntriesOf(table);
        for (size_t i = 0; i < entries.size(); i += 8) {
            const uint32_t nameField = LoadLE32(&entries[i]);
            const uint32_t target = LoadLE32(&entries[i + 4]);
            if (!(nameField & kSubdirectoryBit)) continue;  // a numeric id
            if (!NameEquals(nameField & ~kSubdirectoryBit, name)) continue;
            if (!(target & kSubdirectoryBit)) Fail("resource directory entry has the wrong kind");
            return target & ~kSubdirectoryBit;
        }
        return std::nullopt;
    }

    // The data entry of the first entry of a table (the first language).
    std::optional<uint32_t> FirstEntry(uint32_t table) {
        const std::vector<uint8_t> entries = EntriesOf(table);
        if (entries.empty()) return std::nullopt;
        const uint32_t target = LoadLE32(&entries[4]);
        if (target & kSubdirectoryBit) Fail("resource directory is nested too deep");
        return target;
    }

    // A directory string (uint16 length, UTF-16 units) against an ASCII name.
    bool NameEquals(uint32_t at, std::string_view name) {
        uint8_t length[2];
        ReadDirectoryBytes(at, length, 2);
        if (LoadLE16(length) != name.size()) return false;
        std::vector<uint8_t> units(name.size() * 2);
        ReadDirectoryBytes(at + 2, units.data(), static_cast<int64_t>(units.size()));
        for (size_t i = 0; i < name.size(); ++i) {
            const uint16_t unit = LoadLE16(units.data() + 2 * i);
            if (unit > 0x7F || sjis::UpperAsciiByte(static_cast<uint8_t>(unit)) !=
                                   sjis::UpperAsciiByte(static_cast<uint8_t>(name[i])))
                return false;
        }
        return true;
    }

    TTpBigStream& file_;
    const std::string& source_;
    const int64_t size_;
    std::vector<Section> sections_;
    uint32_t resourceRva_ = 0;
    uint32_t resourceSize_ = 0;
    int64_t resourceStart_ = 0;
    int64_t resourceEnd_ = 0;
};

}  // namespace

std::optional<PeResourceLocation> FindPeResource(TTpBigStream& file, std::string_view type,
                                                 std::string_view name, const std::string& source) {
    return PeReader(file, source).Find(type, name);
}

}  // namespace kivo
