#pragma once
// An HTTP object: setting its source fetches the address with a GET through the platform's
// HTTP client, and ONPLAYEND is raised when the fetch ends, whether it succeeded (the body is
// kept) or failed (the body is empty). Its text is the body read as EUC-JP, in Shift-JIS, with
// its lines joined by the character of code 1.

#include <cstdint>
#include <string>
#include <string_view>

#include "scene/kivo_object.h"

namespace kivo {

// EUC-JP to Shift-JIS: JIS X 0208 pairs are converted, 0x8E gives the half-width katakana that
// follows, a JIS X 0212 triple (0x8F), which Shift-JIS cannot hold, becomes "?", and every
// other byte is kept.
[[nodiscard]] std::string EucJpToShiftJis(std::string_view euc);
// The lines of text (ended by CR, LF or CR LF; a last line break ends no empty line) joined
// by the byte 0x01.
[[nodiscard]] std::string JoinLines(std::string_view text);

class TKivoHttp final : public TKivoComponent {
  public:
    using TKivoComponent::TKivoComponent;
    ~TKivoHttp() override;

    [[nodiscard]] int32_t Kind() const override { return LT_HTTP; }
    [[nodiscard]] std::string_view ClassName() const override { return "TKivoHttp"; }
    [[nodiscard]] bool Update() override;

    [[nodiscard]] const std::string& Source() const { return url_; }
    // Starts a fetch unless one runs. A source beginning with "!" names another HTTP object
    // whose body is the address.
    void SetSource(std::string source);
    [[nodiscard]] std::string Text() const;
    [[nodiscard]] const std::string& Body() const { return body_; }
    // Whether a fetch runs.
    [[nodiscard]] bool Downloading() const { return request_ != 0; }
    [[nodiscard]] const std::string& PlayEndHandler() const { return playEndHandler_; }
    void SetPlayEndHandler(std::string handler) { playEndHandler_ = std::move(handler); }

    [[nodiscard]] const PropertyMap& Properties() const override { return ClassProperties(); }
    [[nodiscard]] static const PropertyMap& ClassProperties();

  private:
    std::string url_;
    std::string body_;
    uint64_t request_ = 0;
    std::string playEndHandler_;
};

}  // namespace kivo
