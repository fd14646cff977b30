#include "script/system_functions.h"

#include "script/array_functions.h"
#include "script/conversion_functions.h"
#include "script/date_functions.h"
#include "script/function_registry.h"
#include "script/host_functions.h"
#include "script/item_functions.h"
#include "script/math_functions.h"
#include "script/menu_functions.h"
#include "script/param.h"
#include "script/save_functions.h"
#include "script/screen_functions.h"
#include "script/script_context.h"
#include "script/string_functions.h"
#include "script/table_functions.h"

namespace kivo {

namespace {

// Kind codes from this one on name no kind: ListCompo lists every kind for them.
constexpr int32_t kFirstKindBeyondLast = 28;

// Random(n): a number from 0 to n - 1 from the process generator.
void Random(const FunctionCall& call) {
    call.target.SetInteger(call.Context().random.Below(call.arguments[0]->AsInteger()));
}

// Exists(name): whether an object of that name is in the scene; never for the empty name,
// which would otherwise find the active layer.
void Exists(const FunctionCall& call) {
    const std::string name = call.arguments[0]->AsString();
    call.target.SetFlag(!name.empty() && !call.Context().scene.FindByName(name).IsNull());
}

// The object a name argument gives, through the scripts' lookup.
ObjectHandle ObjectArgument(const FunctionCall& call, size_t index) {
    return call.Context().scene.FindByName(call.arguments[index]->AsString());
}

// InPrimary(name): whether the object lies on the shown layer, outside any cabinet.
void InPrimary(const FunctionCall& call) {
    call.target.SetFlag(false);
    const ObjectHandle object = ObjectArgument(call, 0);
    call.target.SetFlag(!object.IsNull() && call.Context().scene.InPrimary(object));
}

// ToClientX/Y(object, coordinate) and ToScreenX/Y: a point of the scene panel into the
// object's own coordinates and back, one axis at a time. The panel stands where the screen's
// origin is (as in full screen), since a window's place on the desktop is not known to every
// Linux desktop; without the object the coordinate is returned unchanged.
template <bool toClient, bool vertical>
void ConvertCoordinate(const FunctionCall& call) {
    const int32_t coordinate = call.arguments[1]->AsInteger();
    const auto origin = call.Context().scene.ClientOrigin(ObjectArgument(call, 0));
    const int64_t shift = !origin ? 0 : vertical ? origin->y : origin->x;
    const int64_t converted = toClient ? coordinate - shift : coordinate + shift;
    call.target.SetInteger(static_cast<int32_t>(static_cast<uint32_t>(converted)));
}

// GetProp(object, id): the property into the target, which has the property's type. A missing
// object leaves the target empty.
void GetPropFunction(const FunctionCall& call) {
    const ObjectHandle object = ObjectArgument(call, 0);
    if (!object.IsNull())
        (void)call.Context().scene.ReadProperty(object, call.arguments[1]->AsInteger(),
                                                call.target);
}

// SetProp(object, id, value): writes the property; no result.
void SetPropFunction(const FunctionCall& call) {
    const ObjectHandle object = ObjectArgument(call, 0);
    if (!object.IsNull())
        call.Context().scene.WriteProperty(object, call.arguments[1]->AsInteger(),
                                           *call.arguments[2]);
}

// ListCompo(v [, kind [, parent]]): the names of the scene's objects into v, of one kind
// unless kind is 0 or beyond the last kind, only the parent's direct children when a parent
// is named. v becomes an array of the names, or one empty string; the result is the count.
void ListCompo(const FunctionCall& call) {
    SceneCommands& scene = call.Context().scene;
    std::optional<int32_t> kind;
    if (call.arguments.size() > 1) {
        const int32_t code = call.arguments[1]->AsInteger();
        if (code != 0 && code < kFirstKindBeyondLast) kind = code;
    }
    std::optional<ObjectHandle> parent;
    if (call.arguments.size() > 2) parent = scene.FindByName(call.arguments[2]->AsString());
    // A parent name that names nothing lists nothing, as a kind no object has.
    const std::vector<std::string> names = (parent && parent->IsNull()) || (kind && *kind < 0)
                                               ? std::vector<std::string>{}
                                               : scene.ListNames(kind, parent);
    // The argument refers to the variable; its value is what changes shape.
    TCustomParam* list = call.arguments[0];
    if (const auto* reference = dynamic_cast<const TParamVar*>(list)) {
        if (TCustomParam* value = reference->Target()) list = value;
    }
    if (names.empty()) {
        list->MakeSingle();
        list->SetString("");
    } else {
        const int32_t count = static_cast<int32_t>(names.size());
        list->SetDimensions(std::span<const int32_t>(&count, 1));
        for (int32_t i = 0; i < count; ++i)
            list->SetStringAt(i, names[static_cast<size_t>(i)]);
    }
    call.target.SetInteger(static_cast<int32_t>(names.size()));
}

}  // namespace

void RegisterSystemFunctions(SystemFunctionRegistry& registry) {
    registry.Register(*FunctionIndex("Random"), Random);
    registry.Register(*FunctionIndex("Exists"), Exists);
    RegisterConversionFunctions(registry);
    RegisterStringFunctions(registry);
    RegisterMathFunctions(registry);
    RegisterDateFunctions(registry);
    RegisterArrayFunctions(registry);
    RegisterHostFunctions(registry);
    RegisterScreenFunctions(registry);
    registry.Register(*FunctionIndex("InPrimary"), InPrimary);
    registry.Register(*FunctionIndex("GetProp"), GetPropFunction);
    registry.Register(*FunctionIndex("SetProp"), SetPropFunction);
    registry.Register(*FunctionIndex("ListCompo"), ListCompo);
    registry.Register(*FunctionIndex("ToClientX"), ConvertCoordinate<true, false>);
    registry.Register(*FunctionIndex("ToClientY"), ConvertCoordinate<true, true>);
    registry.Register(*FunctionIndex("ToScreenX"), ConvertCoordinate<false, false>);
    registry.Register(*FunctionIndex("ToScreenY"), ConvertCoordinate<false, true>);
    RegisterTableFunctions(registry);
    RegisterSaveFunctions(registry);
    RegisterMenuFunctions(registry);
    RegisterItemFunctions(registry);
}

}  // namespace kivo
