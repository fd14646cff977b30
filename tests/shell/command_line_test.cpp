#include "shell/command_line.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace kivo {
namespace {

TEST(CommandLine, TakesOptionsOutAndKeepsTheRestAsArguments) {
    const CommandLine line = ParseCommandLine({"--headless",
                                               "g1",
                                               "--frame-ms",
                                               "33",
                                               "--frames=10",
                                               "--seed",
                                               "4294967295",
                                               "--trace",
                                               "t.txt",
                                               "--dump-vars",
                                               "d.json",
                                               "--screenshot",
                                               "s.png",
                                               "--input",
                                               "i.txt",
                                               "--dump-scene=sc.json",
                                               "--audio-dump",
                                               "a.wav",
                                               "--date=2024-02-29T23:59:58",
                                               "--save-dir",
                                               "saves",
                                               "/config",
                                               "--",
                                               "--g2"});
    EXPECT_TRUE(line.headless);
    EXPECT_EQ(line.frameMs, 33);
    EXPECT_EQ(line.frames, 10);
    EXPECT_EQ(line.seed, 4294967295u);
    EXPECT_EQ(line.traceFile, "t.txt");
    EXPECT_EQ(line.dumpVarsFile, "d.json");
    EXPECT_EQ(line.screenshotFile, "s.png");
    EXPECT_EQ(line.inputFile, "i.txt");
    EXPECT_EQ(line.dumpSceneFile, "sc.json");
    EXPECT_EQ(line.audioDumpFile, "a.wav");
    EXPECT_EQ(line.saveDir, "saves");
    ASSERT_TRUE(line.date);
    EXPECT_EQ(FormatCalendarTime(*line.date), "2024-02-29T23:59:58");
    EXPECT_EQ(line.arguments, (std::vector<std::string>{"g1", "/config", "--g2"}));

    const CommandLine defaults = ParseCommandLine({});
    EXPECT_FALSE(defaults.headless);
    EXPECT_EQ(defaults.frameMs, 16);
    EXPECT_FALSE(defaults.frames);
    EXPECT_FALSE(defaults.seed);
    EXPECT_FALSE(defaults.date);
}

TEST(CommandLine, RejectsUnknownOptionsAndBadValues) {
    const std::vector<std::vector<std::string_view>> bad = {
        {"--bogus"},
        {"--frames"},
        {"--frames", "-1"},
        {"--frames", "x"},
        {"--frame-ms", "0"},
        {"--frame-ms", "3001"},
        {"--seed", "4294967296"},
        {"--trace="},
        {"--headless=1"},
        {"--input"},
        {"--dump-scene"},
        {"--audio-dump="},
        {"--date", "2023-02-29T00:00:00"},
        {"--date", "2024-1-01T00:00:00"},
        {"--date", "2024-01-01 00:00:00"},
        {"--date", "2024-01-01T24:00:00"},
    };
    for (const auto& words : bad) {
        EXPECT_THROW((void)ParseCommandLine(words), KivoError) << words[0];
    }
}

}  // namespace
}  // namespace kivo
