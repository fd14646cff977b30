#include "text/tag.h"

#include <charconv>

#include "base/sjis.h"

namespace kivo {
namespace {

constexpr char kCR = '\r';

bool StartsWithIgnoreCase(std::string_view text, size_t pos, std::string_view prefix) {
    if (text.size() - pos < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (sjis::UpperAsciiByte(static_cast<uint8_t>(text[pos + i])) !=
            static_cast<uint8_t>(prefix[i])) {
            return false;
        }
    }
    return true;
}

// The character-aware scan state of the tokenizer.
class Tokenizer {
  public:
    explicit Tokenizer(std::string_view text) : text_(text) {}

    std::vector<std::string> Run() {
        while (pos_ < text_.size())
            Step();
        Flush();
        return std::move(tokens_);
    }

  private:
    static constexpr std::string_view kBlockOpeners[] = {"<!--", "<SCRIPT", "<STYLE"};
    static constexpr std::string_view kBlockClosers[] = {"-->", "</SCRIPT>", "</STYLE>"};

    void Flush() {
        if (!token_.empty()) tokens_.push_back(std::move(token_));
        token_.clear();
    }

    [[nodiscard]] std::string_view CurrentChar() const {
        return text_.substr(pos_, sjis::CharLength(text_, pos_));
    }

    void Step() {
        std::string_view ch = CurrentChar();
        if (quote_) {
            if (ch == "\"") quote_ = false;
            if (ch != "\r" && ch != "\n" && ch != "\t") token_ += ch;
            pos_ += ch.size();
            return;
        }
        if (TakeBlockOpener() || TakeBlockCloser()) return;
        if (blockDepth_ > 0) {
            token_ += ch;
            if (ch == "\r") token_ += '\n';
            pos_ += ch.size();
            return;
        }
        pos_ += ch.size();
        if (ch.size() == 2) {
            token_ += ch;
            return;
        }
        StepOutsideBlocks(ch[0]);
    }

    bool TakeBlockOpener() {
        for (std::string_view opener : kBlockOpeners) {
            if (!StartsWithIgnoreCase(text_, pos_, opener)) continue;
            if (blockDepth_ == 0) Flush();
            token_ += text_.substr(pos_, opener.size());
            ++blockDepth_;
            pos_ += opener.size();
            return true;
        }
        return false;
    }

    bool TakeBlockCloser() {
        for (std::string_view closer : kBlockClosers) {
            if (!StartsWithIgnoreCase(text_, pos_, closer)) continue;
            if (blockDepth_ > 0) --blockDepth_;
            token_ += text_.substr(pos_, closer.size());
            if (blockDepth_ == 0) {
                tokens_.push_back(std::move(token_));
                token_.clear();
            }
            pos_ += closer.size();
            return true;
        }
        return false;
    }

    void StepOutsideBlocks(char c) {
        switch (c) {
            case '<':
                if (tagDepth_ == 0) Flush();
                token_ += '<';
                ++tagDepth_;
                return;
            case '>':
                if (tagDepth_ > 0) {
                    if (--tagDepth_ == 0) {
                        token_ += '>';
                        Flush();
                        AfterTag();
                    }
                    return;
                }
                break;
            case '\\':
                if (pos_ < text_.size()) {
                    TakeEscape();
                    return;
                }
                break;
            case kCR:
                TakeLineBreak();
                return;
            case '\x14':
                if (!token_.ends_with(' ') || pre_ || textArea_) token_ += ' ';
                return;
            case '\t':
                if (pre_ || textArea_) token_ += "        ";
                return;
            case '"':
                quote_ = true;
                break;
            case ' ':
                // pos_ has moved past the space: "not the first position" is pos_ > 1.
                if (!token_.empty() && pos_ > 1 && token_.ends_with(' ')) return;
                break;
            default:
                break;
        }
        token_ += c;
    }

    void TakeEscape() {
        std::string_view next = CurrentChar();
        static constexpr std::string_view kEscaped = "\"%<>\\{}";
        if (next.size() != 1 || kEscaped.find(next[0]) == std::string_view::npos) return;
        token_ += next;
        pos_ += 1;
        if (next == "<" || next == ">") Flush();
    }

    void TakeLineBreak() {
        if ((pre_ || textArea_) && tagDepth_ == 0) {
            Flush();
            if (pre_) tokens_.push_back("<BR>");
            return;
        }
        bool spaceBefore = pos_ >= 2 && text_[pos_ - 2] == ' ';
        if (!token_.empty() && !spaceBefore) token_ += ' ';
    }

    void SkipOneLineBreak() {
        if (pos_ < text_.size() && text_[pos_] == kCR) ++pos_;
    }

    // PRE and TEXTAREA switch on and off with their tags.
    void AfterTag() {
        const std::string& tag = tokens_.back();
        if (StartsWithIgnoreCase(tag, 0, "<PRE") && !textArea_) {
            pre_ = true;
            SkipOneLineBreak();
        } else if (StartsWithIgnoreCase(tag, 0, "</PRE") && !textArea_) {
            pre_ = false;
            DropBreakBeforeClosingTag();
        } else if (StartsWithIgnoreCase(tag, 0, "<TEXTAREA") && !pre_) {
            textArea_ = true;
            SkipOneLineBreak();
        } else if (StartsWithIgnoreCase(tag, 0, "</TEXTAREA") && !pre_) {
            textArea_ = false;
            DropBreakBeforeClosingTag();
        }
    }

