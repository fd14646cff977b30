#pragma once
// The system functions of item flags: GetEnabled, SetEnabled, GetVisible and SetVisible read
// and set whether an item of an object (a preview menu's button) is enabled or shown. The
// index may be given as text, which for a preview menu may also be a button's name.

namespace kivo {

class SystemFunctionRegistry;

void RegisterItemFunctions(SystemFunctionRegistry& registry);

}  // namespace kivo
