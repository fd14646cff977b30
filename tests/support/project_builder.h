#pragma once
// Fixture writer for project files (kivo.kpb). Like the page builder it lays out the bytes
// itself, field by field; the fields a version does not store are left out by the same rules
// the player reads them by.
//
//   auto bytes = ProjectBuilder().Title("Demo").Screen(640, 480).StartPage("start.ksb")
//                    .IntVar("score", 0).StrVar("name", "").FolderDisc("BGM\\", 2).Bytes();

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "page_builder.h"

namespace kivo::test {

class ProjectBuilder {
  public:
    ProjectBuilder& Version(int32_t version);
    ProjectBuilder& Title(std::string_view title);
    ProjectBuilder& Screen(int32_t width, int32_t height);
    ProjectBuilder& FullScreen(int32_t width, int32_t height);
    ProjectBuilder& StartPage(std::string_view page);
    ProjectBuilder& ExitPage(std::string_view page);
    ProjectBuilder& RegistryKey(std::string_view key);
    ProjectBuilder& IdentificationCode(int32_t code);
    ProjectBuilder& SaveEnabled(uint8_t flag);
    ProjectBuilder& FramePacing(uint8_t flag);
    ProjectBuilder& MediaExtensions(std::string_view extensions);
    ProjectBuilder& DiscPrompt(std::string_view text);
    ProjectBuilder& QuitText(std::string_view text);

    ProjectBuilder& IntVar(std::string_view name, int32_t value);
    ProjectBuilder& FloatVar(std::string_view name, double value);
    ProjectBuilder& FlagVar(std::string_view name, bool value);
    ProjectBuilder& StrVar(std::string_view name, std::string_view value);
    // A variable of any type byte with the value bytes given as they are.
    ProjectBuilder& RawVar(uint8_t type, std::string_view name, std::span<const uint8_t> value);
    ProjectBuilder& FolderDisc(std::string_view folder, int32_t disc);
    ProjectBuilder& Trailer(std::span<const uint8_t> bytes);

    [[nodiscard]] std::vector<uint8_t> Bytes() const;

  private:
    int32_t version_ = 110;
    std::string title_ = "Test";
    int32_t width_ = 640;
    int32_t height_ = 480;
    int32_t fullWidth_ = 640;
    int32_t fullHeight_ = 480;
    std::string startPage_ = "start.ksb";
    std::string exitPage_;
    std::string registryKey_;
    int32_t identificationCode_ = 0;
    uint8_t saveEnabled_ = 1;
    uint8_t framePacing_ = 1;
    std::string mediaExtensions_ = ".wav.wma.ogg.mid";
    std::string discPrompt_;
    std::string quitText_;
    int32_t variableCount_ = 0;
    ByteBuilder variables_;
    int32_t lineCount_ = 0;
    ByteBuilder lines_;
    std::vector<uint8_t> trailer_;
};

}  // namespace kivo::test
