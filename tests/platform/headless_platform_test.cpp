#include "platform/headless/headless_platform.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/virtual_keys.h"

namespace kivo {
namespace {

TEST(HeadlessDialogs, AnswerFromTheScriptFittedToTheButtonsElseOkOrYes) {
    std::ostringstream log;
    ScriptedDialogs dialogs(log);
    EXPECT_EQ(dialogs.Show("a", "c", DialogIcon::Question, DialogButtons::YesNo),
              DialogAnswer::Yes);
    EXPECT_EQ(dialogs.Show("b", "c", DialogIcon::Information, DialogButtons::OkCancel),
              DialogAnswer::Ok);

    const struct {
        DialogAnswer queued;
        DialogButtons buttons;
        DialogAnswer expected;
    } cases[] = {
        {DialogAnswer::No, DialogButtons::YesNo, DialogAnswer::No},
        {DialogAnswer::Cancel, DialogButtons::YesNo, DialogAnswer::No},
        {DialogAnswer::Ok, DialogButtons::YesNo, DialogAnswer::Yes},
        {DialogAnswer::No, DialogButtons::OkCancel, DialogAnswer::Cancel},
        {DialogAnswer::Yes, DialogButtons::OkCancel, DialogAnswer::Ok},
        {DialogAnswer::Cancel, DialogButtons::Ok, DialogAnswer::Ok},
    };
    for (const auto& c : cases)
        dialogs.QueueAnswer(c.queued);
    for (const auto& c : cases)
        EXPECT_EQ(dialogs.Show("t", "c", DialogIcon::Warning, c.buttons), c.expected);
    EXPECT_EQ(dialogs.Show("t", "c", DialogIcon::Warning, DialogButtons::YesNo),
              DialogAnswer::Yes);  // queue used up
    EXPECT_EQ(dialogs.Shown(), 9);
    EXPECT_NE(log.str().find("[question] c: a -> yes\n"), std::string::npos);
    EXPECT_NE(log.str().find("[warning] c: t -> no\n"), std::string::npos);
}

TEST(HeadlessDialogs, ListsAreLoggedAndAnsweredFromTheirOwnQueueElseTheFirstLine) {
    std::ostringstream log;
    ScriptedDialogs dialogs(log);
    const std::vector<std::string> lines = {"000 : 16 x 16  4 bpp", "001 : 32 x 32  8 bpp",
                                            "002 : 48 x 48  32 bpp"};
    EXPECT_EQ(dialogs.ChooseFromList("Pick", lines, "OK"), 0u);
    EXPECT_EQ(log.str(),
              "[list] Pick -> 0\n"
              "  000 : 16 x 16  4 bpp\n  001 : 32 x 32  8 bpp\n  002 : 48 x 48  32 bpp\n");

    // Choices and button answers wait in separate queues, so neither takes the other's.
    dialogs.QueueAnswer(DialogAnswer::No);
    dialogs.QueueChoice(2);
    dialogs.QueueChoice(3);  // past the end: the first line
    EXPECT_EQ(dialogs.ChooseFromList("Pick", lines, "OK"), 2u);
    EXPECT_EQ(dialogs.Show("t", "c", DialogIcon::Question, DialogButtons::YesNo), DialogAnswer::No);
    EXPECT_EQ(dialogs.ChooseFromList("Pick", lines, "OK"), 0u);
    EXPECT_EQ(dialogs.ChooseFromList("Pick", {}, "OK"), 0u);  // nothing to show
    EXPECT_EQ(dialogs.ListsShown(), 3);
    EXPECT_EQ(dialogs.Shown(), 1);
    EXPECT_NE(log.str().find("[list] Pick -> 2\n"), std::string::npos);
}

TEST(HeadlessScreen, KeepsTheDirtyRectanglesOfEachPresentClippedToTheFrame) {
    MemoryScreen screen;
    std::vector<uint32_t> frame(4 * 3, 0x111111);
    const TRect all[] = {{-5, -5, 50, 50}};
    screen.Present(FrameView{frame.data(), 4, 3, 4}, all);
    std::fill(frame.begin(), frame.end(), 0x222222);
    const TRect one[] = {{1, 1, 2, 2}, {3, 0, 3, 3}};  // the second is empty
    screen.Present(FrameView{frame.data(), 4, 3, 4}, one);
    ASSERT_EQ(screen.Frame().size(), 12u);
    EXPECT_EQ(screen.Frame()[0], 0x111111u);
    EXPECT_EQ(screen.Frame()[1 * 4 + 1], 0x222222u);
    EXPECT_EQ(screen.Frame()[1 * 4 + 2], 0x111111u);
    EXPECT_EQ(screen.Presents(), 2);
}

TEST(HeadlessAudio, ConsumesExactlyTheSamplesOfTheGameTimeThatPassed) {
    class CountingSource final : public AudioSource {
      public:
        void Render(int16_t* out, size_t frames, int32_t channels) override {
            EXPECT_EQ(channels, 2);
            rendered += frames;
            out[frames * 2 - 1] = 0;  // the buffer holds both channels of every frame
        }
        size_t rendered = 0;
    } source;
    GameTimeAudioSink sink;
    ASSERT_TRUE(sink.Open(AudioFormat{44100, 2}, source));
    for (int i = 0; i < 1000; ++i)
        sink.OnFrame(16);  // 16 s: 705.6 frames per tick
    EXPECT_EQ(source.rendered, 16u * 44100u);
    sink.SetPaused(true);
    sink.OnFrame(16);
    EXPECT_EQ(sink.ConsumedFrames(), 16u * 44100u);
    sink.SetPaused(false);
    sink.Close();
    sink.OnFrame(16);
    EXPECT_EQ(source.rendered, 16u * 44100u);
}

// A source that writes a running count into every sample, offset by a base, so that the kept
// sound shows which source rendered which samples.
class RampSource final : public AudioSource {
  public:
    explicit RampSource(int16_t base) : base_(base) {}
    void Render(int16_t* out, size_t frames, int32_t channels) override {
        for (size_t i = 0; i < frames * static_cast<size_t>(channels); ++i)
            out[i] = static_cast<int16_t>(base_ + next_++);
    }

