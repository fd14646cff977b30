#include "script/param.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <typeinfo>

#include "base/error.h"
#include "base/sjis.h"
#include "script/param_collection.h"

namespace kivo {

namespace {

constexpr std::string_view kBadIndex = "配列の添字が不正です";
constexpr std::string_view kClassMismatch = "CopyMem:変数の型があいません";

std::string JoinInts(std::span<const int32_t> values) {
    std::string text;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0) text += ',';
        text += IntToString(values[i]);
    }
    return text;
}

// The element conversions of the value table, one overload set per element type.
int32_t ToInt(int32_t v) {
    return v;
}
int32_t ToInt(Extended v) {
    return FloatToInt(v);
}
int32_t ToInt(uint8_t v) {
    return v != 0 ? 1 : 0;
}
int32_t ToInt(const std::string& v) {
    return StringToInt(v);
}
Extended ToFloat(int32_t v) {
    return v;
}
Extended ToFloat(Extended v) {
    return v;
}
Extended ToFloat(uint8_t v) {
    return v != 0 ? 1.0 : 0.0;
}
Extended ToFloat(const std::string& v) {
    return StringToFloat(v);
}
bool ToFlag(int32_t v) {
    return v != 0;
}
bool ToFlag(Extended v) {
    return v != 0.0;
}
bool ToFlag(uint8_t v) {
    return v != 0;
}
bool ToFlag(const std::string& v) {
    return StringToFlag(v);
}
std::string ToString(int32_t v) {
    return IntToString(v);
}
std::string ToString(Extended v) {
    return FloatToString(v);
}
std::string ToString(uint8_t v) {
    return std::string(FlagToString(v != 0));
}
const std::string& ToString(const std::string& v) {
    return v;
}

template <typename Element>
Element FromInt(int32_t v);
template <>
int32_t FromInt<int32_t>(int32_t v) {
    return v;
}
template <>
Extended FromInt<Extended>(int32_t v) {
    return v;
}
template <>
uint8_t FromInt<uint8_t>(int32_t v) {
    return v != 0 ? 1 : 0;
}
template <>
std::string FromInt<std::string>(int32_t v) {
    return IntToString(v);
}

template <typename Element>
Element FromFloat(Extended v);
template <>
int32_t FromFloat<int32_t>(Extended v) {
    return FloatToInt(v);
}
template <>
Extended FromFloat<Extended>(Extended v) {
    return v;
}
template <>
uint8_t FromFloat<uint8_t>(Extended v) {
    return v != 0.0 ? 1 : 0;
}
template <>
std::string FromFloat<std::string>(Extended v) {
    return FloatToString(v);
}

template <typename Element>
Element FromFlag(bool v);
template <>
int32_t FromFlag<int32_t>(bool v) {
    return v ? 1 : 0;
}
template <>
Extended FromFlag<Extended>(bool v) {
    return v ? 1.0 : 0.0;
}
template <>
uint8_t FromFlag<uint8_t>(bool v) {
    return v ? 1 : 0;
}
template <>
std::string FromFlag<std::string>(bool v) {
    return std::string(FlagToString(v));
}

template <typename Element>
Element FromString(std::string_view v);
template <>
int32_t FromString<int32_t>(std::string_view v) {
    return StringToInt(v);
}
template <>
Extended FromString<Extended>(std::string_view v) {
    return StringToFloat(v);
}
template <>
uint8_t FromString<uint8_t>(std::string_view v) {
    return StringToFlag(v) ? 1 : 0;
}
template <>
std::string FromString<std::string>(std::string_view v) {
    return std::string(v);
}

// Stored element forms of the save data.
void WriteElement(ByteWriter& w, int32_t v) {
    w.WriteI32(v);
}
void WriteElement(ByteWriter& w, Extended v) {
    w.WriteExt80(Ext80::FromExtended(v));
}
void WriteElement(ByteWriter& w, uint8_t v) {
    w.WriteU8(v);
}
void WriteElement(ByteWriter& w, const std::string& v) {
    w.WriteCountedString(v);
}

