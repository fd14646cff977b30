// The message window without a game around it: paging and reveal of markup, the play-start
// stall, the save record, and the stream forms of the backlog and the read marks with the
// layouts of older save versions.

#include <gtest/gtest.h>

#include <span>

#include "base/error.h"
#include "base/sjis.h"
#include "scene/kivo_mes.h"
#include "scene/kivo_new_history.h"
#include "scene/kivo_read_list.h"
#include "scene_fixture.h"

namespace kivo {
namespace {

// Text is written in UTF-8 here and held in code page 932: eight kana make two pages of four.
std::string J(const char* utf8) {
    return sjis::FromUtf8(utf8).value();
}

class MessageWindowTest : public test::SceneTest {
  protected:
    // A window of four 10-pixel cells a row and one row a page, revealing 16 ms a glyph.
    TKivoMes& Window(const std::string& markup) {
        TKivoMes& mes = root.Create<TKivoMes>();
        mes.Rename("mes");
        mes.SetParent(&root.ActiveLayer());
        mes.SetFontHeight(10);
        mes.SetWidth(40);
        mes.SetHeight(10);
        mes.SetFadeTime(0);
        mes.SetText(markup);
        return mes;
    }
    void Frames(int32_t count) {
        for (int32_t i = 0; i < count; ++i)
            root.FrameAdvance();
    }
};

TEST_F(MessageWindowTest, MarkupIsPagedAndRevealedAtTheTextSpeed) {
    // 50 ms a character by default; a wait scale of 82/256 makes it 16 ms, one a frame.
    TKivoMes& mes = Window(J("あいうえおかきく"));
    mes.SetWaitScale(82);
    EXPECT_EQ(mes.PageCount(), 2);
    EXPECT_EQ(mes.PageIndex(), 0);
    Frames(3);
    const std::string early = mes.ShownText();
    Frames(2);
    EXPECT_EQ(mes.ShownText().size(), early.size() + 4);  // two characters
    EXPECT_TRUE(mes.TextPlaying());
    Frames(10);
    EXPECT_EQ(mes.ShownText(), J("あいうえ"));
    EXPECT_EQ(mes.PlayingState(), 2);
    // Showing the current page changes nothing; the next page starts empty.
    mes.ShowPage(0);
    EXPECT_EQ(mes.ShownText(), J("あいうえ"));
    mes.ShowPage(1);
    EXPECT_EQ(mes.ShownText(), "");
    Frames(10);
    EXPECT_EQ(mes.ShownText(), J("おかきく"));
    EXPECT_FALSE(mes.TextPlaying());
}

TEST_F(MessageWindowTest, AQueuedPlayStartHoldsThePageOnlyWhileTheInterpreterCanTakeIt) {
    for (const bool blocked : {false, true}) {
        SCOPED_TRACE(blocked);
        root.Reset();
        root.Events().SetBlocked(blocked);
        TKivoMes& mes = root.Create<TKivoMes>();
        mes.SetParent(&root.ActiveLayer());
        mes.SetWidth(40);
        mes.SetHeight(10);
        mes.SetFontHeight(10);
        mes.SetOnPlayStart("start.ksb");
        mes.SetWaitScale(0);
        mes.SetText(J("あい"));
        ASSERT_TRUE(root.Events().Contains(mes.Handle(), kEventPlayStart));
        Frames(5);
        EXPECT_EQ(mes.ShownText(), blocked ? J("あい") : "");
    }
}

TEST_F(MessageWindowTest, AWindowTooLargeForItsPicturesRevealsWithoutDrawing) {
    TKivoMes& mes = Window(J("あいうえ"));
    mes.SetWidth(100000);
    mes.SetHeight(100000);
    mes.SetWaitScale(0);
    mes.SetText(J("あいうえ"));
    EXPECT_NO_THROW(Frames(3));
    EXPECT_EQ(mes.ShownText(), J("あいうえ"));
    EXPECT_NO_THROW((void)Picture());
}

TEST_F(MessageWindowTest, TheSaveRecordRestoresPageRevealAndHandlers) {
    TKivoMes& mes = Window(J("あいうえおかきく"));
    mes.SetWaitScale(82);
    mes.SetOnLink("link.ksb");
    mes.SetOnPlaying("playing.ksb");
    mes.SetCaptureLink(true);
    mes.ShowPage(1);
    Frames(4);
    const std::string shown = mes.ShownText();
    ASSERT_FALSE(shown.empty());
    ASSERT_NE(shown, J("おかきく"));
    ByteWriter writer;
    root.Save(writer);
    const std::vector<uint8_t> bytes = writer.Take();

    TKivoBaseList loaded(state);
    ByteReader reader(bytes, "save");
    loaded.Load(reader, kSaveVersionCurrent);
    loaded.RebuildAfterLoad();
    auto* copy = dynamic_cast<TKivoMes*>(loaded.FindComponent("mes"));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->PageIndex(), 1);
    EXPECT_EQ(copy->ShownText(), shown);
    EXPECT_EQ(copy->OnLink(), "link.ksb");
    EXPECT_EQ(copy->OnPlaying(), "playing.ksb");
    EXPECT_TRUE(copy->CaptureLink());
    EXPECT_EQ(copy->WaitScale(), 82);
    ByteWriter again;
    loaded.Save(again);
    EXPECT_EQ(again.Take(), bytes);
}

TEST_F(MessageWindowTest, DamagedSaveRecordsFailCleanly) {
    Window(J("あいうえおかきく")).ShowPage(1);
    ByteWriter writer;
    root.Save(writer);
    const std::vector<uint8_t> bytes = writer.Take();
    for (size_t cut = 0; cut < bytes.size(); cut += 7) {
        TKivoBaseList loaded(state);
        ByteReader reader(std::span<const uint8_t>(bytes).first(cut), "save");
        EXPECT_THROW(loaded.Load(reader, kSaveVersionCurrent), KivoError) << cut;
    }
}

// ---- Backlog ---------------------------------------------------------------------------------

PendingEntry Entry(const std::string& file, int32_t command, int32_t page) {
    return PendingEntry{"mes", file, command, page, 0, -1, 320, 96, {}};
}

TEST(BacklogTest, EntriesAreCommittedByTheirWindowAndTrimmedToTheMaximum) {
    TKivoNewHistory history;
    history.Record(Entry("a.ksb", 1, 0));
    history.Commit("other");
    EXPECT_EQ(history.Count(), 0);
    EXPECT_TRUE(history.HasPending());
    history.Commit("mes");
    EXPECT_FALSE(history.HasPending());
    history.SetMaxCount(3);
    for (int32_t command = 2; command <= 4; ++command) {
        history.Record(Entry("a.ksb", command, 0));
        history.Commit("mes");
    }
    ASSERT_EQ(history.Count(), 3);
    EXPECT_EQ(history.Entries().front().command, 2);
    EXPECT_EQ(history.Size(), 3);
    history.SetMaxCount(0);
    history.Record(Entry("b.ksb", 5, 1));
    history.Commit("mes");
    EXPECT_EQ(history.Count(), 4);

    // Trimming dropped the entry that first named a.ksb; the stream still names it.
    ByteWriter writer;
    history.Save(writer);
    const std::vector<uint8_t> bytes = writer.Take();
    TKivoNewHistory loaded;
    ByteReader reader(bytes, "backlog");
    loaded.Load(reader, kSaveVersionCurrent);
    EXPECT_EQ(loaded.Entries(), history.Entries());
    EXPECT_EQ(loaded.Entries().front().pageFile, "a.ksb");
    ByteWriter again;
    loaded.Save(again);
    EXPECT_EQ(again.Take(), bytes);
}

// The stream of one entry "a.ksb" (command 7, page 2, 320 x 96) and a pending entry of window
// "mes", in the form of a save version.
std::vector<uint8_t> BacklogStream(int32_t version) {
    ByteWriter w;
    if (version <= 112) {
        w.WriteCountedString("unused");
        w.WriteI32(1);                  // entries
        w.WriteCountedString("a.ksb");  // names
        w.WriteI32(7);                  // commands
        w.WriteI32(2);                  // pages
        w.WriteI32(320);                // sizes
        w.WriteI32(96);
    } else {
        w.WriteI32(1);
        w.WriteCountedString("a.ksb");
        w.WriteI32(7);
        w.WriteI32(2);
        w.WriteI32(320);
        w.WriteI32(96);
    }
    w.WriteCountedString("b.ksb");  // pending page file, command, page, box, window
    w.WriteI32(9);
    w.WriteI32(0);
    w.WriteI32(320);
    w.WriteI32(96);
    w.WriteCountedString("mes");
    if (version >= 113) {
        for (int32_t value : {5, 16, 1, 2, 300, 64, 4})  // maximum, layout
            w.WriteI32(value);
        w.WriteI32(3);   // pending start
        w.WriteI32(11);  // pending end
        w.WriteI32(1);   // one screen of two pieces, the second repeating the first's file
        w.WriteI32(2);
        for (int32_t piece = 0; piece < 2; ++piece) {
            w.WriteCountedString(piece == 0 ? "c.ksb" : "");
            w.WriteI32(4);
            w.WriteI32(piece * 10);
            w.WriteI32(piece * 10 + 9);
            w.WriteI32(20);
            if (version >= 124) w.WriteCountedString("x=1");
        }
        w.WriteI32(40);
    }
    if (version >= 124) w.WriteCountedString("y=2");
    return w.Take();
}

TEST(BacklogTest, StreamsOfEachVersionReadTheirOwnFields) {
    for (const int32_t version : {112, 113, 124}) {
        SCOPED_TRACE(version);
        const std::vector<uint8_t> bytes = BacklogStream(version);
        TKivoNewHistory history;
        ByteReader reader(bytes, "backlog");
        history.Load(reader, version);
        EXPECT_TRUE(reader.AtEnd());
        ASSERT_EQ(history.Entries().size(), 1u);
        EXPECT_EQ(history.Entries()[0], (THistoryOldData{"a.ksb", 7, 2, 320, 96}));
        ASSERT_TRUE(history.Pending().has_value());
        const PendingEntry& pending = *history.Pending();
        EXPECT_EQ(pending.window, "mes");
        EXPECT_EQ(pending.pageFile, "b.ksb");
        EXPECT_EQ(pending.start, version >= 113 ? 3 : 0);
        EXPECT_EQ(pending.frozenValues, version >= 124 ? "y=2" : "");
        EXPECT_EQ(history.MaxCount(), version >= 113 ? 5 : 0);
        if (version < 113) {
            EXPECT_TRUE(history.Screens().empty());
            continue;
        }
        ASSERT_EQ(history.Screens().size(), 1u);
        const TKivoHistData& screen = history.Screens()[0];
        ASSERT_EQ(screen.pieces.size(), 2u);
        EXPECT_EQ(screen.pieces[1].pageFile, "c.ksb");  // the repeated name is restored
        EXPECT_EQ(screen.pieces[1].frozenValues, version >= 124 ? "x=1" : "");
        EXPECT_EQ(screen.TotalHeight(), 40);
        // Written again, the stream of the newest version holds the same.
        ByteWriter writer;
        history.Save(writer);
        const std::vector<uint8_t> newest = writer.Take();
        TKivoNewHistory again;
        ByteReader newer(newest, "backlog");
        again.Load(newer, kSaveVersionCurrent);
        EXPECT_EQ(again.Screens()[0].pieces, screen.pieces);
    }
}

TEST(BacklogTest, DamagedStreamsFailAndLeaveTheBacklogAsItWas) {
    const std::vector<uint8_t> bytes = BacklogStream(124);
    TKivoNewHistory history;
    history.Record(Entry("keep.ksb", 1, 0));
    history.Commit("mes");
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        ByteReader reader(std::span<const uint8_t>(bytes).first(cut), "backlog");
        EXPECT_THROW(history.Load(reader, 124), KivoError) << cut;
        ASSERT_EQ(history.Entries().size(), 1u);
        EXPECT_EQ(history.Entries()[0].pageFile, "keep.ksb");
    }
    // A count larger than the bytes left is refused before anything is allocated.
    ByteWriter huge;
    huge.WriteI32(0x7FFFFFFF);
    const std::vector<uint8_t> hugeBytes = huge.Take();
    ByteReader reader(hugeBytes, "backlog");
    EXPECT_THROW(history.Load(reader, 124), KivoError);
}

