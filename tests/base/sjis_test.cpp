#include "base/sjis.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kivo {
namespace {

TEST(Sjis, WalksLeadAndTrailAsOneCharacter) {
    // "表" is 0x95 0x5C: its trail byte is the ASCII backslash.
    std::string text = "a\x95\x5C" "b\\c";
    EXPECT_EQ(sjis::CharCount(text), 5u);
    EXPECT_EQ(sjis::CharCode(text, 1), 0x955Cu);
    EXPECT_EQ(sjis::FindLastDelimiter("dir\\\x95\x5C"), 3u);
    EXPECT_EQ(sjis::FindLastDelimiter("\x95\x5C"), std::string::npos);
    // A lead byte at the very end stands alone.
    EXPECT_EQ(sjis::CharLength("\x95", 0), 1u);
}

TEST(Sjis, CaseFoldingNeverTouchesTrailBytes) {
    // 0x83 0x41 is "ア": its trail byte is 'A'.
    EXPECT_EQ(sjis::ToLowerAscii("AB\x83\x41Z"), "ab\x83\x41z");
    EXPECT_EQ(sjis::ToUpperAscii("ab\x83\x61z"), "AB\x83\x61Z");
    EXPECT_TRUE(sjis::EqualsIgnoreCase("Flag\x83\x41", "fLAG\x83\x41"));
    EXPECT_FALSE(sjis::EqualsIgnoreCase("\x83\x41", "\x83\x61"));
}

TEST(Sjis, ConvertsWithTheWindowsCodePage) {
    struct Case {
        const char* cp932;
        const char* utf8;
    } cases[] = {
        {"\x81\x60", "\xEF\xBD\x9E"},          // wave dash is U+FF5E in CP932
        {"\x81\x5F", "\xEF\xBC\xBC"},          // fullwidth reverse solidus
        {"\x87\x40", "\xE2\x91\xA0"},          // NEC special: circled digit one
        {"\xB1", "\xEF\xBD\xB1"},              // halfwidth katakana
        {"\x8A\xBF\x8E\x9A", "漢字"},
        {"\\~", "\\~"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sjis::ToUtf8(c.cp932), c.utf8) << c.utf8;
        EXPECT_EQ(sjis::FromUtf8(c.utf8).value_or("<none>"), c.cp932) << c.utf8;
    }
}

TEST(Sjis, ReportsWhatCannotBeConverted) {
    EXPECT_FALSE(sjis::FromUtf8("\xF0\x9F\x98\x80").has_value());  // emoji
    EXPECT_FALSE(sjis::FromUtf8("\xC3").has_value());              // truncated UTF-8
    EXPECT_EQ(sjis::FromUtf8Lossy("a\xF0\x9F\x98\x80"), "a?");
    EXPECT_FALSE(sjis::ToUtf8Strict("\x85\x40").has_value());      // unassigned row
    EXPECT_EQ(sjis::ToUtf8("\x85\x40"), "\xEF\xBF\xBD");
}

TEST(Sjis, EveryDoubleByteCharacterRoundTrips) {
    // Known characters at both ends of both lead ranges; 0x9F is the top of the first range.
    struct Known {
        uint32_t code;
        uint32_t unicode;
    } known[] = {{0x8140, 0x3000}, {0x9F40, 0x6A97}, {0x9F7E, 0x6BEF}, {0x9F80, 0x9EBE},
                 {0x9FFC, 0x6ECC}, {0xE040, 0x6F3E}, {0xFC4B, 0x9ED1}};
    for (const Known& k : known)
        EXPECT_EQ(sjis::CodeToUnicode(k.code), k.unicode) << std::hex << k.code;

    // Every lead with every trail, the leads listed by hand so that a narrowed lead range
    // shows as a character that falls apart.
    int fullRows = 0;
    for (uint32_t lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead > 0x9F && lead < 0xE0) continue;
        int mapped = 0;
        for (uint32_t trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F) continue;
            const std::string text{static_cast<char>(lead), static_cast<char>(trail)};
            ASSERT_EQ(sjis::CharCount(text), 1u) << std::hex << lead << ' ' << trail;
            const std::optional<std::string> utf8 = sjis::ToUtf8Strict(text);
            if (!utf8) continue;
            ++mapped;
            const uint32_t unicode = sjis::CodeToUnicode(lead << 8 | trail);
            // Duplicated codes (the two copies of the IBM extensions) come back as the one
            // the code page prefers, which names the same character.
            const std::optional<std::string> back = sjis::FromUtf8(*utf8);
            ASSERT_TRUE(back.has_value()) << std::hex << lead << ' ' << trail;
            ASSERT_EQ(back->size(), 2u) << std::hex << lead << ' ' << trail;
            EXPECT_EQ(sjis::CodeToUnicode(sjis::CharCode(*back, 0)), unicode)
                << std::hex << lead << ' ' << trail;
            if (sjis::UnicodeToCode(unicode) == (lead << 8 | trail)) {
                EXPECT_EQ(*back, text);
            }
        }
        if (mapped == 188) ++fullRows;
        if (lead == 0x9F) {
            EXPECT_EQ(mapped, 188);
        }
    }
    // The kanji rows 0x89-0x97, 0x99-0x9F and 0xE0-0xE9 are full in every CP932 table.
    EXPECT_GE(fullRows, 32);
}

}  // namespace
}  // namespace kivo