template <typename Element>
Element ReadElement(ByteReader& r);
template <>
int32_t ReadElement<int32_t>(ByteReader& r) {
    return r.ReadI32();
}
template <>
Extended ReadElement<Extended>(ByteReader& r) {
    return r.ReadExt80().ToExtended();
}
template <>
uint8_t ReadElement<uint8_t>(ByteReader& r) {
    return r.ReadU8() != 0 ? 1 : 0;
}
template <>
std::string ReadElement<std::string>(ByteReader& r) {
    return r.ReadCountedString();
}

template <typename Element>
constexpr size_t kStoredElementSize = 4;
template <>
constexpr size_t kStoredElementSize<Extended> = 10;
template <>
constexpr size_t kStoredElementSize<uint8_t> = 1;

// Reads a dimension list and checks it as SetDimensions would.
std::vector<int32_t> ReadDimensions(ByteReader& reader) {
    uint32_t count = reader.ReadCount(4);
    std::vector<int32_t> dims(count);
    for (int32_t& size : dims)
        size = reader.ReadI32();
    return dims;
}

void WriteDimensions(ByteWriter& writer, const std::vector<int32_t>& dims) {
    writer.WriteI32(static_cast<int32_t>(dims.size()));
    for (int32_t size : dims)
        writer.WriteI32(size);
}

}  // namespace

// ---- Conversions ----------------------------------------------------------------------------

int32_t FloatToInt(Extended value) {
    // Anything in (-2147483649, 2147483648) truncates into int32.
    if (!(value > -2147483649.0 && value < 2147483648.0)) {
        throw KivoError("整数に変換できない値です: " + FloatToString(value));
    }
    return static_cast<int32_t>(value);
}

// ---- TCustomParam ---------------------------------------------------------------------------

void TCustomParam::SetFlag(bool value) {
    MakeSingle();
    SetFlagAt(0, value);
}

void TCustomParam::SetFloat(Extended value) {
    MakeSingle();
    SetFloatAt(0, value);
}

void TCustomParam::SetInteger(int32_t value) {
    MakeSingle();
    SetIntAt(0, value);
}

void TCustomParam::SetString(std::string_view value) {
    MakeSingle();
    SetStringAt(0, value);
}

int32_t TCustomParam::DimensionCount() const {
    return dims_.empty() ? 1 : static_cast<int32_t>(dims_.size());
}

int32_t TCustomParam::DimensionSize(int32_t i) const {
    if (i < 0 || static_cast<size_t>(i) >= dims_.size()) return 1;
    return dims_[static_cast<size_t>(i)];
}

int32_t TCustomParam::ElementCountFor(std::span<const int32_t> sizes) {
    int64_t product = 1;
    for (int32_t size : sizes) {
        if (size <= 0 || product * size > kMaxElementCount) {
            throw KivoError("配列の要素数[" + JoinInts(sizes) + "]が不正です");
        }
        product *= size;
    }
    return static_cast<int32_t>(product);
}

void TCustomParam::SetDimensions(std::span<const int32_t> sizes) {
    int32_t count = ElementCountFor(sizes);
    // The elements are reset: shrink to nothing first so every element starts empty.
    SetElementCount(0);
    SetElementCount(count);
    dims_.assign(sizes.begin(), sizes.end());
}

void TCustomParam::FillInt(int32_t value) {
    for (int32_t i = 0; i < ElementCount(); ++i)
        SetIntAt(i, value);
}

void TCustomParam::FillFloat(Extended value) {
    for (int32_t i = 0; i < ElementCount(); ++i)
        SetFloatAt(i, value);
}

void TCustomParam::FillFlag(bool value) {
    for (int32_t i = 0; i < ElementCount(); ++i)
        SetFlagAt(i, value);
}

void TCustomParam::FillString(std::string_view value) {
    for (int32_t i = 0; i < ElementCount(); ++i)
        SetStringAt(i, value);
}

void TCustomParam::CopyMemFrom(const TCustomParam& source) {
    if (typeid(source) != typeid(*this)) throw KivoError(std::string(kClassMismatch));
    CopyFrom(source);
}

void TCustomParam::MakeSingle() {
    dims_.clear();
    SetElementCount(1);
}

