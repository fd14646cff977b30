#pragma once
// The numeric property interface of scene objects: scripts read and write every object by PR
// id (0 to 161), and each id has one value type and a default that kinds without the property
// answer. Which kinds support which property is data: every class publishes a map of 162
// accessor slots, built once from its base class's map plus its own entries, so a read is one
// table lookup and one call.
//
// Properties that share one accessor with a cell index (the nine border pictures, the two
// alignment triples, the three particle parameters, the two caret coordinates) keep the cell
// in their slot.

#include <array>
#include <cstdint>
#include <string>
#include <type_traits>
#include <variant>

#include "script/vocabulary.h"

namespace kivo {

class TCustomParam;
class TKivoObject;

// A property value in the property's own type: int32 (PT_INT), double (PT_FLOAT), bool (PT_BOOL)
// or string (PT_STR).
using PropertyValue = std::variant<int32_t, double, bool, std::string>;

struct PropertyAccess {
    PropertyValue (*get)(const TKivoObject& object, int32_t cell) = nullptr;
    // Receives a value already converted to the property's type; null for read-only slots.
    void (*set)(TKivoObject& object, const PropertyValue& value, int32_t cell) = nullptr;
    int32_t cell = 0;
};

using PropertyMap = std::array<PropertyAccess, kPropertyCount>;

// The value a kind without the property reads (kind-dependent defaults such as PR_ORIGWIDTH or
// PR_COMPOTYPE are slots of the base classes instead).
[[nodiscard]] PropertyValue DefaultPropertyValue(int32_t id);
// The type the property holds; ids outside 0..161 have none.
[[nodiscard]] ValueType PropertyType(int32_t id);

// Reads a property in its type. Ids outside 0..161 raise "GetPropエラー".
[[nodiscard]] PropertyValue ReadProperty(const TKivoObject& object, int32_t id);
// Writes a property. The value must be of the property's type (writes from script values go
// through SetProp, which converts). Read-only and unsupported properties and ids outside
// 0..161 are ignored.
void WriteProperty(TKivoObject& object, int32_t id, const PropertyValue& value);

// The script forms: GetProp stores the property into result with the property's type (the
// variable converts it to its own); SetProp reads value as the property's type first.
void GetProp(const TKivoObject& object, int32_t id, TCustomParam& result);
void SetProp(TKivoObject& object, int32_t id, const TCustomParam& value);

// ---- Building maps ----

template <typename T>
struct AccessorTraits;
template <typename C, typename R>
struct AccessorTraits<R (C::*)() const> {
    using Class = C;
    using Value = std::remove_cvref_t<R>;
};
template <typename C, typename A>
struct AccessorTraits<void (C::*)(A)> {
    using Class = C;
    using Value = std::remove_cvref_t<A>;
};

// A slot that reads through the member function Get and, unless Set is nullptr, writes through
// Set. Both work on the property's own type.
template <auto Get, auto Set = nullptr>
[[nodiscard]] constexpr PropertyAccess Accessor() {
    using C = typename AccessorTraits<decltype(Get)>::Class;
    PropertyAccess access;
    access.get = [](const TKivoObject& object, int32_t) -> PropertyValue {
        return (static_cast<const C&>(object).*Get)();
    };
    if constexpr (!std::is_null_pointer_v<decltype(Set)>) {
        using V = typename AccessorTraits<decltype(Set)>::Value;
        using S = typename AccessorTraits<decltype(Set)>::Class;
        access.set = [](TKivoObject& object, const PropertyValue& value, int32_t) {
            (static_cast<S&>(object).*Set)(std::get<V>(value));
        };
    }
    return access;
}

}  // namespace kivo
