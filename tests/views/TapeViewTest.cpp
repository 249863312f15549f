#include <QFontMetrics>
#include <QGuiApplication>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "library/CRegion.h"
#include "library/CSample.h"
#include "views/CTape.h"
#include "views/TapeView.h"

namespace {

QGuiApplication& Gui() {
    static int argc = 1;
    static char name[] = "test_views";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return app;
}

uint32_t Pixel(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFF; }

} // namespace

TEST(TapeViewTest, ShorteningEndsInDotsOnlyWithFourCharactersLeft) {
    Gui();
    QFont f;
    f.setPixelSize(12);
    QFontMetrics m(f);
    const QString name = "A rather long region name";
    EXPECT_EQ(TapeView::Shorten(name, 1000, m), name);
    const QString cut = TapeView::Shorten(name, m.horizontalAdvance("A rather") + 2, m);
    EXPECT_TRUE(cut.endsWith("...")) << cut.toStdString();
    EXPECT_LT(m.horizontalAdvance(cut.left(cut.size() - 3)) + 2, m.horizontalAdvance("A rather") + 3);
    // Three characters left after cutting: no dots.
    const QString three = TapeView::Shorten(name, m.horizontalAdvance("A r") + 3, m);
    EXPECT_FALSE(three.endsWith("..."));
    EXPECT_LE(three.size(), 3);
    EXPECT_EQ(TapeView::Shorten(name, 0, m), QString());
}

TEST(TapeViewTest, ColoursOfSelectionAuditionAndTotal) {
    Gui();
    EXPECT_EQ(TapeView::Darken(0xFFFFFF), 0x7F7F99u);
    EXPECT_EQ(TapeView::TotalText(3725.9), QString("01:02:05"));

    CSample sample("a.wav", "/x", 0, 1, 1000, 2, 16, 100000, 0, 0, 3);
    CRegion a("a", 0, 60000, &sample, 0, 1, 1), b("b", 0, 30000, &sample, 0, 2, 1);
    std::memset(a.MutableOverview(), 255, CRegion::kOverviewSize); // full-height bars
    std::memset(b.MutableOverview(), 0, CRegion::kOverviewSize);
    CTape grid(CTape::Grid);
    grid.SetArea(0, 0, 413, 299);
    grid.Add(&a);
    grid.Add(&b);
    grid.Select(&b);
    grid.Layout();
    TapeView view(false);
    view.Paint(grid, 414, 300, 0);
    const QImage& img = view.Image();
    ASSERT_EQ(img.width(), 414);
    const CTapeItem& ia = grid.ItemAt(0);
    const CTapeItem& ib = grid.ItemAt(1);
    EXPECT_EQ(Pixel(img, ib.box.left + 2, ib.box.top + 2), 0xE0E0E0u);           // selected box
    EXPECT_EQ(Pixel(img, ia.box.left + 2, ia.box.top + 2), 0xFFFFFFu);           // background
    EXPECT_EQ(Pixel(img, ia.thumb.left + 40, ia.thumb.Bottom() - 3), 0x7F7F9Fu); // overview bar pen
    EXPECT_EQ(Pixel(img, ib.thumb.left + 40, ib.thumb.Bottom() - 3), 0x32327Fu); // empty overview, selected fill
    EXPECT_EQ(Pixel(img, 300, 250), 0xFFFFFFu);

    // Auditioning a: everything but a is darkened.
    grid.SetAudition(true);
    grid.SetAuditioned(&a);
    view.Paint(grid, 414, 300, 0);
    EXPECT_EQ(Pixel(view.Image(), 300, 250), TapeView::Darken(0xFFFFFF));
    EXPECT_EQ(Pixel(view.Image(), ib.box.left + 2, ib.box.top + 2), TapeView::Darken(0xE0E0E0));
    EXPECT_EQ(Pixel(view.Image(), ia.thumb.left + 40, ia.thumb.Bottom() - 3), 0x7F7F9Fu);

    // The VTape's panel on the right is black with the total in white.
    CTape strip(CTape::Strip);
    strip.SetBackground(0x112233);
    strip.SetArea(0, 0, 600 - 105 - 1, 82);
    strip.Add(&a);
    strip.Layout();
    TapeView tapeView(true);
    tapeView.Paint(strip, 600, 83, 0);
    EXPECT_EQ(Pixel(tapeView.Image(), 600 - 100, 5), 0x000000u);
    bool white = false;
    for (int x = 600 - 95; x < 600; ++x)
        for (int y = 83 - 29; y < 83; ++y) white = white || Pixel(tapeView.Image(), x, y) == 0xFFFFFFu;
    EXPECT_TRUE(white);
}

