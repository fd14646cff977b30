#pragma once
// The calendar: the local date and time of day that scripts read (@Year ... @Sec) and the time
// of day the random generator is seeded from. The desktop player reads the host's local time;
// a headless run starts from a fixed date and moves it on by the game time that passed, so
// that the same inputs always give the same run.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kivo {

class Clock;

struct CalendarTime {
    int32_t year = 2000;
    int32_t month = 1;      // 1 ... 12
    int32_t day = 1;        // 1 ... 31
    int32_t dayOfWeek = 7;  // 1 = Sunday ... 7 = Saturday; derived from the date
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t second = 0;
    int32_t millisecond = 0;

    // Milliseconds since local midnight.
    [[nodiscard]] int32_t MillisecondOfDay() const {
        return ((hour * 60 + minute) * 60 + second) * 1000 + millisecond;
    }
    friend bool operator==(const CalendarTime&, const CalendarTime&) = default;
};

// A valid date and time of day with its weekday filled in, or nothing (February 30th, hour 24,
// years outside 1 ... 9999).
[[nodiscard]] std::optional<CalendarTime> MakeCalendarTime(int32_t year, int32_t month, int32_t day,
                                                           int32_t hour = 0, int32_t minute = 0,
                                                           int32_t second = 0);
// "YYYY-MM-DDTHH:MM:SS", exactly so; nothing for any other text or an invalid date.
[[nodiscard]] std::optional<CalendarTime> ParseCalendarTime(std::string_view text);
[[nodiscard]] std::string FormatCalendarTime(const CalendarTime& time);
// time moved on by ms milliseconds, across days, months and years.
[[nodiscard]] CalendarTime AddMilliseconds(const CalendarTime& time, int64_t ms);

class Calendar {
  public:
    virtual ~Calendar() = default;

    // The local date and time now. Called on the main thread, at most a few times a frame
    // (the variable table reads it once per frame and keeps the reading); cheap.
    [[nodiscard]] virtual CalendarTime Now() = 0;
};

// The host's local time.
class SystemCalendar final : public Calendar {
  public:
    [[nodiscard]] CalendarTime Now() override;
};

// A calendar that starts at a given time and runs with a clock: Now() is the start moved on
// by the milliseconds the clock advanced since the calendar was made. Over the headless clock
// that is the game time. The clock's 32-bit readings wrap after 49.7 days; the calendar keeps
// counting as long as it is read at least once in that span.
class ClockCalendar final : public Calendar {
  public:
    ClockCalendar(Clock& clock, CalendarTime start);
    [[nodiscard]] CalendarTime Now() override;

  private:
    Clock& clock_;
    CalendarTime start_;
    uint32_t lastReading_;
    int64_t elapsedMs_ = 0;
};

// Where a headless run's calendar starts unless --date says otherwise: 2000-01-01, a Saturday,
// at 12:00:00.
[[nodiscard]] CalendarTime DefaultHeadlessDate();

}  // namespace kivo
