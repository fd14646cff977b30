#pragma once
// Script values: integers, floats, flags and strings, each a single value or an array with
// dimensions, and references to one element of another variable. Every value converts to and
// from the other types by one table (the free functions below), so a reading never depends on
// where the value came from.
//
// Errors are KivoError with the system's own message text; the interpreter drops them and the
// failing command simply ends.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_io.h"
#include "base/ext80.h"
#include "base/number_text.h"
#include "script/vocabulary.h"

namespace kivo {

class TParamCollectionItem;

// ---- Conversions ----------------------------------------------------------------------------

// The texts of numbers and flags (IntToString, FloatToString, StringToInt ...) are in
// base/number_text.h; reading a float as an integer truncates here.

// Truncates toward zero. NaN, infinities and values outside int32 raise an error instead of
// giving an arbitrary number.
[[nodiscard]] int32_t FloatToInt(Extended value);

// Largest element count of one array. Bigger dimension products are refused rather than
// allocated: no game needs them and a damaged save must not exhaust memory.
inline constexpr int64_t kMaxElementCount = int64_t{1} << 24;

// ---- Values ---------------------------------------------------------------------------------

// Base of all values. A single value has no dimensions and exactly one element; an array has
// as many elements as the product of its dimensions (row-major, the last index fastest).
// Element operations check their index; the plain readings and writings work on element 0,
// and every plain write first makes the value single.
class TCustomParam {
  public:
    TCustomParam() = default;
    virtual ~TCustomParam() = default;
    TCustomParam(const TCustomParam&) = delete;
    TCustomParam& operator=(const TCustomParam&) = delete;

    [[nodiscard]] virtual int32_t ElementCount() const = 0;
    // Grows with zero elements or cuts; dimensions are not changed.
    virtual void SetElementCount(int32_t count) = 0;
    [[nodiscard]] virtual ValueType Type() const = 0;

    [[nodiscard]] virtual bool AsFlag() const { return FlagAt(0); }
    [[nodiscard]] virtual Extended AsFloat() const { return FloatAt(0); }
    [[nodiscard]] virtual int32_t AsInteger() const { return IntAt(0); }
    [[nodiscard]] virtual std::string AsString() const { return StringAt(0); }
    virtual void SetFlag(bool value);
    virtual void SetFloat(Extended value);
    virtual void SetInteger(int32_t value);
    virtual void SetString(std::string_view value);

    [[nodiscard]] virtual int32_t IntAt(int32_t index) const = 0;
    virtual void SetIntAt(int32_t index, int32_t value) = 0;
    [[nodiscard]] virtual Extended FloatAt(int32_t index) const = 0;
    virtual void SetFloatAt(int32_t index, Extended value) = 0;
    [[nodiscard]] virtual bool FlagAt(int32_t index) const = 0;
    virtual void SetFlagAt(int32_t index, bool value) = 0;
    [[nodiscard]] virtual std::string StringAt(int32_t index) const = 0;
    virtual void SetStringAt(int32_t index, std::string_view value) = 0;

    // 1 for a single value.
    [[nodiscard]] virtual int32_t DimensionCount() const;
    // The size of dimension i; 1 when i is outside the dimensions.
    [[nodiscard]] virtual int32_t DimensionSize(int32_t i) const;
    [[nodiscard]] const std::vector<int32_t>& Dimensions() const { return dims_; }

    // Copies dimensions and elements from a value of the same class.
    virtual void CopyFrom(const TCustomParam& source) = 0;
    // Makes the value an array of these sizes, every size above 0 and the product within
    // kMaxElementCount ("配列の要素数[...]が不正です" otherwise); the elements are reset.
    virtual void SetDimensions(std::span<const int32_t> sizes);
    virtual void FillInt(int32_t value);
    virtual void FillFloat(Extended value);
    virtual void FillFlag(bool value);
    virtual void FillString(std::string_view value);
    // Like CopyFrom but fails with "CopyMem:変数の型があいません" for another class.
    virtual void CopyMemFrom(const TCustomParam& source);
    // The save form: dimensions, element count, elements.
    virtual void Save(ByteWriter& writer) const = 0;
    // Reads the save form; a damaged form raises an error and leaves the value unchanged.
    virtual void Load(ByteReader& reader) = 0;
    // Drops the dimensions and keeps only element 0.
    virtual void MakeSingle();
    // The first element matching text, or -1. partial: text occurs in the element (both
    // ASCII-lower-cased unless exact); otherwise equality, exact or ignoring ASCII case.
    [[nodiscard]] virtual int32_t IndexOfString(std::string_view text, bool exact,
                                                bool partial) const;

    // A new value of this value's type holding a copy of it (dimensions and elements).
    [[nodiscard]] virtual std::unique_ptr<TCustomParam> Clone() const;
    // Takes source's dimensions, then every element through this value's element setters,
    // so each element is converted to this value's type.
    void AssignValue(const TCustomParam& source);

    // The flat element addressed by indices, row-major. name is the variable's name for the
    // messages: a wrong number of indices raises name[i,j]+"添え字が不正です"; a negative index
    // or one past the elements raises name[i,j]+"要素数を超えています".
    [[nodiscard]] int32_t FlatIndex(std::string_view name, std::span<const int32_t> indices) const;

  protected:
    // Raises "配列の添字が不正です" unless 0 <= index < ElementCount().
    void CheckIndex(int32_t index) const;
    // Validates sizes and returns their product.
    static int32_t ElementCountFor(std::span<const int32_t> sizes);

