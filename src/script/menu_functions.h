#pragma once
// The system functions of menu items: GetCheck and SetCheck read and set an item's check mark,
// IndexOfMenu finds an item by its text. Objects without items answer false or -1.

namespace kivo {

class SystemFunctionRegistry;

void RegisterMenuFunctions(SystemFunctionRegistry& registry);

}  // namespace kivo
