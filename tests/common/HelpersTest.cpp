#include <gtest/gtest.h>

#include "common/ByteIO.h"
#include "common/Clock.h"
#include "common/FadeShape.h"
#include "common/FixedText.h"
#include "common/TimeFormat.h"
#include "support/ScriptedUiPort.h"

TEST(TimeFormat, HoursMinutesSecondsHundredths) {
    EXPECT_EQ(FormatTime(44100, 44100), "0:00:01:00");
    EXPECT_EQ(FormatTime(0, 44100), "0:00:00:00");
    EXPECT_EQ(FormatTime(44100LL * 3723 + 22050, 44100), "1:02:03:50");
    EXPECT_EQ(FormatTime(44100LL * 36000, 44100), "10:00:00:00");
    EXPECT_EQ(FormatTime(100, 0), "0:00:00:00");
}

TEST(FixedText, CutNeverSplitsAUtf8Character) {
    char field[6];
    SetFixedText(field, "abcdefgh");
    EXPECT_EQ(GetFixedText(field), "abcde");
    // "aaaé" is 5 bytes; "aaaaé" is 6 and é would straddle the cut at 5.
    SetFixedText(field, "aaaa\xC3\xA9");
    EXPECT_EQ(GetFixedText(field), "aaaa");
    SetFixedText(field, "aaa\xC3\xA9");
    EXPECT_EQ(GetFixedText(field), "aaa\xC3\xA9");
    // A 4-byte character cut in its middle goes whole.
    EXPECT_EQ(CutUtf8("a\xF0\x9F\x8E\xB5", 3), "a");
    // A field without a NUL reads to its end.
    char full[3] = {'x', 'y', 'z'};
    EXPECT_EQ(GetFixedText(full), "xyz");
}

TEST(ByteIO, RoundTripAndBoundedReads) {
    ByteWriter w;
    w.I32(-2);
    w.I64(0x123456789ALL);
    w.F32(0.5f);
    w.Text("name", 8);
    w.U16(0xBEEF);
    ASSERT_EQ(w.Size(), 4u + 8 + 4 + 8 + 2);
    EXPECT_EQ(w.Data()[0], 0xFE);
    EXPECT_EQ(w.Data()[4], 0x9A);

    ByteReader r(w.Data());
    EXPECT_EQ(r.I32(), -2);
    EXPECT_EQ(r.I64(), 0x123456789ALL);
    EXPECT_EQ(r.F32(), 0.5f);
    EXPECT_EQ(r.Text(8), "name");
    EXPECT_EQ(r.U16(), 0xBEEF);
    EXPECT_TRUE(r.Ok());
    EXPECT_EQ(r.I32(), 0); // past the end
    EXPECT_FALSE(r.Ok());
    EXPECT_FALSE(r.Skip(1));
}

TEST(Clock, FixedTodayAndYesterdayAcrossMonthAndYear) {
    Clock::SetFixed({2026, 3, 1, 0, 30, 0});
    EXPECT_EQ(TodayStamp(), 2026 * 65536 + 3 * 256 + 1);
    EXPECT_EQ(YesterdayStamp(), 2026 * 65536 + 2 * 256 + 28);
    Clock::SetFixed({2025, 1, 1, 23, 59, 59});
    EXPECT_EQ(YesterdayStamp(), MakeDateStamp(2024, 12, 31));
    Clock::ClearFixed();
}

TEST(FadeShape, Curves) {
    EXPECT_FLOAT_EQ(FadeGain(FadeLin, 0.25f), 0.25f);
    EXPECT_FLOAT_EQ(FadeGain(FadeLog, 0.5f), 0.25f);
    EXPECT_FLOAT_EQ(FadeGain(FadeExp, 0.5f), 0.75f);
    EXPECT_FLOAT_EQ(FadeGain(FadeExp, 1.0f), 1.0f);
}

TEST(UiPort, EqualBarValuesAreNotRedrawnAndAbortLastsUntilNextOpen) {
    ScriptedUiPort ui;
    ui.ProgressOpen(true);
    ui.ProgressBar(10);
    ui.ProgressBar(10);
    ui.ProgressBar(20);
    EXPECT_EQ(ui.progressDraws, (std::vector<int>{0, 10, 20}));
    ui.PressAbort();
    EXPECT_TRUE(ui.ProgressAborted());
    ui.ProgressBar(30);
    EXPECT_TRUE(ui.ProgressAborted());
    ui.ProgressClose();
    EXPECT_TRUE(ui.ProgressAborted());
    ui.ProgressOpen(false);
    EXPECT_FALSE(ui.ProgressAborted());

    ui.DualOpen();
    ui.DualBars(0, 0);
    ui.DualBars(50, 10);
    ui.DualBars(50, 10);
    EXPECT_EQ(ui.dualDraws.size(), 2u);

    bool dontShow = false;
    ui.ReportPrepare("Import Audio Report", &dontShow);
    ui.reportDontShowAgain = true;
    ui.ReportShow();
    EXPECT_TRUE(dontShow);
    EXPECT_FALSE(ui.reportDontShowAgain); // the box is unchecked after "Ok"
}