int32_t TCustomParam::IndexOfString(std::string_view text, bool exact, bool partial) const {
    std::string needle = exact ? std::string(text) : sjis::ToLowerAscii(text);
    for (int32_t i = 0; i < ElementCount(); ++i) {
        std::string element = StringAt(i);
        bool match = false;
        if (partial) {
            if (!exact) element = sjis::ToLowerAscii(element);
            match = element.find(needle) != std::string::npos;
        } else {
            match = exact ? element == text : sjis::EqualsIgnoreCase(element, text);
        }
        if (match) return i;
    }
    return -1;
}

std::unique_ptr<TCustomParam> TCustomParam::Clone() const {
    std::unique_ptr<TCustomParam> copy = CreateParam(Type());
    copy->AssignValue(*this);
    return copy;
}

void TCustomParam::AssignValue(const TCustomParam& source) {
    if (&source == this) return;
    int32_t count = source.ElementCount();
    if (source.Dimensions().empty()) {
        MakeSingle();
    } else {
        SetDimensions(source.Dimensions());
    }
    SetElementCount(count);
    switch (Type()) {
        case PT_INT:
            for (int32_t i = 0; i < count; ++i)
                SetIntAt(i, source.IntAt(i));
            break;
        case PT_FLOAT:
            for (int32_t i = 0; i < count; ++i)
                SetFloatAt(i, source.FloatAt(i));
            break;
        case PT_BOOL:
            for (int32_t i = 0; i < count; ++i)
                SetFlagAt(i, source.FlagAt(i));
            break;
        case PT_STR:
            for (int32_t i = 0; i < count; ++i)
                SetStringAt(i, source.StringAt(i));
            break;
        case PT_NONE:
            break;
    }
}

int32_t TCustomParam::FlatIndex(std::string_view name, std::span<const int32_t> indices) const {
    auto prefix = [&] { return std::string(name) + "[" + JoinInts(indices) + "]\r\n"; };
    if (static_cast<int32_t>(indices.size()) != DimensionCount()) {
        throw KivoError(prefix() + "添え字が不正です");
    }
    int64_t flat = 0;
    bool negative = false;
    for (size_t k = 0; k < indices.size(); ++k) {
        negative |= indices[k] < 0;
        flat = flat * DimensionSize(static_cast<int32_t>(k)) + indices[k];
        if (flat > kMaxElementCount) break;
    }
    if (negative || flat >= ElementCount()) throw KivoError(prefix() + "要素数を超えています");
    return static_cast<int32_t>(flat);
}

void TCustomParam::CheckIndex(int32_t index) const {
    if (index < 0 || index >= ElementCount()) throw KivoError(std::string(kBadIndex));
}

std::unique_ptr<TCustomParam> CreateParam(int32_t type) {
    switch (type) {
        case PT_NONE:
            return std::make_unique<TParamVar>();
        case PT_INT:
            return std::make_unique<TParamInt>();
        case PT_FLOAT:
            return std::make_unique<TParamFloat>();
        case PT_BOOL:
            return std::make_unique<TParamFlag>();
        case PT_STR:
            return std::make_unique<TParamStr>();
        default:
            return nullptr;
    }
}

// ---- TParamArray ----------------------------------------------------------------------------

template <typename Element, ValueType Code>
void TParamArray<Element, Code>::SetElementCount(int32_t count) {
    elements_.resize(static_cast<size_t>(std::max(count, 0)));
}

template <typename Element, ValueType Code>
int32_t TParamArray<Element, Code>::IntAt(int32_t index) const {
    CheckIndex(index);
    return ToInt(elements_[static_cast<size_t>(index)]);
}

template <typename Element, ValueType Code>
void TParamArray<Element, Code>::SetIntAt(int32_t index, int32_t value) {
    CheckIndex(index);
    elements_[static_cast<size_t>(index)] = FromInt<Element>(value);
}

template <typename Element, ValueType Code>
Extended TParamArray<Element, Code>::FloatAt(int32_t index) const {
    CheckIndex(index);
    return ToFloat(elements_[static_cast<size_t>(index)]);
}

template <typename Element, ValueType Code>
void TParamArray<Element, Code>::SetFloatAt(int32_t index, Extended value) {
    CheckIndex(index);
    elements_[static_cast<size_t>(index)] = FromFloat<Element>(value);
}

