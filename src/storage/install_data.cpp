#include "storage/install_data.h"

#include "base/byte_io.h"
#include "base/error.h"
#include "storage/big_stream.h"

namespace kivo {
namespace {

struct FieldReader {
    TStream& stream;

    int64_t Left() const { return stream.GetSize() - stream.GetPosition(); }
    void Int(int32_t& v) { v = ReadInt(stream); }
    void Byte(uint8_t& v) { v = ReadByte(stream); }
    void Str(std::string& v) { v = ReadString(stream); }
    void Value(int64_t& v, bool wide) {
        uint8_t bytes[8];
        ReadExact(stream, bytes, wide ? 8 : 4);
        v = wide ? static_cast<int64_t>(LoadLE64(bytes)) : static_cast<int32_t>(LoadLE32(bytes));
    }
    // A count read from the file must be non-negative and fit the bytes left.
    size_t Count(size_t current, int64_t minBytesEach) {
        (void)current;
        int32_t count = ReadInt(stream);
        if (count < 0 || count > Left() / minBytesEach)
            ThrowBadData(stream.SourceName(), "count out of range");
        return static_cast<size_t>(count);
    }
};

struct FieldWriter {
    TStream& stream;

    void Int(const int32_t& v) { WriteInt(stream, v); }
    void Byte(const uint8_t& v) { WriteByte(stream, v); }
    void Str(const std::string& v) { WriteString(stream, v); }
    void Value(const int64_t& v, bool wide) {
        uint8_t bytes[8];
        StoreLE64(bytes, static_cast<uint64_t>(v));
        stream.Write(bytes, wide ? 8 : 4);
    }
    size_t Count(size_t current, int64_t /*minBytesEach*/) {
        WriteInt(stream, static_cast<int32_t>(current));
        return current;
    }
};

// The record's fields in file order, for reading and writing alike.
template <typename Io, typename Data>
void Transfer(Io& io, Data& d) {
    const bool wide = d.version > 99;
    io.Int(d.discIndex);
    io.Str(d.projectTitle);
    for (auto& text : d.texts)
        io.Str(text);
    io.Byte(d.flag1);
    io.Str(d.text4);
    io.Byte(d.flag2);
    size_t groupCount = io.Count(d.groups.size(), 16);
    io.Str(d.text5);
    io.Int(d.value1);
    io.Byte(d.flag3);
    io.Byte(d.flag4);
    for (auto& text : d.texts6)
        io.Str(text);
    if constexpr (!std::is_const_v<Data>) d.groups.resize(groupCount);
    for (auto& group : d.groups) {
        for (auto& value : group)
            io.Value(value, wide);
    }
    for (auto& value : d.totals)
        io.Value(value, wide);
    io.Byte(d.flag5);
    if (d.version > 100) io.Byte(d.flag6);
    auto list = [&](auto& strings) {
        size_t count = io.Count(strings.size(), 4);
        if constexpr (!std::is_const_v<Data>) strings.resize(count);
        for (auto& text : strings)
            io.Str(text);
    };
    if (d.version > 101) list(d.files);
    if (d.version > 102) io.Byte(d.allDataInstalled);
    if (d.version > 103) io.Byte(d.flag7);
    if (d.version > 104) io.Byte(d.flag8);
    if (d.version > 105) list(d.moreFiles);
    if (d.version > 106) io.Str(d.text7);
}

}  // namespace

TInstallData TInstallData::Read(TStream& stream) {
    TInstallData data;
    uint8_t head[5] = {};
    int64_t start = stream.GetPosition();
    if (stream.Read(head, 5) == 5 && head[0] == 'i' && head[1] == 's') {
        for (int i = 2; i < 5; ++i) {
            if (head[i] < '0' || head[i] > '9')
                ThrowBadData(stream.SourceName(), "bad installation record version");
            data.version = data.version * 10 + (head[i] - '0');
        }
    } else {
        stream.SetPosition(start);
    }
    FieldReader reader{stream};
    Transfer(reader, data);
    return data;
}

TInstallData TInstallData::LoadFromFile(const std::filesystem::path& path) {
    TTpBigMemoryStream file;
    file.LoadFromFile(path);
    return Read(file.Memory());
}

void TInstallData::Write(TStream& stream) const {
    if (version > 0) {
        std::string head = "is" + std::to_string(1000 + version).substr(1);
        stream.Write(head.data(), 5);
    }
    FieldWriter writer{stream};
    Transfer(writer, *this);
}

void TInstallData::SaveToFile(const std::filesystem::path& path) const {
    TTpBigMemoryStream file;
    Write(file.Memory());
    file.SaveToFile(path);
}

bool TInstallData::AddFile(const std::string& name) {
    if (version <= 101) return false;
    for (const std::string& file : files) {
        if (file == name) return true;
    }
    files.push_back(name);
    return true;
}

}  // namespace kivo
