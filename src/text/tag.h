#pragma once
// The first two stages of reading marked-up text: cutting the text into tokens (text runs and
// whole tags) and splitting a tag token into its name and attributes. Both work on whole
// Shift-JIS characters, so the trail byte of a double-byte character never counts as a quote,
// a bracket or a backslash.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// Cuts the joined text into tokens. Comments, script and style blocks become one token each;
// runs of spaces collapse to one; line breaks become spaces except inside PRE and TEXTAREA
// blocks, where they end the token (and in PRE add a "<BR>" token).
[[nodiscard]] std::vector<std::string> TokenizeMarkup(std::string_view text);

// One token split: for a tag, "<" + name + ">" and its attributes; for a text run or a
// comment, script or style block, the token itself and no attributes.
class TTag {
  public:
    explicit TTag(std::string_view token);

    [[nodiscard]] const std::string& Text() const { return text_; }
    [[nodiscard]] bool IsTag() const { return isTag_; }
    // The name between the brackets (empty for text).
    [[nodiscard]] std::string_view Name() const;
    [[nodiscard]] bool HasAttribute(std::string_view name) const;
    // The value of the first attribute of that name (names compare without regard to ASCII
    // case); empty when the attribute has no value, nullopt when it is absent.
    [[nodiscard]] std::optional<std::string> Attribute(std::string_view name) const;

  private:
    void Split(std::string_view inside);

    std::string text_;
    bool isTag_ = false;
    // "NAME" + CR + "VALUE", or "NAME" for an attribute without a value.
    std::vector<std::string> attributes_;
};

// HREF and EVENT values: \" and \\ stand for the character, \n for CR LF; any other backslash
// stays as it is.
[[nodiscard]] std::string UnescapeMarkupValue(std::string_view value);

// A decimal integer with an optional sign filling the whole text; nullopt otherwise or when
// it does not fit 32 bits.
[[nodiscard]] std::optional<int32_t> ParseMarkupInt(std::string_view text);

// A "#RRGGBB" value as 0x00BBGGRR. Fewer than six digits are read as far as they go (each
// pair a channel, missing channels 0); nullopt without "#" or with a non-hexadecimal digit.
[[nodiscard]] std::optional<int32_t> ParseMarkupColor(std::string_view text);

}  // namespace kivo
