#include "script/page_file.h"

#include <algorithm>
#include <stdexcept>

#include "base/byte_io.h"
#include "base/error.h"

namespace kivo {
namespace {

using K = FieldKind;

// Versions from which gated fields are stored.
constexpr int32_t kFlipMaskVersion = 101;
constexpr int32_t kResumeIndexVersion = 105;
constexpr int32_t kEventsBlockedVersion = 107;
constexpr int32_t kMotionPausedVersion = 108;

constexpr FieldLayout kCondition[] = {{"condition", K::Expr}};
constexpr FieldLayout kLabel[] = {{"name", K::String}};
constexpr FieldLayout kJump[] = {{"page", K::String}, {"target", K::Int32}, {"condition", K::Expr}};
constexpr FieldLayout kCall[] = {{"page", K::String},
                                 {"target", K::Int32},
                                 {"result", K::String},
                                 {"condition", K::Expr},
                                 {"arguments", K::ExprList}};
constexpr FieldLayout kWait[] = {
    {"condition", K::Expr}, {"time", K::Expr}, {"eventsBlocked", K::Expr, kEventsBlockedVersion}};
constexpr FieldLayout kComponent[] = {{"properties", K::Properties}};
constexpr FieldLayout kFlip[] = {{"wipe", K::Expr},
                                 {"time", K::Expr},
                                 {"transition", K::Expr},
                                 {"mode", K::Expr},
                                 {"names", K::ExprList},
                                 {"clear", K::Expr},
                                 {"param0", K::Expr},
                                 {"param1", K::Expr},
                                 {"mask", K::Expr, kFlipMaskVersion},
                                 {"eventsBlocked", K::Expr, kEventsBlockedVersion}};
constexpr FieldLayout kExpression[] = {{"expression", K::Expr}};
constexpr FieldLayout kVarNew[] = {
    {"name", K::String}, {"type", K::Byte}, {"value", K::Expr}, {"scope", K::Byte}};
constexpr FieldLayout kVarDel[] = {{"name", K::String}};
constexpr FieldLayout kGetProp[] = {
    {"object", K::Expr}, {"property", K::Expr}, {"variable", K::String}};
constexpr FieldLayout kSetProp[] = {{"object", K::Expr}, {"property", K::Expr}, {"value", K::Expr}};
constexpr FieldLayout kObject[] = {{"object", K::Expr}};
constexpr FieldLayout kTextIns[] = {{"text", K::Blob},
                                    {"object", K::Expr},
                                    {"readMark", K::Expr},
                                    {"wait", K::Expr},
                                    {"eventsBlocked", K::Expr, kEventsBlockedVersion}};
constexpr FieldLayout kMovieStop[] = {{"object", K::Expr},
                                      {"fadeTime", K::Expr},
                                      {"wait", K::Expr},
                                      {"eventsBlocked", K::Expr, kEventsBlockedVersion}};
constexpr FieldLayout kComment[] = {{"text", K::String}};
constexpr FieldLayout kCallHist[] = {
    {"object", K::Expr}, {"start", K::Expr}, {"count", K::Expr}, {"flag", K::Expr}};
constexpr FieldLayout kWhile[] = {{"condition", K::Expr}, {"exit", K::Int32}};
constexpr FieldLayout kWhileLoop[] = {{"expression", K::Expr}, {"loop", K::Int32}};
constexpr FieldLayout kBreak[] = {{"condition", K::Expr}, {"target", K::Int32}};
constexpr FieldLayout kGameSave[] = {{"slot", K::Expr},
                                     {"page", K::String},
                                     {"index", K::Int32, kResumeIndexVersion},
                                     {"caption", K::Expr}};
constexpr FieldLayout kGameLoad[] = {{"slot", K::Expr}};
constexpr FieldLayout kPCReset[] = {{"page", K::String}, {"index", K::Int32}, {"full", K::Byte}};
constexpr FieldLayout kPropMotion[] = {{"name", K::Expr},
                                       {"object", K::Expr},
                                       {"property", K::Expr},
                                       {"value", K::Expr},
                                       {"duration", K::Expr},
                                       {"curve", K::Expr},
                                       {"paused", K::Expr, kMotionPausedVersion}};
constexpr FieldLayout kCabinet[] = {
    {"properties", K::Properties}, {"exclude", K::Expr}, {"names", K::ExprList}};

constexpr std::span<const FieldLayout> kNone{};

// Indexed by command code.
constexpr std::array<RecordLayout, kCommandCount> kLayouts{{
    {kCondition},   // If
    {kCondition},   // Elseif
    {kNone},        // Else
    {kLabel},       // Label
    {kJump},        // Jump
    {kCall},        // Call
    {kCondition},   // Exit
    {kWait},        // Wait
    {kComponent},   // BoxNew
    {kComponent},   // ImgNew
    {kComponent},   // MesNew
    {kComponent},   // Timer
    {kComponent},   // Movie
    {kFlip},        // Flip
    {kExpression},  // Calc
    {kVarNew},      // VarNew
    {kVarDel},      // VarDel
    {kGetProp},     // GetProp
    {kSetProp},     // SetProp
    {kObject},      // ObjDel
    {kTextIns},     // TextIns
    {kMovieStop},   // MovieStop
    {kNone},        // ClrHist
    {kComponent},   // Cinema
    {kComponent},   // Caption
    {kComponent},   // Menu
    {kObject},      // MenuClose
    {kComment},     // Comment
    {kObject},      // TextClr
    {kCallHist},    // CallHist
    {kComponent},   // Button
    {kWhile},       // While
    {kExpression},  // WhileInit
    {kWhileLoop},   // WhileLoop
    {kBreak},       // Break
    {kBreak},       // Continue
    {kComponent},   // ParticleNew
    {kComponent},   // FireNew
    {kGameSave},    // GameSave
    {kGameLoad},    // GameLoad
    {kPCReset},     // PCReset
    {kPCReset},     // Reset
    {kComponent},   // Sound
    {kComponent},   // EditNew
    {kComponent},   // MemoNew
    {kNone},        // Terminate
    {kNone},        // DoEvent
    {kNone},        // ClrRead
    {kComponent},   // MapImgNew
    {kComponent},   // WaveNew
    {kComponent},   // TileNew
    {kComponent},   // SliderNew
    {kComponent},   // ScrollbarNew
    {kComponent},   // GaugeNew
    {kComponent},   // CGCaption
    {kObject},      // MediaPlay
    {kComponent},   // PrevMenuNew
    {kPropMotion},  // PropMotion
    {kObject},      // FormatHist
    {kCabinet},     // SaveCabinet
    {kCabinet},     // LoadCabinet
}};

// The smallest stored command: type byte, indent, two flag bytes, line number.
constexpr size_t kMinRecordBytes = 1 + 4 + 1 + 1 + 4;
// The smallest stored expression: its int32 step count.
constexpr size_t kMinExprBytes = 4;

const std::string kEmptyString;
const TKivoParser kEmptyExpr;
const ComponentProperties kNoProperties;

FieldValue EmptyValue(FieldKind kind) {
    switch (kind) {
        case FieldKind::Int32:
            return int32_t{0};
        case FieldKind::Byte:
            return uint8_t{0};
        case FieldKind::String:
            return std::string();
        case FieldKind::Expr:
            return TKivoParser();
        case FieldKind::ExprList:
            return std::vector<TKivoParser>();
        case FieldKind::Blob:
            return std::vector<uint8_t>();
        case FieldKind::Properties:
            return ComponentProperties();
    }
    return std::monostate{};
}

// The PR ids of every mask, expanded once per page rather than once per record.
using MaskIds = std::array<std::vector<PropertyId>, kCommandCount>;

MaskIds ExpandMasks(const PropertyMasks& masks) {
    MaskIds ids;
    for (int type = 0; type < kCommandCount; ++type)
        ids[static_cast<size_t>(type)] = masks.Ids(type);
    return ids;
}

// Reads the fields of one record after its header.
class RecordReader {
  public:
    RecordReader(ByteReader& reader, int32_t version, const PropertyMasks& masks)
        : reader_(reader), version_(version), maskIds_(ExpandMasks(masks)) {}

