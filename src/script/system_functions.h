#pragma once
// The library of system functions (the system function manager): fills the registry with the
// implementations that exist. A function reaches the scene, media, saves, the random generator
// and the calendar only through its call's context (FunctionCall::Context), never through the
// player; functions that need a subsystem join the library with it.

namespace kivo {

class SystemFunctionRegistry;

// Registers every implemented function. Called once by start-up, right after the registry is
// made.
void RegisterSystemFunctions(SystemFunctionRegistry& registry);

}  // namespace kivo
