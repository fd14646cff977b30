// The glyph stream of a text: its decorations, then its glyphs by kind. Streams come from
// scenario pages and save data, so every count is checked against the bytes left, every
// decoration index against the decorations read, and stored reference counts are ignored:
// the counts are those of the glyphs that were read.

#include <cstring>

#include "base/error.h"
#include "text/tp_word.h"

namespace kivo {
namespace {

constexpr std::string_view kSignature = "TpWord";
constexpr size_t kHeaderSize = 9;

int32_t ReadVersion(ByteReader& reader) {
    if (reader.Remaining() < kHeaderSize) return 0;
    std::span<const uint8_t> head = reader.ReadBytes(kHeaderSize);
    if (std::memcmp(head.data(), kSignature.data(), kSignature.size()) != 0) {
        reader.Seek(reader.Position() - kHeaderSize);
        return 0;
    }
    int32_t version = 0;
    for (size_t i = kSignature.size(); i < kHeaderSize; ++i) {
        if (head[i] < '0' || head[i] > '9') reader.Fail("glyph stream version is not a number");
        version = version * 10 + (head[i] - '0');
    }
    return version;
}

DecorateValues ReadDecoration(ByteReader& reader, int32_t version) {
    DecorateValues d;
    (void)reader.ReadI32();  // the stored reference count: recounted from the glyphs
    d.color = reader.ReadI32();
    d.borderColor = reader.ReadI32();
    d.size = reader.ReadI32();
    d.style = reader.ReadU8();
    d.noBreak = reader.ReadU8();
    if (version >= 100) {
        d.borderWidth = reader.ReadI32();
    } else {
        d.borderWidth = reader.ReadU8() != 0 ? 1 : 0;
        d.shadowWidth = -1;  // streams this old had no shadow: the text's default
    }
    d.face = reader.ReadCountedString();
    d.ruby = reader.ReadCountedString();
    if (version >= 100) {
        d.shadowWidth = reader.ReadI32();
        d.shadowColor = reader.ReadI32();
    }
    return d;
}

const DecorateValues& DecorationAt(ByteReader& reader, const std::vector<DecorateValues>& list) {
    int32_t index = reader.ReadI32();
    if (index < 0 || static_cast<size_t>(index) >= list.size()) {
        reader.Fail("decoration index " + std::to_string(index) + " out of range");
    }
    return list[static_cast<size_t>(index)];
}

TextAlign ReadAlign(ByteReader& reader) {
    uint8_t value = reader.ReadU8();
    return value <= static_cast<uint8_t>(TextAlign::Bottom) ? static_cast<TextAlign>(value)
                                                            : TextAlign::None;
}

}  // namespace

// Reads into `out`; true when the stream ended cleanly after its last glyph, false when an
// unknown kind stopped it early.
static bool ReadGlyphStream(TTpWord& word, ByteReader& reader,
                            std::vector<std::unique_ptr<TWdGlyph>>& out) {
    int32_t version = ReadVersion(reader);
    size_t minDecoration = version >= 100 ? 38 : 27;
    uint32_t decorationCount = reader.ReadCount(minDecoration);
    std::vector<DecorateValues> decorations;
    decorations.reserve(decorationCount);
    for (uint32_t i = 0; i < decorationCount; ++i) {
        decorations.push_back(ReadDecoration(reader, version));
    }
    uint32_t glyphCount = reader.ReadCount(1);
    for (uint32_t i = 0; i < glyphCount; ++i) {
        uint8_t kind = reader.ReadU8() & 0x7F;
        switch (static_cast<GlyphKind>(kind)) {
            case GlyphKind::Char: {
                std::string link = reader.ReadCountedString();
                int32_t wait = reader.ReadI32();
                uint16_t code = reader.ReadU16();
                auto glyph =
                    std::make_unique<TWdChar>(word, code, DecorationAt(reader, decorations));
                glyph->SetLinkText(std::move(link));
                glyph->SetWait(wait);
                out.push_back(std::move(glyph));
                break;
            }
            case GlyphKind::Align:
                out.push_back(std::make_unique<TWdOpeAlign>(word, ReadAlign(reader)));
                break;
            case GlyphKind::Return:
                out.push_back(std::make_unique<TWdOpeReturn>(word, reader.ReadU8() != 0));
                break;
            case GlyphKind::Indent:
                out.push_back(std::make_unique<TWdOpeIndent>(word));
                break;
            case GlyphKind::Undent:
                out.push_back(std::make_unique<TWdOpeUndent>(word));
                break;
            case GlyphKind::Event: {
                std::string value = reader.ReadCountedString();
                bool end = !value.empty() && value.front() == '\x01';
                if (end) value.erase(0, 1);
                out.push_back(std::make_unique<TWdOpeEvent>(word, std::move(value), end));
                break;
            }
            case GlyphKind::Var: {
                const DecorateValues& decoration = DecorationAt(reader, decorations);
                int32_t wait = 0;
                std::string link;
                if (version > 100) {
                    wait = reader.ReadI32();
                    link = reader.ReadCountedString();
                }
                std::unique_ptr<TWdOpeVar> glyph;
                if (version < 102) {
                    TextExpressions* expressions = word.Expressions();
                    if (expressions == nullptr) {
                        reader.Fail(
                            "a variable field in compiled form needs the expression engine");
                    }
                    glyph = std::make_unique<TWdOpeVar>(word, std::string(), decoration);
                    glyph->SetStoredExpression(expressions->ReadStored(reader));
                } else {
                    glyph =
                        std::make_unique<TWdOpeVar>(word, reader.ReadCountedString(), decoration);
                }
                glyph->SetWait(wait);
                glyph->SetLinkText(std::move(link));
                out.push_back(std::move(glyph));
                break;
            }
            case GlyphKind::Image: {
                std::string link = reader.ReadCountedString();
                int32_t wait = reader.ReadI32();
                std::string source = reader.ReadCountedString();
                auto glyph = std::make_unique<TWdImg>(word, std::move(source), ReadAlign(reader));
                glyph->SetLinkText(std::move(link));
                glyph->SetWait(wait);
                out.push_back(std::move(glyph));
                break;
            }
            case GlyphKind::Composite:
            default:
                return false;
        }
    }
    return true;
}

void TTpWord::LoadGlyphs(std::span<const uint8_t> data, const std::string& source) {
    ByteReader reader(data, source);
    std::vector<std::unique_ptr<TWdGlyph>> read;
    (void)ReadGlyphStream(*this, reader, read);
    for (auto& glyph : read)
        glyphs_.push_back(std::move(glyph));
}

void TTpWord::SaveGlyphs(ByteWriter& writer) const {
    writer.WriteBytes(
        std::span(reinterpret_cast<const uint8_t*>(kSignature.data()), kSignature.size()));
    std::string version = std::to_string(kGlyphStreamVersion);
    writer.WriteBytes(std::span(reinterpret_cast<const uint8_t*>(version.data()), version.size()));
    writer.WriteI32(static_cast<int32_t>(decorations_.Count()));
    for (size_t i = 0; i < decorations_.Count(); ++i) {
        const TDecorate& d = decorations_.At(i);
        writer.WriteI32(d.refCount);
        writer.WriteI32(d.values.color);
        writer.WriteI32(d.values.borderColor);
        writer.WriteI32(d.values.size);
        writer.WriteU8(d.values.style);
        writer.WriteU8(d.values.noBreak);
        writer.WriteI32(d.values.borderWidth);
        writer.WriteCountedString(d.values.face);
        writer.WriteCountedString(d.values.ruby);
        writer.WriteI32(d.values.shadowWidth);
        writer.WriteI32(d.values.shadowColor);
    }
    int32_t count = 0;
    for (const auto& glyph : glyphs_)
        count += glyph->IsExpanded() ? 0 : 1;
    writer.WriteI32(count);
    for (const auto& glyph : glyphs_) {
        if (glyph->IsExpanded()) continue;
        writer.WriteU8(static_cast<uint8_t>(glyph->Kind()));
        glyph->Save(writer);
    }
}

bool IsGlyphStream(std::span<const uint8_t> data, TextExpressions* expressions) {
    if (data.size() >= kSignature.size() &&
        std::memcmp(data.data(), kSignature.data(), kSignature.size()) == 0) {
        return true;
    }
    TTpWord scratch;
    scratch.SetExpressions(expressions);
    ByteReader reader(data, "");
    std::vector<std::unique_ptr<TWdGlyph>> read;
    try {
        return ReadGlyphStream(scratch, reader, read) && reader.AtEnd();
    } catch (const KivoError&) {
        return false;
    }
}

}  // namespace kivo
