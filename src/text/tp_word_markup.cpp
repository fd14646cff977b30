// Turning marked-up text into glyphs: the tokens are walked in order against the decoration
// state (TTagValList) that tags push and pop, and every character takes the state in force
// where it stands.

#include <algorithm>

#include "base/error.h"
#include "base/sjis.h"
#include "text/tag.h"
#include "text/tp_word.h"

namespace kivo {
namespace {

// A stack that answers its default when empty; popping an empty stack does nothing.
template <typename T>
class TStack {
  public:
    explicit TStack(T fallback) : default_(std::move(fallback)) {}
    void Push(T value) { items_.push_back(std::move(value)); }
    void Pop() {
        if (!items_.empty()) items_.pop_back();
    }
    [[nodiscard]] const T& Top() const { return items_.empty() ? default_ : items_.back(); }

  private:
    T default_;
    std::vector<T> items_;
};

using TIntStack = TStack<int32_t>;
using TStrStack = TStack<std::string>;
using TAlignStack = TStack<TextAlign>;

class TTagValList {
  public:
    explicit TTagValList(int32_t waitDefault) : wait(waitDefault) {}

    TIntStack size{0};
    TIntStack color{-1};
    TIntStack borderColor{-1};
    TIntStack shadowColor{-1};
    TStrStack face{std::string()};
    TAlignStack align{TextAlign::Left};
    TIntStack wait;
    TIntStack borderWidth{-1};
    TIntStack shadowWidth{-1};
    uint8_t style = 0;
    uint8_t noBreak = 0;
    std::string ruby;
    std::string link;

    [[nodiscard]] DecorateValues Decoration() const {
        DecorateValues d;
        d.color = color.Top();
        d.borderColor = borderColor.Top();
        d.shadowColor = shadowColor.Top();
        d.size = size.Top();
        d.style = style;
        d.face = face.Top();
        d.noBreak = noBreak;
        d.ruby = ruby;
        d.borderWidth = borderWidth.Top();
        d.shadowWidth = shadowWidth.Top();
        return d;
    }
};

TextAlign AlignNamed(const std::optional<std::string>& name,
                     std::initializer_list<TextAlign> accepted, TextAlign fallback) {
    static constexpr std::pair<std::string_view, TextAlign> kNames[] = {
        {"LEFT", TextAlign::Left},
        {"RIGHT", TextAlign::Right},
        {"CENTER", TextAlign::Center},
        {"TOP", TextAlign::Top},
        {"BOTTOM", TextAlign::Bottom}};
    if (!name) return fallback;
    for (const auto& [text, align] : kNames) {
        if (sjis::EqualsIgnoreCase(*name, text)) {
            return std::find(accepted.begin(), accepted.end(), align) != accepted.end() ? align
                                                                                        : fallback;
        }
    }
    return fallback;
}

// BORDER and SHADOW: present without a number means 1; negative means 0.
int32_t WidthValue(const std::optional<std::string>& value, int32_t current) {
    if (!value) return current;
    std::optional<int32_t> number = ParseMarkupInt(*value);
    if (!number) return 1;
    return std::max(0, *number);
}

class MarkupReader {
  public:
    MarkupReader(TTpWord& word, int32_t waitDefault) : word_(word), state_(waitDefault) {}

    void Read(std::string_view text) {
        for (const std::string& token : TokenizeMarkup(text)) {
            TTag tag(token);
            if (!tag.IsTag() || tag.Text().size() <= 2) {
                AddCharacters(tag.Text());
            } else {
                Apply(tag);
            }
        }
    }

  private:
    void AddCharacters(std::string_view text) {
        DecorateValues decoration = state_.Decoration();
        sjis::ForEachChar(text, [&](size_t pos, size_t) {
            auto glyph = std::make_unique<TWdChar>(word_, sjis::CharCode(text, pos), decoration);
            glyph->SetLinkText(state_.link);
            glyph->SetWait(state_.wait.Top());
            word_.AppendGlyph(std::move(glyph));
        });
    }