template <typename Element, ValueType Code>
bool TParamArray<Element, Code>::FlagAt(int32_t index) const {
    CheckIndex(index);
    return ToFlag(elements_[static_cast<size_t>(index)]);
}

template <typename Element, ValueType Code>
void TParamArray<Element, Code>::SetFlagAt(int32_t index, bool value) {
    CheckIndex(index);
    elements_[static_cast<size_t>(index)] = FromFlag<Element>(value);
}

template <typename Element, ValueType Code>
std::string TParamArray<Element, Code>::StringAt(int32_t index) const {
    CheckIndex(index);
    return ToString(elements_[static_cast<size_t>(index)]);
}

template <typename Element, ValueType Code>
void TParamArray<Element, Code>::SetStringAt(int32_t index, std::string_view value) {
    CheckIndex(index);
    elements_[static_cast<size_t>(index)] = FromString<Element>(value);
}

template <typename Element, ValueType Code>
void TParamArray<Element, Code>::CopyFrom(const TCustomParam& source) {
    const auto* other = dynamic_cast<const TParamArray*>(&source);
    if (!other) throw KivoError(std::string(kClassMismatch));
    dims_ = other->dims_;
    elements_ = other->elements_;
}

template <typename Element, ValueType Code>
void TParamArray<Element, Code>::Save(ByteWriter& writer) const {
    WriteDimensions(writer, dims_);
    writer.WriteI32(static_cast<int32_t>(elements_.size()));
    for (const Element& element : elements_)
        WriteElement(writer, element);
}

template <typename Element, ValueType Code>
void TParamArray<Element, Code>::Load(ByteReader& reader) {
    std::vector<int32_t> dims = ReadDimensions(reader);
    uint32_t count = reader.ReadCount(kStoredElementSize<Element>);
    if (count > kMaxElementCount) reader.Fail("too many array elements");
    // Arrays emptied by the array functions keep a dimension of size 0, so sizes of 0 are
    // accepted here; the product must still match the elements that follow.
    if (!dims.empty()) {
        int64_t product = 1;
        for (int32_t size : dims) {
            if (size < 0) reader.Fail("negative array size");
            product = std::min<int64_t>(product * size, kMaxElementCount + 1);
        }
        if (product != count) reader.Fail("element count does not match the dimensions");
    }
    std::vector<Element> elements;
    elements.reserve(count);
    for (uint32_t i = 0; i < count; ++i)
        elements.push_back(ReadElement<Element>(reader));
    dims_ = std::move(dims);
    elements_ = std::move(elements);
}

template class TParamArray<int32_t, PT_INT>;
template class TParamArray<Extended, PT_FLOAT>;
template class TParamArray<uint8_t, PT_BOOL>;
template class TParamArray<std::string, PT_STR>;

// ---- TParamVar ------------------------------------------------------------------------------

void TParamVar::Bind(TParamCollectionItem& variable, int32_t element,
                     const TParamCollectionItem* owner) {
    anchor_.reset();
    element_ = element;
    if (const auto* inner = dynamic_cast<const TParamVar*>(&variable.Value())) {
        element_ = inner->element_;
    }
    // Follow the chain of references the new binding would extend; reaching the owner again
    // means reading would never end.
    const TParamCollectionItem* walk = &variable;
    for (int hops = 0; walk; ++hops) {
        if (walk == owner || hops > 64) return;
        const auto* ref = dynamic_cast<const TParamVar*>(&walk->Value());
        walk = ref ? ref->Bound() : nullptr;
    }
    anchor_ = variable.Anchor();
}

TCustomParam* TParamVar::Target() const {
    TParamCollectionItem* variable = Bound();
    return variable ? &variable->Value() : nullptr;
}

int32_t TParamVar::ElementCount() const {
    TCustomParam* target = Target();
    return target ? target->ElementCount() : 1;
}

void TParamVar::SetElementCount(int32_t count) {
    if (TCustomParam* target = Target()) target->SetElementCount(count);
}

ValueType TParamVar::Type() const {
    TCustomParam* target = Target();
    return target ? target->Type() : PT_NONE;
}

