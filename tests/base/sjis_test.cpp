#include "base/sjis.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kivo
