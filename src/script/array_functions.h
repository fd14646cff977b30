#pragma once
// Arrays and variables: sizes and dimensions, filling and copying, growing and shrinking
// one-dimensional arrays, joining and splitting strings, searching and sorting, and the
// variable lookups (VarExists, GetVarType, AssignTemp).

namespace kivo {

class SystemFunctionRegistry;

void RegisterArrayFunctions(SystemFunctionRegistry& registry);

}  // namespace kivo
