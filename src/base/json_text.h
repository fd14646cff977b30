#pragma once
// The bits of JSON the player writes for people and tests (the variable and scene dumps):
// strings converted from CP932 with every control character escaped, and numbers that JSON
// can hold.

#include <string>
#include <string_view>

namespace kivo {

// Appends cp932 as a quoted UTF-8 JSON string. Control characters, such as the code 1 that
// starts the names of system objects, become \u00XX escapes.
void AppendJsonString(std::string& out, std::string_view cp932);

// Appends a number with the digits that bring it back exactly; null for an infinity or a NaN,
// which JSON has no form for. The long double form writes the shortest such digits of the
// extended value (script floats).
void AppendJsonNumber(std::string& out, double value);
void AppendJsonNumber(std::string& out, long double value);

}  // namespace kivo
