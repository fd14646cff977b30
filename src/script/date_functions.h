#pragma once
// Dates and times as script floats: whole days since 30 December 1899, the fraction being the
// time of day. Years run from 1 to 9999.

#include <cstdint>

#include "base/ext80.h"

namespace kivo {

class SystemFunctionRegistry;

void RegisterDateFunctions(SystemFunctionRegistry& registry);

// The parts of a date-time. Before day 0 the date is the day truncated toward zero and the
// time the absolute fraction; the time rounds to milliseconds and carries into the next day.
// Values outside the years 1 to 9999 (and NaN) raise an error.
struct DateParts {
    int32_t year;
    int32_t month;
    int32_t day;
    int32_t dayOfWeek;  // 1 = Sunday ... 7 = Saturday
    int32_t hour;
    int32_t minute;
    int32_t second;
    int32_t millisecond;
};
[[nodiscard]] DateParts DecodeDateTime(Extended value);

}  // namespace kivo
