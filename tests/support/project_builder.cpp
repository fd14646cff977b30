#include "project_builder.h"

namespace kivo::test {

ProjectBuilder& ProjectBuilder::Version(int32_t version) {
    version_ = version;
    return *this;
}
ProjectBuilder& ProjectBuilder::Title(std::string_view title) {
    title_ = title;
    return *this;
}
ProjectBuilder& ProjectBuilder::Screen(int32_t width, int32_t height) {
    width_ = width;
    height_ = height;
    return *this;
}
ProjectBuilder& ProjectBuilder::FullScreen(int32_t width, int32_t height) {
    fullWidth_ = width;
    fullHeight_ = height;
    return *this;
}
ProjectBuilder& ProjectBuilder::StartPage(std::string_view page) {
    startPage_ = page;
    return *this;
}
ProjectBuilder& ProjectBuilder::ExitPage(std::string_view page) {
    exitPage_ = page;
    return *this;
}
ProjectBuilder& ProjectBuilder::RegistryKey(std::string_view key) {
    registryKey_ = key;
    return *this;
}
ProjectBuilder& ProjectBuilder::IdentificationCode(int32_t code) {
    identificationCode_ = code;
    return *this;
}
ProjectBuilder& ProjectBuilder::SaveEnabled(uint8_t flag) {
    saveEnabled_ = flag;
    return *this;
}
ProjectBuilder& ProjectBuilder::FramePacing(uint8_t flag) {
    framePacing_ = flag;
    return *this;
}
ProjectBuilder& ProjectBuilder::MediaExtensions(std::string_view extensions) {
    mediaExtensions_ = extensions;
    return *this;
}
ProjectBuilder& ProjectBuilder::DiscPrompt(std::string_view text) {
    discPrompt_ = text;
    return *this;
}
ProjectBuilder& ProjectBuilder::QuitText(std::string_view text) {
    quitText_ = text;
    return *this;
}

ProjectBuilder& ProjectBuilder::IntVar(std::string_view name, int32_t value) {
    return RawVar(1, name, ByteBuilder().I32(value).Data());
}
ProjectBuilder& ProjectBuilder::FloatVar(std::string_view name, double value) {
    return RawVar(2, name, ByteBuilder().F80(value).Data());
}
ProjectBuilder& ProjectBuilder::FlagVar(std::string_view name, bool value) {
    return RawVar(3, name, ByteBuilder().U8(value ? 1 : 0).Data());
}
ProjectBuilder& ProjectBuilder::StrVar(std::string_view name, std::string_view value) {
    return RawVar(4, name, ByteBuilder().Str(value).Data());
}
ProjectBuilder& ProjectBuilder::RawVar(uint8_t type, std::string_view name,
                                       std::span<const uint8_t> value) {
    variables_.U8(type).Str(name).Raw(value);
    ++variableCount_;
    return *this;
}
ProjectBuilder& ProjectBuilder::FolderDisc(std::string_view folder, int32_t disc) {
    lines_.Str(folder).I32(disc);
    ++lineCount_;
    return *this;
}
ProjectBuilder& ProjectBuilder::Trailer(std::span<const uint8_t> bytes) {
    trailer_.assign(bytes.begin(), bytes.end());
    return *this;
}

std::vector<uint8_t> ProjectBuilder::Bytes() const {
    ByteBuilder out;
    out.I32(version_).Str(title_).I32(width_).I32(height_).I32(fullWidth_).I32(fullHeight_);
    out.Str(startPage_);
    if (version_ > 109) out.Str(exitPage_);
    out.Str(registryKey_).I32(identificationCode_);
    if (version_ > 103) out.U8(saveEnabled_);
    if (version_ >= 106) out.U8(framePacing_);
    if (version_ > 108) out.Str(mediaExtensions_);
    out.Str(discPrompt_).Str(quitText_);
    out.I32(variableCount_).Raw(variables_.Data());
    out.I32(lineCount_).Raw(lines_.Data());
    out.Raw(trailer_);
    return out.Data();
}

}  // namespace kivo::test