bool TParamVar::AsFlag() const {
    return FlagAt(element_);
}
Extended TParamVar::AsFloat() const {
    return FloatAt(element_);
}
int32_t TParamVar::AsInteger() const {
    return IntAt(element_);
}
std::string TParamVar::AsString() const {
    return StringAt(element_);
}
void TParamVar::SetFlag(bool value) {
    SetFlagAt(element_, value);
}
void TParamVar::SetFloat(Extended value) {
    SetFloatAt(element_, value);
}
void TParamVar::SetInteger(int32_t value) {
    SetIntAt(element_, value);
}
void TParamVar::SetString(std::string_view value) {
    SetStringAt(element_, value);
}

int32_t TParamVar::IntAt(int32_t index) const {
    TCustomParam* target = Target();
    return target ? target->IntAt(index) : 0;
}

void TParamVar::SetIntAt(int32_t index, int32_t value) {
    if (TCustomParam* target = Target()) target->SetIntAt(index, value);
}

Extended TParamVar::FloatAt(int32_t index) const {
    TCustomParam* target = Target();
    return target ? target->FloatAt(index) : 0.0;
}

void TParamVar::SetFloatAt(int32_t index, Extended value) {
    if (TCustomParam* target = Target()) target->SetFloatAt(index, value);
}

bool TParamVar::FlagAt(int32_t index) const {
    TCustomParam* target = Target();
    return target ? target->FlagAt(index) : false;
}

void TParamVar::SetFlagAt(int32_t index, bool value) {
    if (TCustomParam* target = Target()) target->SetFlagAt(index, value);
}

std::string TParamVar::StringAt(int32_t index) const {
    TCustomParam* target = Target();
    return target ? target->StringAt(index) : std::string();
}

void TParamVar::SetStringAt(int32_t index, std::string_view value) {
    if (TCustomParam* target = Target()) target->SetStringAt(index, value);
}

int32_t TParamVar::DimensionCount() const {
    TCustomParam* target = Target();
    return target ? target->DimensionCount() : 1;
}

int32_t TParamVar::DimensionSize(int32_t i) const {
    TCustomParam* target = Target();
    return target ? target->DimensionSize(i) : 1;
}

void TParamVar::CopyFrom(const TCustomParam& source) {
    const auto* other = dynamic_cast<const TParamVar*>(&source);
    if (!other) throw KivoError(std::string(kClassMismatch));
    dims_ = other->dims_;
    name_ = other->name_;
    anchor_ = other->anchor_;
    flagByte_ = other->flagByte_;
    element_ = other->element_;
}

void TParamVar::SetDimensions(std::span<const int32_t> sizes) {
    if (TCustomParam* target = Target()) target->SetDimensions(sizes);
}

void TParamVar::Save(ByteWriter& writer) const {
    WriteDimensions(writer, dims_);
    writer.WriteCountedString(name_);
    TParamCollectionItem* variable = Bound();
    writer.WriteCountedString(variable ? variable->Name() : std::string());
    writer.WriteU8(flagByte_);
    writer.WriteI32(element_);
}

void TParamVar::Load(ByteReader& reader) {
    std::vector<int32_t> dims = ReadDimensions(reader);
    std::string name = reader.ReadCountedString();
    std::string bindName = reader.ReadCountedString();
    uint8_t flagByte = reader.ReadU8();
    int32_t element = reader.ReadI32();
    dims_ = std::move(dims);
    name_ = std::move(name);
    pendingBindName_ = std::move(bindName);
    flagByte_ = flagByte;
    element_ = element;
    anchor_.reset();
}

std::unique_ptr<TCustomParam> TParamVar::Clone() const {
    // A copy of a reference is the value of the element it leads to.
    std::unique_ptr<TCustomParam> copy = CreateParam(Type());
    switch (Type()) {
        case PT_INT:
            copy->SetInteger(AsInteger());
            break;
        case PT_FLOAT:
            copy->SetFloat(AsFloat());
            break;
        case PT_BOOL:
            copy->SetFlag(AsFlag());
            break;
        case PT_STR:
            copy->SetString(AsString());
            break;
        case PT_NONE:
            break;
    }
    return copy;
}

}  // namespace kivo