  private:
    int16_t base_;
    int16_t next_ = 0;
};

TEST(HeadlessAudio, KeepsWhatItConsumedAsWaveAndSwitchesSourcesBetweenFrames) {
    RampSource silence(0);
    RampSource mixer(1000);
    GameTimeAudioSink sink;
    ASSERT_TRUE(sink.Open(AudioFormat{8000, 1, 200}, silence));
    EXPECT_EQ(sink.Format().bufferMs, 200);
    sink.OnFrame(1);  // before keeping: 8 samples not kept
    sink.KeepSamples();
    sink.OnFrame(1);
    sink.SetSource(mixer);
    sink.OnFrame(1);

    const std::vector<uint8_t> wave = sink.KeptAsWave();
    ASSERT_EQ(wave.size(), 44u + 16u * 2u);
    const auto u32 = [&](size_t at) {
        return uint32_t{wave[at]} | uint32_t{wave[at + 1]} << 8 | uint32_t{wave[at + 2]} << 16 |
               uint32_t{wave[at + 3]} << 24;
    };
    const auto u16 = [&](size_t at) { return uint16_t(wave[at] | wave[at + 1] << 8); };
    EXPECT_EQ(std::string(wave.begin(), wave.begin() + 4), "RIFF");
    EXPECT_EQ(u32(4), 36u + 32u);
    EXPECT_EQ(std::string(wave.begin() + 8, wave.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(u16(20), 1);      // PCM
    EXPECT_EQ(u16(22), 1);      // channels
    EXPECT_EQ(u32(24), 8000u);  // rate
    EXPECT_EQ(u32(28), 16000u);
    EXPECT_EQ(u16(32), 2);
    EXPECT_EQ(u16(34), 16);
    EXPECT_EQ(std::string(wave.begin() + 36, wave.begin() + 40), "data");
    EXPECT_EQ(u32(40), 32u);
    // The silence's second frame (samples 8..15), then the mixer's first (1000..1007).
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(u16(44 + 2 * i), 8 + i) << i;
        EXPECT_EQ(u16(60 + 2 * i), 1000 + i) << i;
    }
}

TEST(AudioSources, AStereoSourceServesOutputsOfOtherChannelCounts) {
    // Left counts up from 0, right is always 100; more frames than one chunk of the fold.
    class StereoSource final : public AudioSource {
      public:
        void Render(int16_t* out, size_t frames, int32_t channels) override {
            ASSERT_EQ(channels, 2);
            for (size_t i = 0; i < frames; ++i) {
                out[2 * i] = static_cast<int16_t>(next_++);
                out[2 * i + 1] = 100;
            }
        }

      private:
        int32_t next_ = 0;
    };
    const size_t frames = 600;
    for (int32_t channels : {1, 3}) {
        StereoSource source;
        std::vector<int16_t> out(frames * static_cast<size_t>(channels), -1);
        RenderStereoAs(source, out.data(), frames, channels);
        for (size_t i = 0; i < frames; i += 97) {
            const int16_t* frame = out.data() + i * static_cast<size_t>(channels);
            if (channels == 1) {
                EXPECT_EQ(frame[0], (static_cast<int32_t>(i) + 100) / 2) << i;
            } else {
                EXPECT_EQ(frame[0], static_cast<int16_t>(i)) << i;
                EXPECT_EQ(frame[1], 100) << i;
                EXPECT_EQ(frame[2], 0) << i;
            }
        }
        EXPECT_NE(out.back(), -1) << channels;
    }
}

TEST(VirtualKeys, KeyPositionsMapToTheCodesScriptsTest) {
    const struct {
        uint32_t usage;
        int32_t vk;
    } cases[] = {
        {0x04, 'A'},  {0x1D, 'Z'},  {0x1E, '1'},  {0x27, '0'},  {0x28, 0x0D},
        {0x29, 0x1B}, {0x2C, 0x20}, {0x3A, 0x70}, {0x45, 0x7B}, {0x4F, 0x27},
        {0x50, 0x25}, {0x51, 0x28}, {0x52, 0x26}, {0xE1, 0x10}, {0xE0, 0x11},
        {0xE2, 0x12}, {0x62, 0x60}, {0x61, 0x69}, {0x00, 0},    {0xFFFF, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VirtualKeyFromHidUsage(c.usage), c.vk) << std::hex << c.usage;
}

TEST(HeadlessCalendar, StartsAtItsDateAndRunsWithTheClock) {
    std::ostringstream log;
    HeadlessPlatform platform(log);
    EXPECT_EQ(FormatCalendarTime(platform.calendar.Now()), "2000-01-01T12:00:00");
    EXPECT_EQ(platform.calendar.Now().dayOfWeek, 7);  // a Saturday

    // Game time moves it across midnight, the month and the year; the weekday follows.
    HeadlessPlatform late(log, nullptr, *ParseCalendarTime("2023-12-31T23:59:59"));
    late.clock.Advance(1500);
    const CalendarTime next = late.calendar.Now();
    EXPECT_EQ(FormatCalendarTime(next), "2024-01-01T00:00:00");
    EXPECT_EQ(next.millisecond, 500);
    EXPECT_EQ(next.dayOfWeek, 2);  // a Monday
    // Past the wrap of the 32-bit clock (49.7 days) it keeps counting.
    for (uint32_t days : {30u, 29u}) {
        late.clock.Advance(days * 24 * 3600 * 1000);
        (void)late.calendar.Now();
    }
    EXPECT_EQ(FormatCalendarTime(late.calendar.Now()), "2024-02-29T00:00:00");
}

TEST(HeadlessCalendar, OnlyRealDatesAndTimesAreMade) {
    EXPECT_TRUE(MakeCalendarTime(2024, 2, 29));
    for (const char* bad : {"2023-02-29T00:00:00", "2024-04-31T00:00:00", "2024-13-01T00:00:00",
                            "2024-01-01T23:60:00", "0000-01-01T00:00:00", "2024-01-01T00:00",
                            "2024/01/01T00:00:00", "2024-01-01T00:00:0x"}) {
        EXPECT_FALSE(ParseCalendarTime(bad)) << bad;
    }
    EXPECT_EQ(ParseCalendarTime("1899-12-30T06:07:08")->dayOfWeek, 7);
}

}  // namespace
}  // namespace kivo
