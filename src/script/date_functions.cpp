#include "script/date_functions.h"

#include <chrono>
#include <cmath>

#include "script/function_arguments.h"

namespace kivo {

namespace {

namespace chr = std::chrono;

constexpr int64_t kMsPerDay = 86'400'000;
// 30 December 1899 in days since 1 January 1970.
constexpr int64_t kDayZero = -25'569;
// 1 January 1 and 31 December 9999 as day numbers.
constexpr int64_t kFirstDay = -693'593;
constexpr int64_t kLastDay = 2'958'465;

[[noreturn]] void InvalidDate() { throw KivoError("日付が不正です"); }

const char* const kWeekNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                  "Thursday", "Friday", "Saturday"};
// 日 月 火 水 木 金 土 in Shift-JIS.
const char* const kWeekJNames[] = {"\x93\xfa", "\x8c\x8e", "\x89\xce", "\x90\x85",
                                   "\x96\xd8", "\x8b\xe0", "\x93\x79"};

void EncodeDate(const FunctionCall& call) {
    const int32_t year = IntArgument(call, 0);
    const int32_t month = IntArgument(call, 1);
    const int32_t day = IntArgument(call, 2);
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31) InvalidDate();
    const chr::year_month_day date{chr::year(year), chr::month(static_cast<unsigned>(month)),
                                   chr::day(static_cast<unsigned>(day))};
    if (!date.ok()) InvalidDate();
    call.target.SetFloat(
        static_cast<Extended>(chr::sys_days(date).time_since_epoch().count() - kDayZero));
}

void EncodeTime(const FunctionCall& call) {
    const int32_t hour = IntArgument(call, 0);
    const int32_t minute = IntArgument(call, 1);
    const int32_t second = IntArgument(call, 2);
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        throw KivoError("時刻が不正です");
    }
    const int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000;
    call.target.SetFloat(static_cast<Extended>(ms) / kMsPerDay);
}

void DecodeDate(const FunctionCall& call) {
    const DateParts parts = DecodeDateTime(FloatArgument(call, 0));
    call.arguments[1]->SetInteger(parts.year);
    call.arguments[2]->SetInteger(parts.month);
    call.arguments[3]->SetInteger(parts.day);
}

void DecodeTime(const FunctionCall& call) {
    const DateParts parts = DecodeDateTime(FloatArgument(call, 0));
    call.arguments[1]->SetInteger(parts.hour);
    call.arguments[2]->SetInteger(parts.minute);
    call.arguments[3]->SetInteger(parts.second);
}

template <int32_t DateParts::*Part>
void GetPart(const FunctionCall& call) {
    call.target.SetInteger(DecodeDateTime(FloatArgument(call, 0)).*Part);
}

void GetWeekStr(const FunctionCall& call) {
    call.target.SetString(kWeekNames[DecodeDateTime(FloatArgument(call, 0)).dayOfWeek - 1]);
}

void GetWeekJStr(const FunctionCall& call) {
    call.target.SetString(kWeekJNames[DecodeDateTime(FloatArgument(call, 0)).dayOfWeek - 1]);
}

}  // namespace

DateParts DecodeDateTime(Extended value) {
    if (!std::isfinite(value) || value < kFirstDay - 1 || value > kLastDay + 1) InvalidDate();
    const Extended whole = std::trunc(value);
    auto day = static_cast<int64_t>(whole);
    int64_t ms = std::llround(std::fabs(value - whole) * kMsPerDay);
    if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        ++day;
    }
    if (day < kFirstDay || day > kLastDay) InvalidDate();
    const chr::sys_days days{chr::days(day + kDayZero)};
    const chr::year_month_day date(days);
    DateParts parts{};
    parts.year = static_cast<int32_t>(date.year());
    parts.month = static_cast<int32_t>(static_cast<unsigned>(date.month()));
    parts.day = static_cast<int32_t>(static_cast<unsigned>(date.day()));
    parts.dayOfWeek = static_cast<int32_t>(chr::weekday(days).c_encoding()) + 1;
    parts.hour = static_cast<int32_t>(ms / 3'600'000);
    parts.minute = static_cast<int32_t>(ms / 60'000 % 60);
    parts.second = static_cast<int32_t>(ms / 1000 % 60);
    parts.millisecond = static_cast<int32_t>(ms % 1000);
    return parts;
}

void RegisterDateFunctions(SystemFunctionRegistry& registry) {
    RegisterFunctions(registry, {
                                    {"EncodeDate", EncodeDate},
                                    {"EncodeTime", EncodeTime},
                                    {"DecodeDate", DecodeDate},
                                    {"DecodeTime", DecodeTime},
                                    {"GetYear", GetPart<&DateParts::year>},
                                    {"GetMonth", GetPart<&DateParts::month>},
                                    {"GetDay", GetPart<&DateParts::day>},
                                    {"GetHour", GetPart<&DateParts::hour>},
                                    {"GetMin", GetPart<&DateParts::minute>},
                                    {"GetSec", GetPart<&DateParts::second>},
                                    {"GetWeek", GetPart<&DateParts::dayOfWeek>},
                                    {"GetWeekStr", GetWeekStr},
                                    {"GetWeekJStr", GetWeekJStr},
                                });
}

}  // namespace kivo