    CommandRecord Read() {
        CommandRecord record;
        record.typeByte = reader_.ReadU8();
        if ((record.typeByte & 0x7F) >= kCommandCount)
            throw KivoError(reader_.Source(), "不正なコマンド");
        record.indent = reader_.ReadI32();
        record.disabled = reader_.ReadU8();
        record.continueFlag = reader_.ReadU8();
        record.line = reader_.ReadI32();
        const RecordLayout& layout = record.Layout();
        record.fields.reserve(layout.fields.size());
        for (const FieldLayout& field : layout.fields) {
            if (!field.StoredIn(version_)) {
                record.fields.emplace_back(std::monostate{});
                continue;
            }
            record.fields.push_back(ReadField(field.kind, record.typeByte & 0x7F));
        }
        return record;
    }

  private:
    TKivoParser ReadExpr() {
        TKivoParser expr;
        expr.Load(reader_);
        return expr;
    }

    FieldValue ReadField(FieldKind kind, int typeCode) {
        switch (kind) {
            case FieldKind::Int32:
                return reader_.ReadI32();
            case FieldKind::Byte:
                return reader_.ReadU8();
            case FieldKind::String:
                return reader_.ReadCountedString();
            case FieldKind::Expr:
                return ReadExpr();
            case FieldKind::ExprList: {
                const uint32_t count = reader_.ReadCount(kMinExprBytes);
                std::vector<TKivoParser> list;
                list.reserve(count);
                for (uint32_t i = 0; i < count; ++i)
                    list.push_back(ReadExpr());
                return list;
            }
            case FieldKind::Blob: {
                const uint32_t count = reader_.ReadCount(1);
                const auto bytes = reader_.ReadBytes(count);
                return std::vector<uint8_t>(bytes.begin(), bytes.end());
            }
            case FieldKind::Properties: {
                ComponentProperties properties;
                for (PropertyId id : maskIds_[static_cast<size_t>(typeCode)])
                    properties.push_back({id, ReadExpr()});
                return properties;
            }
        }
        return std::monostate{};
    }