    std::vector<int32_t> dims_;
};

// Creates an empty value of a type: integer 0, float 0, flag false, empty string, or an
// unbound reference for PT_NONE. Any other code gives nullptr.
[[nodiscard]] std::unique_ptr<TCustomParam> CreateParam(int32_t type);

// The four element types share one implementation; only the element type and its conversion
// rules differ. Flags are held as bytes so that the elements stay a plain vector.
template <typename Element, ValueType Code>
class TParamArray : public TCustomParam {
  public:
    TParamArray() : elements_(1) {}

    [[nodiscard]] int32_t ElementCount() const override {
        return static_cast<int32_t>(elements_.size());
    }
    void SetElementCount(int32_t count) override;
    [[nodiscard]] ValueType Type() const override { return Code; }

    [[nodiscard]] int32_t IntAt(int32_t index) const override;
    void SetIntAt(int32_t index, int32_t value) override;
    [[nodiscard]] Extended FloatAt(int32_t index) const override;
    void SetFloatAt(int32_t index, Extended value) override;
    [[nodiscard]] bool FlagAt(int32_t index) const override;
    void SetFlagAt(int32_t index, bool value) override;
    [[nodiscard]] std::string StringAt(int32_t index) const override;
    void SetStringAt(int32_t index, std::string_view value) override;

    void CopyFrom(const TCustomParam& source) override;
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader) override;

    // Direct access for code that knows the class (fast paths and tests).
    [[nodiscard]] const std::vector<Element>& Elements() const { return elements_; }

  private:
    std::vector<Element> elements_;
};

using TParamInt = TParamArray<int32_t, PT_INT>;
using TParamFloat = TParamArray<Extended, PT_FLOAT>;
using TParamFlag = TParamArray<uint8_t, PT_BOOL>;
using TParamStr = TParamArray<std::string, PT_STR>;

extern template class TParamArray<int32_t, PT_INT>;
extern template class TParamArray<Extended, PT_FLOAT>;
extern template class TParamArray<uint8_t, PT_BOOL>;
extern template class TParamArray<std::string, PT_STR>;

// A handle on a variable that outlives it: the variable clears it when it is destroyed, so a
// reference to a deleted variable finds nothing instead of freed memory.
struct VariableAnchor {
    TParamCollectionItem* variable = nullptr;
};

// A reference to one element of another variable. Every reading and writing goes to that
// element; once the variable is gone (or before binding) it reads 0, 0.0, false or "" and
// ignores writes. Element operations with an index go to the bound variable's value.
class TParamVar : public TCustomParam {
  public:
    TParamVar() = default;
    explicit TParamVar(std::string name) : name_(std::move(name)) {}

    // Binds to variable at element. When the variable itself holds a reference, its element
    // index is taken over. A binding that would lead back to owner (a reference cycle, which
    // only damaged data can ask for) leaves the reference unbound.
    void Bind(TParamCollectionItem& variable, int32_t element,
              const TParamCollectionItem* owner = nullptr);
    void Unbind() { anchor_.reset(); }
    // The bound variable, or nullptr when unbound or when the variable has been deleted.
    [[nodiscard]] TParamCollectionItem* Bound() const {
        return anchor_ ? anchor_->variable : nullptr;
    }
    [[nodiscard]] const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    [[nodiscard]] int32_t ElementIndex() const { return element_; }
    [[nodiscard]] uint8_t FlagByte() const { return flagByte_; }
    void SetFlagByte(uint8_t value) { flagByte_ = value; }
    // The bound variable's name as saved and read back; loading binds again by this name.
    [[nodiscard]] const std::string& PendingBindName() const { return pendingBindName_; }

    [[nodiscard]] int32_t ElementCount() const override;
    void SetElementCount(int32_t count) override;
    [[nodiscard]] ValueType Type() const override;

    [[nodiscard]] bool AsFlag() const override;
    [[nodiscard]] Extended AsFloat() const override;
    [[nodiscard]] int32_t AsInteger() const override;
    [[nodiscard]] std::string AsString() const override;
    void SetFlag(bool value) override;
    void SetFloat(Extended value) override;
    void SetInteger(int32_t value) override;
    void SetString(std::string_view value) override;

    [[nodiscard]] int32_t IntAt(int32_t index) const override;
    void SetIntAt(int32_t index, int32_t value) override;
    [[nodiscard]] Extended FloatAt(int32_t index) const override;
    void SetFloatAt(int32_t index, Extended value) override;
    [[nodiscard]] bool FlagAt(int32_t index) const override;
    void SetFlagAt(int32_t index, bool value) override;
    [[nodiscard]] std::string StringAt(int32_t index) const override;
    void SetStringAt(int32_t index, std::string_view value) override;

    [[nodiscard]] int32_t DimensionCount() const override;
    [[nodiscard]] int32_t DimensionSize(int32_t i) const override;
    void CopyFrom(const TCustomParam& source) override;
    void SetDimensions(std::span<const int32_t> sizes) override;
    void Save(ByteWriter& writer) const override;
    void Load(ByteReader& reader) override;
    void MakeSingle() override {}
    [[nodiscard]] std::unique_ptr<TCustomParam> Clone() const override;

    // The value the reference currently leads to, or nullptr.
    [[nodiscard]] TCustomParam* Target() const;

  private:
    std::string name_;
    std::shared_ptr<VariableAnchor> anchor_;
    uint8_t flagByte_ = 0;
    int32_t element_ = 0;
    std::string pendingBindName_;
};

}  // namespace kivo
