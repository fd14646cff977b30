#pragma once
// The fixture of the games that scene tests play headless: a project and pages assembled from
// the page text form into a scratch folder, played for a number of frames, with the last
// presented frame and the variable dump to look at.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "app/headless_driver.h"
#include "media/backend/backend_media_codecs.h"
#include "shell/input_script.h"
#include "shell/script_project.h"
#include "shell/session.h"
#include "support/scratch_folder.h"
#include "tools/script/text/script_files.h"
#include "vars_dump.h"

namespace kivo {

// The page text with every command but the waiting ones run in the same frame as the next.
inline std::string Continued(const std::string& text) {
    std::istringstream lines(text);
    std::string out;
    for (std::string line; std::getline(lines, line);) {
        const bool waits = line.starts_with("Wait") || line.starts_with("DoEvent") ||
                           line.starts_with("Flip") || line.starts_with("Exit");
        out += line + (waits || line.empty() ? "\n" : " .continue\n");
    }
    return out;
}

// The frame's pixel of a colour given as a script writes it (0xBBGGRR).
inline uint32_t Pixel(uint32_t colorRef) {
    return ((colorRef & 0xFF) << 16) | (colorRef & 0xFF00) | ((colorRef >> 16) & 0xFF);
}

inline constexpr uint32_t kRed = 0x0000FF;
inline constexpr uint32_t kGreen = 0x00FF00;
inline constexpr uint32_t kBlue = 0xFF0000;
inline constexpr uint32_t kWhite = 0xFFFFFF;
inline constexpr uint32_t kGrey = 0x808080;

// A driver that lets a test look at the player between frames.
class WatchedDriver final : public SessionDriver {
  public:
    WatchedDriver(SessionDriver& inner, std::function<void(int64_t)> watch)
        : inner_(inner), watch_(std::move(watch)) {}
    void BeforeStartup() override { inner_.BeforeStartup(); }
    void BeforePass(int64_t frame) override {
        inner_.BeforePass(frame);
        if (watch_) watch_(frame);
    }
    void BeforeIdle() override { inner_.BeforeIdle(); }
    [[nodiscard]] bool Headless() const override { return inner_.Headless(); }
    [[nodiscard]] bool Capture(std::vector<uint32_t>& pixels, int32_t& width,
                               int32_t& height) override {
        return inner_.Capture(pixels, width, height);
    }

  private:
    SessionDriver& inner_;
    std::function<void(int64_t)> watch_;
};

class SceneGame : public ::testing::Test {
  protected:
    // A game of a width x height scene whose start page is main; variables are declared by
    // the pages.
    void Write(const std::string& mainText, int32_t width = 32, int32_t height = 16,
               const std::string& handlersText = "") {
        const std::string project = "version 110\ntitle \"scene\"\nscreen " +
                                    std::to_string(width) + " " + std::to_string(height) +
                                    "\nfullscreen " + std::to_string(width) + " " +
                                    std::to_string(height) + "\nstart \"main.ksb\"\n" +
                                    projectLines;
        Assemble("kivo.kps", script_text::SourceKind::ProjectText, project, "kivo.kpb");
        Assemble("main.kss", script_text::SourceKind::PageText, "version 110\n" + Continued(mainText),
                 "main.ksb");
        if (!handlersText.empty())
            Assemble("ev.kss", script_text::SourceKind::PageText, "version 110\n" + Continued(handlersText),
                     "ev.ksb");
    }

    // Plays the game for frames steps with the input script; returns the status.
    int Play(int64_t frames, const std::string& input = "") {
        HeadlessPlatform platform(dialogLog_);
        if (keepAudio) platform.audio.KeepSamples();
        HeadlessDriver headless(platform, ParseInputScript(input, "input").input, 16);
        PlayerConfig config;
        if (keepAudio) config.media.codecs = [] { return std::make_unique<BackendMediaCodecs>(); };
        config.executableFolder = folder_.Path();
        config.arguments = {folder_.Path().string()};
        config.seed = seed_;
        config.projectFactory = ScriptProjectFactory();
        if (configure) configure(config);
        Player player(platform.Services(), config);
        SessionOptions options;
        options.frames = frames;
        options.dumpVarsFile = folder_ / "vars.json";
        options.dumpSceneFile = folder_ / "scene.json";
        WatchedDriver driver(headless, [&](int64_t frame) {
            if (eachPass) eachPass(player, frame);
        });
        const int status = RunSession(player, options, driver);
        frame_ = platform.screen.Frame();
        width_ = platform.screen.FrameWidth();
        if (keepAudio) audio_ = platform.audio.KeptAsWave();
        return status;
    }

    [[nodiscard]] uint32_t At(int32_t x, int32_t y) const {
        return frame_[static_cast<size_t>(y * width_ + x)] & 0xFFFFFF;
    }

    // The cells of a row of square cells whose centre shows white text (a glyph's coverage
    // there may fall a step short of full), counted over the first columns cells.
    [[nodiscard]] int32_t InkedCells(int32_t row, int32_t cell, int32_t columns) const {
        int32_t count = 0;
        for (int32_t column = 0; column < columns; ++column) {
            const uint32_t pixel = At(column * cell + cell / 2, row * cell + cell / 2);
            const bool white = (pixel & 0xFF) >= 0xF0 && (pixel >> 8 & 0xFF) >= 0xF0 &&
                               (pixel >> 16 & 0xFF) >= 0xF0;
            if (white) ++count;
        }
        return count;
    }

    // The first value of an integer (or flag) variable in the dump, as its text.
    [[nodiscard]] std::string Var(const std::string& name) const {
        return test::FirstDumpedValue(folder_ / "vars.json", name);
    }

    // Puts a data file (a film, a picture) into the game folder.
    void WriteData(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream out(folder_ / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }

    // Lines added to the project file: its status variables.
    std::string projectLines;
    // Whether Play keeps the audio the game made (as a WAV file in audio_) and decodes sounds.
    bool keepAudio = false;
    std::vector<uint8_t> audio_;
    // Looks at the player before each pass of the loop (frame steps run so far).
    std::function<void(Player&, int64_t)> eachPass;
    // Changes the player's configuration before a Play starts it.
    std::function<void(PlayerConfig&)> configure;
    const test::ScratchFolder folder_{"kivo_scene_game_test"};
    // The random generator's seed of the next Play.
    uint32_t seed_ = 1;
    std::ostringstream dialogLog_;
    std::vector<uint32_t> frame_;
    int32_t width_ = 0;

  private:
    void Assemble(const std::string& name, script_text::SourceKind kind, const std::string& text,
                  const std::string& output) {
        const script_text::SourceFile source{name, kind, std::vector<uint8_t>(text.begin(), text.end())};
        WriteData(output, script_text::Assemble(source));
    }
};

}  // namespace kivo