    ByteReader& reader_;
    int32_t version_;
    MaskIds maskIds_;
};

// Writes the fields of one record, checking that they can be read back as written.
class RecordWriter {
  public:
    RecordWriter(ByteWriter& writer, int32_t version, const PropertyMasks& masks,
                 const std::string& fileName)
        : writer_(writer), version_(version), maskIds_(ExpandMasks(masks)), fileName_(fileName) {}

    void Write(const CommandRecord& record, size_t index) {
        index_ = index;
        if ((record.typeByte & 0x7F) >= kCommandCount) Fail("不正なコマンド");
        const RecordLayout& layout = record.Layout();
        if (record.fields.size() != layout.fields.size()) Fail("wrong number of fields");
        writer_.WriteU8(record.typeByte);
        writer_.WriteI32(record.indent);
        writer_.WriteU8(record.disabled);
        writer_.WriteU8(record.continueFlag);
        writer_.WriteI32(record.line);
        for (size_t i = 0; i < layout.fields.size(); ++i) {
            const FieldLayout& field = layout.fields[i];
            const FieldValue& value = record.fields[i];
            if (!field.StoredIn(version_)) {
                if (!std::holds_alternative<std::monostate>(value))
                    Fail("field " + std::string(field.name) + " is not stored in version " +
                         std::to_string(version_));
                continue;
            }
            WriteField(field, value, record.typeByte & 0x7F);
        }
    }

  private:
    [[noreturn]] void Fail(const std::string& what) const {
        ThrowBadData(fileName_, "command " + std::to_string(index_) + ": " + what);
    }

    template <typename T>
    const T& Get(const FieldLayout& field, const FieldValue& value) const {
        const T* typed = std::get_if<T>(&value);
        if (typed == nullptr) Fail("field " + std::string(field.name) + " has the wrong kind");
        return *typed;
    }

    void WriteField(const FieldLayout& field, const FieldValue& value, int typeCode) {
        switch (field.kind) {
            case FieldKind::Int32:
                writer_.WriteI32(Get<int32_t>(field, value));
                return;
            case FieldKind::Byte:
                writer_.WriteU8(Get<uint8_t>(field, value));
                return;
            case FieldKind::String:
                writer_.WriteCountedString(Get<std::string>(field, value));
                return;
            case FieldKind::Expr:
                Get<TKivoParser>(field, value).Save(writer_);
                return;
            case FieldKind::ExprList: {
                const auto& list = Get<std::vector<TKivoParser>>(field, value);
                writer_.WriteI32(static_cast<int32_t>(list.size()));
                for (const TKivoParser& expr : list)
                    expr.Save(writer_);
                return;
            }
            case FieldKind::Blob: {
                const auto& bytes = Get<std::vector<uint8_t>>(field, value);
                writer_.WriteI32(static_cast<int32_t>(bytes.size()));
                writer_.WriteBytes(bytes);
                return;
            }
            case FieldKind::Properties: {
                const auto& properties = Get<ComponentProperties>(field, value);
                const std::vector<PropertyId>& ids = maskIds_[static_cast<size_t>(typeCode)];
                const bool matches =
                    std::equal(ids.begin(), ids.end(), properties.begin(), properties.end(),
                               [](PropertyId id, const PropertyExpr& p) { return p.id == id; });
                if (!matches) Fail("properties do not match the page's mask");
                for (const PropertyExpr& p : properties)
                    p.expr.Save(writer_);
                return;
            }
        }
    }