TEST(TapeViewTest, EveryKindPaintsWithNoneOneAndManyItems) {
    Gui();
    CSample sample("a.wav", "/x", 0, 1, 44100, 2, 16, 441000, 0, 0, 3);
    std::vector<std::unique_ptr<CRegion>> regions;
    for (int i = 0; i < 50; ++i)
        regions.push_back(
            std::make_unique<CRegion>("region " + std::to_string(i), 0, 44100 * (i + 1), &sample, 0, i + 1, 1));
    for (int kind = 1; kind <= 4; ++kind) {
        for (int n : {0, 1, 50}) {
            CTape tape(kind);
            tape.SetArea(0, 0, 799, 399);
            for (int i = 0; i < n; ++i) tape.Add(regions[static_cast<size_t>(i)].get());
            tape.SelectAll();
            tape.Layout();
            TapeView view(kind == 1);
            view.Paint(tape, 800, 400, 0);
            EXPECT_EQ(view.Image().size(), QSize(800, 400)) << kind << " " << n;
        }
    }
}

TEST(TapeViewTest, ThumbnailBarsFollowTheOverviewAndStayInsideTheSurface) {
    Gui();
    CSample sample("a.wav", "/x", 0, 1, 1000, 2, 16, 100000, 0, 0, 3);
    CRegion a("a", 0, 60000, &sample, 0, 1, 1);
    // A ramp: column j of a w-wide thumbnail shows byte trunc(j × 1023 ÷ w).
    for (int i = 0; i < CRegion::kOverviewSize; ++i) a.MutableOverview()[i] = static_cast<uint8_t>(i / 4);
    CTape grid(CTape::Grid);
    grid.SetColumns(1);
    grid.Add(&a);
    grid.SetArea(0, 0, 399, 299);
    grid.Layout();
    TapeView view(false);
    view.Paint(grid, 400, 300, 0);
    const TapeRect t = grid.ItemAt(0).thumb;
    ASSERT_GT(t.width, 100);
    const QImage& img = view.Image();
    for (int j : {0, 1, t.width / 3, t.width / 2, t.width - 1}) {
        const int byte = a.GetOverview()[static_cast<int64_t>(j) * 1023 / t.width];
        const int h = byte * t.height / 256;
        int lit = 0;
        for (int y = t.top; y < t.Bottom(); ++y) lit += Pixel(img, t.left + j, y) == 0x7F7F9Fu;
        EXPECT_EQ(lit, h) << "column " << j;
        if (h > 0) {
            EXPECT_EQ(Pixel(img, t.left + j, t.Bottom() - 1), 0x7F7F9Fu);
            EXPECT_EQ(Pixel(img, t.left + j, t.Bottom() - h), 0x7F7F9Fu);
        }
        if (h < t.height) {
            EXPECT_EQ(Pixel(img, t.left + j, t.Bottom() - h - 1), 0x1F1F4Fu);
        }
    }
    // A surface smaller than the laid-out thumbnail: the bars are cut at its edges.
    view.Paint(grid, 120, 80, 0);
    EXPECT_EQ(view.Image().width(), 120);
}
