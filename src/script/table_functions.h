#pragma once
// The system functions of the data tables (DBCreateTable ... DBGetTable): thin calls onto the
// player's table manager, reached through the call's context. None of them fails towards the
// script: a missing table, field or record answers false, -1, 0, empty or the default given.

namespace kivo {

class SystemFunctionRegistry;

void RegisterTableFunctions(SystemFunctionRegistry& registry);

}  // namespace kivo