    ByteWriter& writer_;
    int32_t version_;
    MaskIds maskIds_;
    const std::string& fileName_;
    size_t index_ = 0;
};

const FieldValue& FindField(const CommandRecord& record, std::string_view name) {
    const int index = record.Layout().IndexOf(name);
    if (index < 0 || static_cast<size_t>(index) >= record.fields.size())
        throw std::logic_error("command " + std::string(FindCommand(record.typeByte & 0x7F)->name) +
                               " has no field " + std::string(name));
    return record.fields[static_cast<size_t>(index)];
}

// The field's value when it is stored, nullptr when the page's version leaves it out.
template <typename T>
const T* TypedField(const CommandRecord& record, std::string_view name) {
    const FieldValue& value = FindField(record, name);
    if (std::holds_alternative<std::monostate>(value)) return nullptr;
    const T* typed = std::get_if<T>(&value);
    if (typed == nullptr)
        throw std::logic_error("field " + std::string(name) + " read as another kind");
    return typed;
}

}  // namespace

int RecordLayout::IndexOf(std::string_view name) const {
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i].name == name) return static_cast<int>(i);
    return -1;
}

std::span<const RecordLayout, kCommandCount> RecordLayouts() {
    return kLayouts;
}

const RecordLayout& LayoutOf(CommandCode code) {
    return kLayouts[static_cast<size_t>(code)];
}

bool IsComponentCommand(CommandCode code) {
    const auto fields = LayoutOf(code).fields;
    return !fields.empty() && fields[0].kind == FieldKind::Properties;
}

bool PropertyMasks::Has(int typeCode, int32_t propertyId) const {
    if (typeCode < 0 || typeCode >= kCommandCount || propertyId < 0 || propertyId >= kPropertyCount)
        return false;
    const uint8_t byte = bytes[static_cast<size_t>(typeCode * kMaskBytes + propertyId / 8)];
    return (byte >> (propertyId % 8) & 1) != 0;
}

void PropertyMasks::Set(int typeCode, int32_t propertyId, bool present) {
    if (typeCode < 0 || typeCode >= kCommandCount || propertyId < 0 || propertyId >= kPropertyCount)
        throw std::out_of_range("property mask index");
    uint8_t& byte = bytes[static_cast<size_t>(typeCode * kMaskBytes + propertyId / 8)];
    const auto bit = static_cast<uint8_t>(1u << (propertyId % 8));
    byte = present ? static_cast<uint8_t>(byte | bit) : static_cast<uint8_t>(byte & ~bit);
}

std::vector<PropertyId> PropertyMasks::Ids(int typeCode) const {
    std::vector<PropertyId> ids;
    for (int32_t id = 0; id < kPropertyCount; ++id)
        if (Has(typeCode, id)) ids.push_back(static_cast<PropertyId>(id));
    return ids;
}

CommandRecord CommandRecord::Make(CommandCode code, int32_t pageVersion) {
    CommandRecord record;
    record.typeByte = static_cast<uint8_t>(code);
    for (const FieldLayout& field : LayoutOf(code).fields)
        record.fields.push_back(field.StoredIn(pageVersion) ? EmptyValue(field.kind)
                                                            : FieldValue{std::monostate{}});
    return record;
}

bool CommandRecord::Has(std::string_view name) const {
    const int index = Layout().IndexOf(name);
    return index >= 0 && static_cast<size_t>(index) < fields.size() &&
           !std::holds_alternative<std::monostate>(fields[static_cast<size_t>(index)]);
}

int32_t CommandRecord::Int(std::string_view name) const {
    const int32_t* value = TypedField<int32_t>(*this, name);
    return value != nullptr ? *value : 0;
}

uint8_t CommandRecord::Byte(std::string_view name) const {
    const uint8_t* value = TypedField<uint8_t>(*this, name);
    return value != nullptr ? *value : 0;
}

const std::string& CommandRecord::String(std::string_view name) const {
    const std::string* value = TypedField<std::string>(*this, name);
    return value != nullptr ? *value : kEmptyString;
}