    void DropBreakBeforeClosingTag() {
        if (tokens_.size() >= 2 && tokens_[tokens_.size() - 2] == "<BR>") {
            tokens_.erase(tokens_.end() - 2);
        }
    }

    std::string_view text_;
    size_t pos_ = 0;
    std::string token_;
    std::vector<std::string> tokens_;
    int tagDepth_ = 0;
    int blockDepth_ = 0;
    bool quote_ = false;
    bool pre_ = false;
    bool textArea_ = false;
};

// Position of the first single-byte character c at or after pos, or npos.
size_t FindChar(std::string_view text, size_t pos, char c) {
    while (pos < text.size()) {
        if (text[pos] == c) return pos;
        pos += sjis::CharLength(text, pos);
    }
    return std::string_view::npos;
}

size_t FindSpaceOrEquals(std::string_view text) {
    for (size_t pos = 0; pos < text.size(); pos += sjis::CharLength(text, pos)) {
        if (text[pos] == ' ' || text[pos] == '=') return pos;
    }
    return std::string_view::npos;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

// Takes the value after "=" off the front of rest.
std::string TakeValue(std::string_view& rest) {
    if (!rest.empty() && (rest.front() == '"' || rest.front() == '\'')) {
        char quote = rest.front();
        rest.remove_prefix(1);
        size_t close = FindChar(rest, 0, quote);
        if (close != std::string_view::npos) {
            std::string value(rest.substr(0, close));
            rest.remove_prefix(close + 1);
            return value;
        }
    }
    size_t space = FindChar(rest, 0, ' ');
    std::string value(rest.substr(0, space));
    rest.remove_prefix(space == std::string_view::npos ? rest.size() : space + 1);
    return value;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::vector<std::string> TokenizeMarkup(std::string_view text) {
    return Tokenizer(text).Run();
}

TTag::TTag(std::string_view token) {
    bool text = token.size() <= 1 || token.front() != '<' || token.back() != '>';
    if (text || token.starts_with("<!--") || token.starts_with("<SCRIPT") ||
        token.starts_with("<STYLE")) {
        text_ = token;
        isTag_ = !text;
        return;
    }
    isTag_ = true;
    Split(token.substr(1, token.size() - 2));
}

void TTag::Split(std::string_view inside) {
    bool first = true;
    for (std::string_view rest = Trim(inside); !rest.empty(); rest = Trim(rest)) {
        size_t end = FindSpaceOrEquals(rest);
        std::string name(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
        std::optional<std::string> value;
        if (rest.size() > 1 && rest.front() != ' ') {
            rest.remove_prefix(1);
            value = TakeValue(rest);
        } else if (rest == "=") {
            // A lone "=" at the end (<FONT SIZE=>) gives no value; it must still be
            // consumed, or the same "=" would be cut again for ever.
            rest = {};
        }
        if (first) {
            text_ = "<" + name + ">";
            first = false;
        } else if (!name.empty()) {
            attributes_.push_back(value ? name + '\r' + *value : name);
        }
    }
    if (first) text_ = "<>";
}

std::string_view TTag::Name() const {
    if (!isTag_ || text_.size() < 2) return {};
    return std::string_view(text_).substr(1, text_.size() - 2);
}

std::optional<std::string> TTag::Attribute(std::string_view name) const {
    for (const std::string& item : attributes_) {
        size_t cr = item.find('\r');
        std::string_view itemName = std::string_view(item).substr(0, cr);
        if (!sjis::EqualsIgnoreCase(itemName, name)) continue;
        return cr == std::string::npos ? std::string() : item.substr(cr + 1);
    }
    return std::nullopt;
}

bool TTag::HasAttribute(std::string_view name) const {
    return Attribute(name).has_value();
}

std::string UnescapeMarkupValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (size_t pos = 0; pos < value.size();) {
        size_t len = sjis::CharLength(value, pos);
        if (len == 1 && value[pos] == '\\' && pos + 1 < value.size()) {
            char next = value[pos + 1];
            if (next == '"' || next == '\\') {
                out += next;
                pos += 2;
                continue;
            }
            if (next == 'n') {
                out += "\r\n";
                pos += 2;
                continue;
            }
        }
        out += value.substr(pos, len);
        pos += len;
    }
    return out;
}

std::optional<int32_t> ParseMarkupInt(std::string_view text) {
    if (text.starts_with('+')) text.remove_prefix(1);
    int32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::optional<int32_t> ParseMarkupColor(std::string_view text) {
    if (!text.starts_with('#')) return std::nullopt;
    std::string_view digits = text.substr(1, 6);
    uint32_t channels[3] = {0, 0, 0};
    for (size_t i = 0; i < digits.size(); ++i) {
        int digit = HexDigit(digits[i]);
        if (digit < 0) return std::nullopt;
        channels[i / 2] = channels[i / 2] * 16 + static_cast<uint32_t>(digit);
    }
    return static_cast<int32_t>(channels[0] | channels[1] << 8 | channels[2] << 16);
}

}  // namespace kivo