    void Apply(const TTag& tag) {
        std::string name = sjis::ToUpperAscii(tag.Name());
        TTagValList& s = state_;
        if (name == "A") {
            std::string href = UnescapeMarkupValue(tag.Attribute("HREF").value_or(""));
            if (href.empty()) throw KivoError("<A>タグにHREF値がありません");
            s.link = std::move(href);
        } else if (name == "/A") {
            s.link.clear();
        } else if (SetStyleBit(name)) {
        } else if (name == "FONT") {
            PushFont(tag);
        } else if (name == "/FONT") {
            PopFont();
        } else if (name == "NOBR" || name == "/NOBR") {
            s.noBreak = name == "NOBR" ? 1 : 0;
        } else if (name == "RUBY") {
            s.ruby = tag.Attribute("VALUE").value_or("");
        } else if (name == "/RUBY") {
            s.ruby.clear();
        } else if (name == "DIV") {
            s.align.Push(AlignNamed(tag.Attribute("ALIGN"),
                                    {TextAlign::Left, TextAlign::Right, TextAlign::Center},
                                    TextAlign::Left));
            word_.AppendGlyph(std::make_unique<TWdOpeAlign>(word_, s.align.Top()));
        } else if (name == "/DIV") {
            s.align.Pop();
            word_.AppendGlyph(std::make_unique<TWdOpeAlign>(word_, s.align.Top()));
        } else if (name == "INDENT") {
            word_.AppendGlyph(std::make_unique<TWdOpeIndent>(word_));
        } else if (name == "UNDENT") {
            word_.AppendGlyph(std::make_unique<TWdOpeUndent>(word_));
        } else if (name == "BR" || name == "CLEAR") {
            bool clear = name == "CLEAR" || tag.HasAttribute("CLEAR");
            word_.AppendGlyph(std::make_unique<TWdOpeReturn>(word_, clear));
        } else if (name == "EVENT") {
            std::string value = UnescapeMarkupValue(tag.Attribute("VALUE").value_or(""));
            word_.AppendGlyph(
                std::make_unique<TWdOpeEvent>(word_, std::move(value), tag.HasAttribute("END")));
        } else if (name == "WAIT") {
            std::optional<int32_t> value = ParseMarkupInt(tag.Attribute("VALUE").value_or(""));
            s.wait.Push(value.value_or(s.wait.Top()));
        } else if (name == "/WAIT") {
            s.wait.Pop();
        } else if (name == "VAR") {
            AddVariableField(tag);
        } else if (name == "IMG") {
            AddImage(tag);
        }
    }

    bool SetStyleBit(const std::string& name) {
        static constexpr std::pair<char, uint8_t> kBits[] = {
            {'B', kStyleBold}, {'I', kStyleItalic}, {'U', kStyleUnderline}, {'S', kStyleStrikeOut}};
        bool end = name.size() == 2 && name[0] == '/';
        if (name.size() != (end ? 2u : 1u)) return false;
        for (const auto& [letter, bit] : kBits) {
            if (name.back() != letter) continue;
            state_.style = end ? static_cast<uint8_t>(state_.style & ~bit)
                               : static_cast<uint8_t>(state_.style | bit);
            return true;
        }
        return false;
    }

    // Every FONT pushes exactly one value on each of its stacks, so one /FONT undoes it.
    void PushFont(const TTag& tag) {
        TTagValList& s = state_;
        std::optional<std::string> size = tag.Attribute("SIZE");
        s.size.Push(size ? ParseMarkupInt(*size).value_or(s.size.Top()) : s.size.Top());
        auto colour = [&](std::string_view attribute, TIntStack& stack) {
            std::optional<std::string> value = tag.Attribute(attribute);
            stack.Push(value ? ParseMarkupColor(*value).value_or(stack.Top()) : stack.Top());
        };
        colour("COLOR", s.color);
        colour("BCOLOR", s.borderColor);
        colour("SCOLOR", s.shadowColor);
        s.face.Push(tag.Attribute("NAME").value_or(s.face.Top()));
        s.borderWidth.Push(WidthValue(tag.Attribute("BORDER"), s.borderWidth.Top()));
        s.shadowWidth.Push(WidthValue(tag.Attribute("SHADOW"), s.shadowWidth.Top()));
    }

    void PopFont() {
        TTagValList& s = state_;
        s.size.Pop();
        s.color.Pop();
        s.borderColor.Pop();
        s.shadowColor.Pop();
        s.face.Pop();
        s.borderWidth.Pop();
        s.shadowWidth.Pop();
    }

    void AddVariableField(const TTag& tag) {
        std::string expression = tag.Attribute("NAME").value_or("");
        if (expression.empty()) return;
        auto glyph = std::make_unique<TWdOpeVar>(word_, std::move(expression), state_.Decoration());
        glyph->SetLinkText(state_.link);
        glyph->SetWait(state_.wait.Top());
        word_.AppendGlyph(std::move(glyph));
    }

    void AddImage(const TTag& tag) {
        std::string source = tag.Attribute("SRC").value_or("");
        if (source.empty()) return;
        TextAlign align =
            AlignNamed(tag.Attribute("ALIGN"),
                       {TextAlign::Center, TextAlign::Top, TextAlign::Bottom}, TextAlign::Bottom);
        auto glyph = std::make_unique<TWdImg>(word_, std::move(source), align);
        glyph->SetLinkText(state_.link);
        glyph->SetWait(state_.wait.Top());
        word_.AppendGlyph(std::move(glyph));
    }

    TTpWord& word_;
    TTagValList state_;
};

}  // namespace

void TTpWord::Parse(std::span<const std::string> lines, int32_t waitDefault) {
    Clear();
    std::string joined;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) joined += '\r';
        joined += lines[i];
    }
    MarkupReader(*this, waitDefault).Read(joined);
}

}  // namespace kivo