const TKivoParser& CommandRecord::Expr(std::string_view name) const {
    const TKivoParser* value = TypedField<TKivoParser>(*this, name);
    return value != nullptr ? *value : kEmptyExpr;
}

std::span<const TKivoParser> CommandRecord::Exprs(std::string_view name) const {
    const auto* value = TypedField<std::vector<TKivoParser>>(*this, name);
    if (value == nullptr) return {};
    return *value;
}

std::span<const uint8_t> CommandRecord::Blob(std::string_view name) const {
    const auto* value = TypedField<std::vector<uint8_t>>(*this, name);
    if (value == nullptr) return {};
    return *value;
}

const ComponentProperties& CommandRecord::Properties() const {
    const auto* value = TypedField<ComponentProperties>(*this, "properties");
    return value != nullptr ? *value : kNoProperties;
}

FieldValue& CommandRecord::Field(std::string_view name) {
    return const_cast<FieldValue&>(FindField(*this, name));
}

PropertyMasks PageFile::Masks() const {
    PropertyMasks masks;
    if (maskCount <= 0 || maskSize <= 0) return masks;
    const size_t entrySize = static_cast<size_t>(maskSize);
    const size_t used = std::min<size_t>(entrySize, kMaskBlockBytes);
    const size_t entries = std::min<size_t>(static_cast<size_t>(maskCount), kCommandCount);
    for (size_t i = 0; i < entries && (i + 1) * entrySize <= maskBlock.size(); ++i) {
        const size_t start = i * kMaskBytes;
        const size_t count = std::min(used, kMaskBlockBytes - start);
        std::copy_n(maskBlock.begin() + static_cast<std::ptrdiff_t>(i * entrySize), count,
                    masks.bytes.begin() + static_cast<std::ptrdiff_t>(start));
    }
    return masks;
}

void PageFile::SetMasks(const PropertyMasks& masks) {
    maskCount = kCommandCount;
    maskSize = kMaskBytes;
    maskBlock.assign(masks.bytes.begin(), masks.bytes.end());
}

PageFile PageFile::Read(std::span<const uint8_t> bytes, std::string fileName) {
    ByteReader reader(bytes, std::move(fileName));
    PageFile page;
    page.version = reader.ReadI32();
    page.maskBlock.clear();
    if (!page.IsParsed()) {
        const auto body = reader.ReadBytes(reader.Remaining());
        page.unparsedBody.assign(body.begin(), body.end());
        return page;
    }
    page.resultType = reader.ReadU8();
    page.maskCount = reader.ReadI32();
    page.maskSize = reader.ReadI32();
    if (page.maskCount > 0) {
        if (page.maskSize < 0) reader.Fail("negative property mask size");
        const uint64_t total =
            uint64_t{static_cast<uint32_t>(page.maskCount)} * static_cast<uint32_t>(page.maskSize);
        if (total > reader.Remaining()) reader.Fail("property masks run past the end");
        const auto block = reader.ReadBytes(static_cast<size_t>(total));
        page.maskBlock.assign(block.begin(), block.end());
    }
    const PropertyMasks masks = page.Masks();
    const uint32_t count = reader.ReadCount(kMinRecordBytes);
    page.commands.reserve(count);
    RecordReader records(reader, page.version, masks);
    for (uint32_t i = 0; i < count; ++i)
        page.commands.push_back(records.Read());
    const auto rest = reader.ReadBytes(reader.Remaining());
    page.trailer.assign(rest.begin(), rest.end());
    return page;
}

std::vector<uint8_t> PageFile::Write(const std::string& fileName) const {
    ByteWriter writer;
    writer.WriteI32(version);
    if (!IsParsed()) {
        writer.WriteBytes(unparsedBody);
        return writer.Take();
    }
    writer.WriteU8(resultType);
    writer.WriteI32(maskCount);
    writer.WriteI32(maskSize);
    const size_t expected = maskCount > 0 && maskSize > 0
                                ? static_cast<size_t>(maskCount) * static_cast<size_t>(maskSize)
                                : 0;
    if (maskBlock.size() != expected)
        ThrowBadData(fileName, "property mask table has the wrong size");
    writer.WriteBytes(maskBlock);
    const PropertyMasks masks = Masks();
    writer.WriteI32(static_cast<int32_t>(commands.size()));
    RecordWriter records(writer, version, masks, fileName);
    for (size_t i = 0; i < commands.size(); ++i)
        records.Write(commands[i], i);
    writer.WriteBytes(trailer);
    return writer.Take();
}

}  // namespace kivo
