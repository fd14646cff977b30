#include "platform/calendar.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "platform/clock.h"

namespace kivo {

namespace {

namespace chr = std::chrono;

constexpr int64_t kMsPerDay = 24LL * 60 * 60 * 1000;

chr::sys_days DaysOf(const CalendarTime& time) {
    return chr::sys_days(chr::year(time.year) / chr::month(static_cast<unsigned>(time.month)) /
                         chr::day(static_cast<unsigned>(time.day)));
}

CalendarTime FromDays(chr::sys_days days, int64_t msOfDay) {
    const chr::year_month_day date(days);
    CalendarTime time;
    time.year = static_cast<int>(date.year());
    time.month = static_cast<int32_t>(static_cast<unsigned>(date.month()));
    time.day = static_cast<int32_t>(static_cast<unsigned>(date.day()));
    time.dayOfWeek = static_cast<int32_t>(chr::weekday(days).c_encoding()) + 1;
    time.hour = static_cast<int32_t>(msOfDay / 3600000);
    time.minute = static_cast<int32_t>(msOfDay / 60000 % 60);
    time.second = static_cast<int32_t>(msOfDay / 1000 % 60);
    time.millisecond = static_cast<int32_t>(msOfDay % 1000);
    return time;
}

bool ReadField(std::string_view text, size_t at, size_t width, int32_t& value) {
    if (at + width > text.size()) return false;
    for (size_t i = at; i < at + width; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    std::from_chars(text.data() + at, text.data() + at + width, value);
    return true;
}

}  // namespace

std::optional<CalendarTime> MakeCalendarTime(int32_t year, int32_t month, int32_t day, int32_t hour,
                                             int32_t minute, int32_t second) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31) return {};
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return {};
    const chr::year_month_day date(chr::year(year), chr::month(static_cast<unsigned>(month)),
                                   chr::day(static_cast<unsigned>(day)));
    if (!date.ok()) return {};
    return FromDays(chr::sys_days(date), ((hour * 60LL + minute) * 60 + second) * 1000);
}

std::optional<CalendarTime> ParseCalendarTime(std::string_view text) {
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':') {
        return {};
    }
    int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!ReadField(text, 0, 4, year) || !ReadField(text, 5, 2, month) ||
        !ReadField(text, 8, 2, day) || !ReadField(text, 11, 2, hour) ||
        !ReadField(text, 14, 2, minute) || !ReadField(text, 17, 2, second)) {
        return {};
    }
    return MakeCalendarTime(year, month, day, hour, minute, second);
}

std::string FormatCalendarTime(const CalendarTime& time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", time.year, time.month,
                  time.day, time.hour, time.minute, time.second);
    return text;
}

CalendarTime AddMilliseconds(const CalendarTime& time, int64_t ms) {
    int64_t total = time.MillisecondOfDay() + ms;
    int64_t days = total / kMsPerDay;
    int64_t rest = total % kMsPerDay;
    if (rest < 0) {
        rest += kMsPerDay;
        --days;
    }
    return FromDays(DaysOf(time) + chr::days(days), rest);
}

CalendarTime SystemCalendar::Now() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    localtime_r(&now.tv_sec, &local);
    CalendarTime time;
    time.year = local.tm_year + 1900;
    time.month = local.tm_mon + 1;
    time.day = local.tm_mday;
    time.dayOfWeek = local.tm_wday + 1;
    time.hour = local.tm_hour;
    time.minute = local.tm_min;
    // A leap second reads as the last second of its minute.
    time.second = local.tm_sec > 59 ? 59 : local.tm_sec;
    time.millisecond = static_cast<int32_t>(now.tv_nsec / 1000000);
    return time;
}

ClockCalendar::ClockCalendar(Clock& clock, CalendarTime start)
    : clock_(clock), start_(start), lastReading_(clock.NowMs()) {}

CalendarTime ClockCalendar::Now() {
    // Unsigned subtraction measures right across the clock's 32-bit wrap; the sum of the
    // steps goes on past it.
    const uint32_t reading = clock_.NowMs();
    elapsedMs_ += static_cast<uint32_t>(reading - lastReading_);
    lastReading_ = reading;
    return AddMilliseconds(start_, elapsedMs_);
}

CalendarTime DefaultHeadlessDate() {
    return *MakeCalendarTime(2000, 1, 1, 12, 0, 0);
}

}  // namespace kivo
