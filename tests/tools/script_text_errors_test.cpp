// Mistakes in the text forms: each must be reported with the file, line and column where it
// stands, and hand-written pages in the ordinary forms must build the records they describe.

#include <gtest/gtest.h>

#include <span>
#include <string>

#include "base/error.h"
#include "base/sjis.h"
#include "script/page_file.h"
#include "tools/script/text/page_text.h"
#include "tools/script/text/project_text.h"
#include "tools/script/text/script_files.h"

namespace kivo {
namespace {

struct BadText {
    const char* text;
    const char* where;    // "line L, column C"
    const char* message;  // part of the message
};

// Each text must fail with its place and message, and the error must name the file.
template <typename Read>
void ExpectErrors(std::span<const BadText> cases, const std::string& file, Read read) {
    for (const BadText& bad : cases) {
        try {
            read(bad.text, file);
            ADD_FAILURE() << "accepted: " << bad.text;
        } catch (const KivoError& error) {
            std::string what = error.what();
            EXPECT_EQ(error.File(), file);
            EXPECT_NE(what.find(bad.where), std::string::npos) << what;
            EXPECT_NE(what.find(bad.message), std::string::npos) << what;
        }
    }
}

TEST(ScriptTextErrors, PageMistakesNameTheirPlace) {
    const BadText kCases[] = {
        {"Calc {x = 1}\nFrobnicate {1}\n", "line 2, column 1", "unknown command \"Frobnicate\""},
        {"Jump \"a.ksb\" targt=3\n", "line 1, column 14", "no field \"targt\" in Jump"},
        {"Calc {x = (1 + }\n", "line 1, column 7", "does not compile"},
        {"Label \"a\"\nJump target=<b>\n", "line 2, column 14", "label \"b\" not found"},
        {"Wait {1} eventsBlocked={TRUE}\n", "line 1, column 10", "not stored in version 104"},
        {"\tCalc {x = 1}\n", "line 1, column 1", "spaces, not tabs"},
        {"  Calc {x = 1}\n", "line 1, column 3", "multiple of four"},
        {"Label \"open\n", "line 1, column 7", "not closed"},
        {"Label \"a\\q\"\n", "line 1, column 9", "unknown escape"},
        {"Calc {x = 1} {y = 2}\n", "line 1, column 14", "needs a field name"},
        {"VarNew \"n\" type=PT_NUMBER\n", "line 1, column 17", "unknown value type"},
        {"mask BoxNew PR_NAME\nBoxNew PR_LEFT={1}\n", "line 2, column 1",
         "PR_LEFT is not in the page's mask for BoxNew"},
        {"Calc [ocFoo x = 1]\n", "line 1, column 7", "unknown operation"},
        {"Calc [ocFunc:NoSuch ____arg = 1]\n", "line 1, column 7", "unknown function"},
        {"Call \"s.ksb\" arguments=({1}, {2}\n", "line 1, column 33", "expected ')'"},
        {"Label \"\xE2\x80\xBF\"\n", "line 1, column 8", "cannot be written in code page 932"},
        {"Calc {}\nversion 105\n", "line 2, column 1", "version must come first"},
    };
    ExpectErrors(kCases, "game/main.kss", [](std::string_view text, const std::string& file) {
        (void)script_text::ReadPageText(text, file);
    });
}

TEST(ScriptTextErrors, ProjectMistakesNameTheirPlace) {
    const BadText kCases[] = {
        {"version 104\nexit \"x.ksb\"\n", "line 2, column 1", "not stored in version 104"},
        {"title \"a\"\ntitle \"b\"\n", "line 2, column 1", "given twice"},
        {"var PT_INT \"n\" \"text\"\n", "line 1, column 16", "does not have the variable's type"},
        {"screen 640\n", "line 1, column 11", "expected a height"},
        {"colour 3\n", "line 1, column 1", "unknown setting"},
    };
    ExpectErrors(kCases, "kivo.kps", [](std::string_view text, const std::string& file) {
        (void)script_text::ReadProjectText(text, file);
    });
}

TEST(ScriptText, HandWrittenPageBuildsTheRecordsItShows) {
    const char* text =
        "result PT_STR\n"
        "Label \"top\"  # a comment\n"
        "VarNew \"n\" type=PT_INT value={0}\n"
        "While {n < 3} exit=5 .continue\n"
        "    Calc {n = n + 1} .line=40\n"
        "WhileLoop loop=2\n"
        "ImgNew PR_NAME={\"bg\"} PR_LEFT={10}\n"
        "Jump \"main.ksb\" target=<top> .disabled=2\n"
        "TextIns \"\xE3\x81\x82\\x80<br>\"\n";
    PageFile page = script_text::ReadPageText(text, "main.kss");
    ASSERT_EQ(page.commands.size(), 8u);
    EXPECT_EQ(page.resultType, PT_STR);
    EXPECT_EQ(page.commands[2].Int("exit"), 5);
    EXPECT_EQ(page.commands[2].continueFlag, 1);
    EXPECT_EQ(page.commands[3].indent, 1);
    EXPECT_EQ(page.commands[3].line, 40);
    EXPECT_EQ(page.commands[4].line, 41);
    EXPECT_EQ(page.commands[6].Int("target"), 0);
    EXPECT_EQ(page.commands[6].disabled, 2);
    // Masks follow from the properties the commands give.
    EXPECT_EQ(page.Masks().Ids(static_cast<int>(CommandCode::ImgNew)),
              (std::vector<PropertyId>{PR_NAME, PR_LEFT}));
    std::span<const uint8_t> blob = page.commands[7].Blob("text");
    EXPECT_EQ(std::string(blob.begin(), blob.end()), "\x82\xA0\x80<br>");

    // Written out, the page shows the label by name and reads back to the same page.
    std::string canonical = script_text::WritePageText(page, "main.ksb");
    EXPECT_NE(canonical.find("Jump \"main.ksb\" target=<top> .disabled=2\n"), std::string::npos)
        << canonical;
    EXPECT_EQ(script_text::ReadPageText(canonical, "main.kss"), page);
}

TEST(ScriptText, FileKindsFollowTheExtension) {
    EXPECT_EQ(script_text::KindOf("DATA/MAIN.KSB"), script_text::SourceKind::Page);
    EXPECT_EQ(script_text::KindOf("kivo.kpb"), script_text::SourceKind::Project);
    EXPECT_EQ(script_text::KindOf("game.dat:scene\\a.kss"), script_text::SourceKind::PageText);
    EXPECT_THROW((void)script_text::KindOf("notes.txt"), KivoError);
}

}  // namespace
}  // namespace kivo