// ---- Read marks -------------------------------------------------------------------------------

TEST(ReadListTest, MarksAreCommittedByTheirWindowAndSurviveTheirStream) {
    TKivoReadList marks;
    marks.SetPending("mes", "a.ksb", 0, 3);
    marks.Commit("other");
    EXPECT_FALSE(marks.IsRead("a.ksb", 3, 0));
    marks.Commit("mes");
    EXPECT_TRUE(marks.IsRead("A.KSB", 3, 0));  // file names compare without case
    EXPECT_FALSE(marks.IsRead("a.ksb", 3, 1));
    marks.SetPending("mes", "b.ksb", 1, 4);
    marks.Commit("mes");
    marks.SetPending("mes2", "a.ksb", 2, 5);

    ByteWriter writer;
    marks.Save(writer);
    const std::vector<uint8_t> bytes = writer.Take();
    TKivoReadList loaded;
    ByteReader reader(bytes, "status");
    loaded.Load(reader, 100);
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_TRUE(loaded.IsRead("a.ksb", 3, 0));
    EXPECT_TRUE(loaded.IsRead("b.ksb", 4, 1));
    loaded.Commit("mes2");  // the pending mark came along
    EXPECT_TRUE(loaded.IsRead("a.ksb", 5, 2));

    // Status data older than 100 holds no marks: nothing is read.
    ByteReader old(bytes, "status");
    TKivoReadList none;
    none.Load(old, 99);
    EXPECT_EQ(old.Position(), 0u);
    EXPECT_EQ(none.FileCount(), 0);

    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        ByteReader damaged(std::span<const uint8_t>(bytes).first(cut), "status");
        EXPECT_THROW(loaded.Load(damaged, 100), KivoError) << cut;
        EXPECT_TRUE(loaded.IsRead("a.ksb", 5, 2));
    }
    loaded.Clear();
    EXPECT_FALSE(loaded.IsRead("a.ksb", 3, 0));
}

}  // namespace
}  // namespace kivo
