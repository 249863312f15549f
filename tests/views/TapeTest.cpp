#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "library/CRegion.h"
#include "library/CSample.h"
#include "views/CScrollbar.h"
#include "views/CTape.h"
#include "views/CWorkList.h"

namespace {

// Regions of one sample at 1000 frames per second, so lengths read as seconds × 1000.
struct Regions {
    CSample sample{"a.wav", "/x", 0, 1, 1000, 2, 16, 10000000, 0, 0, 3};
    std::vector<std::unique_ptr<CRegion>> all;
    CRegion* Make(int64_t ms, const std::string& name = "r") {
        all.push_back(std::make_unique<CRegion>(name + std::to_string(all.size()), 0, ms, &sample, 0,
                                                static_cast<int32_t>(all.size() + 1), 1));
        return all.back().get();
    }
    void Fill(CTape& tape, int n, int64_t ms = 1000) {
        for (int i = 0; i < n; ++i) tape.Add(Make(ms));
    }
};

std::vector<int> Order(const CTape& tape, const Regions& rs) {
    std::vector<int> out;
    for (int i = 0; i < tape.Count(); ++i)
        for (size_t k = 0; k < rs.all.size(); ++k)
            if (rs.all[k].get() == tape.RegionAt(i)) out.push_back(static_cast<int>(k));
    return out;
}

int LaidOut(const CTape& tape) {
    int n = 0;
    for (int i = 0; i < tape.Count(); ++i) n += tape.ItemAt(i).LaidOut() ? 1 : 0;
    return n;
}

} // namespace

TEST(ScrollbarTest, ThumbSizePositionAndDrag) {
    CScrollbar bar;
    bar.SetRect(0, 0, 101, 13); // inner 100 × 12
    bar.Configure(CScrollbar::Horizontal, 10, 20);
    EXPECT_EQ(bar.GetMax(), 10);
    EXPECT_EQ(bar.ThumbRect().width, 50);
    EXPECT_EQ(bar.ThumbRect().left, 1);
    EXPECT_EQ(bar.Press(80, 5), CScrollbar::After);
    EXPECT_EQ(bar.GetPosition(), 1);
    EXPECT_EQ(bar.ThumbRect().left, 1 + 50 * 1 / 10);
    EXPECT_EQ(bar.Press(2, 5), CScrollbar::Before);
    EXPECT_EQ(bar.GetPosition(), 0);
    EXPECT_EQ(bar.Press(10, 5), CScrollbar::Thumb);
    EXPECT_TRUE(bar.Drag(35, 5)); // 25 px of a 50 px track: position 5
    EXPECT_EQ(bar.GetPosition(), 5);
    EXPECT_TRUE(bar.Drag(500, 5)); // clamped to the track's end
    EXPECT_EQ(bar.GetPosition(), 10);
    bar.Release();
    EXPECT_FALSE(bar.Drag(10, 5));
    // Tiny page: the thumb stays at least 6 px; page ≥ total: thumb fills, nothing to scroll.
    bar.Configure(CScrollbar::Horizontal, 1, 1000);
    EXPECT_EQ(bar.ThumbRect().width, 6);
    bar.Configure(CScrollbar::Horizontal, 30, 20);
    EXPECT_EQ(bar.GetPosition(), 0);
    EXPECT_EQ(bar.ThumbRect().width, 100);
    bar.SetEnabled(false);
    EXPECT_EQ(bar.Press(10, 5), CScrollbar::None);
    bar.SetEnabled(true);
    EXPECT_EQ(bar.Press(200, 5), CScrollbar::None); // outside the bar
}

TEST(TapeLayoutTest, StripFixedCells) {
    Regions rs;
    CTape tape(CTape::Strip);
    tape.SetArea(0, 0, 299, 82); // W 300: 4 cells fit
    tape.Layout();
    EXPECT_EQ(LaidOut(tape), 0);
    EXPECT_EQ(tape.GetFirstVisible(), -1);
    rs.Fill(tape, 1);
    tape.Layout();
    const CTapeItem& one = tape.ItemAt(0);
    EXPECT_EQ(one.box.width, 99);
    EXPECT_EQ(one.box.height, 83 - 14);
    EXPECT_EQ(one.thumb.height, 83 - 14 - 12 - 2);
    EXPECT_EQ(tape.Scrollbar().GetTotal(), 2);
    rs.Fill(tape, 9);
    tape.Layout();
    EXPECT_EQ(LaidOut(tape), 4);
    EXPECT_EQ(tape.Scrollbar().GetPage(), 4);
    EXPECT_EQ(tape.Scrollbar().GetTotal(), 11);
    EXPECT_EQ(tape.ItemAt(1).box.left, 100);
    // Scrolled to the end, the last items show, clamped so the last cell is item 9.
    tape.ScrollToEnd();
    EXPECT_EQ(tape.GetFirstVisible(), 6);
    EXPECT_EQ(tape.GetLastVisible(), 9);
}

TEST(TapeLayoutTest, StripProportionalLaysOutPastTheEdge) {
    Regions rs;
    CTape tape(CTape::Strip);
    tape.SetLengthMode(CTape::Proportional);
    tape.SetTapeMinutes(1); // 600 px for 60 s: 10 px a second
    tape.SetArea(0, 0, 599, 82);
    tape.Add(rs.Make(30000));
    tape.Add(rs.Make(45000)); // runs past the right edge
    tape.Add(rs.Make(10000));
    tape.Layout();
    EXPECT_EQ(LaidOut(tape), 3);
    EXPECT_EQ(tape.ItemAt(0).box.width, 300);
    EXPECT_EQ(tape.ItemAt(1).box.left, 300);
    EXPECT_EQ(tape.ItemAt(2).box.left, 750);
    EXPECT_EQ(tape.ItemAt(0).thumb.height, 83 - 14);
    EXPECT_EQ(tape.IndexAt(760, 20), -1); // off the surface: not reachable
    EXPECT_EQ(tape.Scrollbar().GetMax(), 0);
}

TEST(TapeLayoutTest, GridColumnsRowsAndLabels) {
    Regions rs;
    CTape grid(CTape::Grid);
    grid.SetArea(0, 0, 413, 599); // W − s = 400
    grid.Layout();
    EXPECT_EQ(grid.Scrollbar().GetTotal(), 1);
    rs.Fill(grid, 5);
    grid.SetColumns(3); // e = 133, one column 1 px wider
    grid.Layout();
    EXPECT_EQ(grid.ItemAt(0).box.width, 134);
    EXPECT_EQ(grid.ItemAt(1).box.left, 134);
    EXPECT_EQ(grid.ItemAt(1).box.width, 133);
    const int f = static_cast<int>(133 * 0.618046971569839);
    EXPECT_EQ(grid.ItemAt(3).box.top, f);
    EXPECT_EQ(grid.GetLabelHeight(), 12 - 3 + 4);
    EXPECT_EQ(grid.ItemAt(0).thumb.left, 6);
    EXPECT_EQ(grid.ItemAt(0).thumb.width, 134 - 12);
    EXPECT_EQ(grid.ItemAt(0).thumb.height, f - 13 - 12);
    EXPECT_EQ(grid.ItemAt(0).label.Bottom(), f - 5);
    EXPECT_EQ(grid.Scrollbar().GetTotal(), 5 / 3 + 1 + 1);
    // One column: each row is the full height.
    grid.SetColumns(1);
    grid.Layout();
    EXPECT_EQ(grid.ItemAt(0).box.height, 600);
    EXPECT_EQ(LaidOut(grid), 1);
    EXPECT_EQ(grid.Scrollbar().GetTotal(), 6);
    // Eight columns: the label height would fall to 8 and keeps its floor of 6 at small text.
    grid.SetTextHeight(6);
    grid.SetColumns(8);
    grid.Layout();
    EXPECT_EQ(grid.GetLabelHeight(), 6);
}

TEST(TapeLayoutTest, ListRowsAndThumbnailWidths) {
    Regions rs;
    CTape list(CTape::List);
    list.SetArea(0, 0, 821, 599); // W − s − 408 = 400
    list.Add(rs.Make(1000));
    list.Layout();
    // One region: H ÷ 2 = 300, clamped to 200.
    EXPECT_EQ(list.ItemAt(0).box.height, 200);
    EXPECT_EQ(list.ItemAt(0).thumb.left, 404);
    EXPECT_EQ(list.ItemAt(0).thumb.width, 400 - 8);
    list.Add(rs.Make(100)); // 0.1 of the longest: 40 px
    list.Add(rs.Make(1));   // below the minimum: 20 − 8
    for (int i = 0; i < 30; ++i) list.Add(rs.Make(500));
    list.Layout();
    EXPECT_EQ(list.ItemAt(0).box.height, 4 * 12 + 8); // floor of four text lines
    EXPECT_EQ(list.ItemAt(1).thumb.width, 40 - 8);
    EXPECT_EQ(list.ItemAt(2).thumb.width, 12);
    EXPECT_EQ(list.ItemAt(0).thumb.height, 56 - 16);
    EXPECT_LT(LaidOut(list), list.Count());
}

TEST(TapeLayoutTest, SelectionBarsShowOnlySelected) {
    Regions rs;
    CTape bars(CTape::SelectionBars);
    bars.SetArea(0, 0, 513, 399);
    rs.Fill(bars, 4);
    bars.Layout();
    EXPECT_EQ(LaidOut(bars), 0);
    bars.Select(rs.all[1].get());
    bars.Select(rs.all[3].get());
    bars.Layout();
    EXPECT_EQ(LaidOut(bars), 2);
    EXPECT_EQ(bars.ItemAt(1).box.height, 133);
    EXPECT_EQ(bars.ItemAt(3).box.top, 133);
    EXPECT_EQ(bars.ItemAt(1).thumb.width, 500 - 8);
    EXPECT_EQ(bars.Scrollbar().GetTotal(), 3);
}

TEST(TapeHitTest, CodesAtRectangleEdges) {
    Regions rs;
    CTape grid(CTape::Grid);
    grid.SetArea(0, 0, 413, 599);
    rs.Fill(grid, 2);
    grid.SetColumns(4); // e = 100
    grid.Layout();
    const CTapeItem& a = grid.ItemAt(0);
    int code = 0;
    // The box's own edge column is not inside it.
    EXPECT_EQ(grid.Press(a.box.left, 20, CTape::LeftButton, false, false, code), nullptr);
    EXPECT_EQ(code, CTape::HitEmpty);
    EXPECT_EQ(grid.Press(a.box.left + 1, 2, CTape::LeftButton, false, false, code), rs.all[0].get());
    EXPECT_EQ(code, CTape::HitBox);
    grid.Press(a.thumb.left + 1, a.thumb.top + 20, CTape::LeftButton, false, false, code);
    EXPECT_EQ(code, CTape::HitThumbnail);
    grid.Press(a.label.Right() - 2, a.label.top + 2, CTape::LeftButton, false, false, code);
    EXPECT_EQ(code, CTape::HitLabel);
    grid.Press(a.label.left + 2, a.label.top + 2, CTape::LeftButton, false, false, code);
    EXPECT_EQ(code, CTape::HitSecondLabel);
    // Already selected: the thumbnail's top-right corner is the close box.
    grid.Press(a.thumb.Right() - 2, a.thumb.top + 2, CTape::LeftButton, false, false, code);
    EXPECT_EQ(code, CTape::HitClose);
    EXPECT_EQ(grid.GetCurrent(), rs.all[0].get());
    // The scrollbar strip at the right edge.
    grid.Press(405, 300, CTape::LeftButton, false, false, code);
    EXPECT_EQ(code, CTape::HitThumb);
    EXPECT_TRUE(grid.ScrollbarDragging());
    grid.Release();
    // Nothing hit: current and anchor are cleared.
    grid.Press(300, 500, CTape::LeftButton, false, false, code);
    EXPECT_EQ(code, CTape::HitEmpty);
    EXPECT_EQ(grid.GetCurrent(), nullptr);
    EXPECT_EQ(grid.GetAnchor(), nullptr);
}

TEST(TapeSelectionTest, CtrlShiftAndPlainPresses) {
    Regions rs;
    CTape grid(CTape::Grid);
    grid.SetArea(0, 0, 413, 599);
    rs.Fill(grid, 6);
    grid.SetColumns(4);
    grid.Layout();
    auto at = [&](int i, bool ctrl, bool shift) {
        const TapeRect& b = grid.ItemAt(i).box;
        int code = 0;
        grid.Press(b.left + 3, b.top + 3, CTape::LeftButton, ctrl, shift, code);
    };
    at(1, false, false);
    EXPECT_EQ(grid.CountSelected(), 1);
    at(4, false, true); // span 1..4
    EXPECT_EQ(grid.CountSelected(), 4);
    EXPECT_TRUE(grid.IsSelected(rs.all[4].get()));
    EXPECT_FALSE(grid.IsSelected(rs.all[5].get()));
    at(5, true, false); // Ctrl adds
    EXPECT_EQ(grid.CountSelected(), 5);
    at(5, true, false); // Ctrl on a selected item removes it and clears current
    EXPECT_EQ(grid.CountSelected(), 4);
    EXPECT_EQ(grid.GetCurrent(), nullptr);
    at(2, false, false); // a plain press on a selected item keeps the others (for a drag)
    EXPECT_EQ(grid.CountSelected(), 4);
    at(0, false, false); // on an unselected item: it alone
    EXPECT_EQ(grid.CountSelected(), 1);
    EXPECT_EQ(grid.GetAnchor(), rs.all[0].get());
    // Right press on a thumbnail leaves the selection; on a label it selects like a left press.
    int code = 0;
    const CTapeItem& i3 = grid.ItemAt(3);
    grid.Press(i3.thumb.left + 5, i3.thumb.top + 5, CTape::RightButton, false, false, code);
    EXPECT_EQ(code, CTape::HitThumbnail);
    EXPECT_EQ(grid.CountSelected(), 1);
    grid.Press(i3.label.Right() - 3, i3.label.top + 2, CTape::RightButton, false, false, code);
    EXPECT_EQ(code, CTape::HitLabel);
    EXPECT_TRUE(grid.IsSelected(rs.all[3].get()));
    EXPECT_EQ(grid.CountSelected(), 1);
    EXPECT_EQ(grid.GetCurrent(), rs.all[3].get());
    grid.Invert();
    EXPECT_EQ(grid.CountSelected(), 5);
    EXPECT_EQ(grid.GetCurrent(), nullptr);
}

TEST(TapeSelectionTest, SharedBetweenTheTwoTapes) {
    Regions rs;
    CTape browser(CTape::Grid), vtape(CTape::Strip);
    rs.Fill(browser, 4);
    vtape.Add(rs.all[1].get());
    vtape.Add(rs.all[3].get());
    browser.Select(rs.all[0].get());
    browser.Select(rs.all[1].get());
    browser.CopySelectionTo(vtape);
    EXPECT_TRUE(vtape.IsSelected(rs.all[1].get()));
    EXPECT_FALSE(vtape.IsSelected(rs.all[3].get()));
    EXPECT_EQ(vtape.GetCurrent(), rs.all[1].get()); // the VTape holds the browser's current
    browser.Select(rs.all[0].get());                // current now not on the VTape
    vtape.SetCurrent(rs.all[3].get());
    browser.CopySelectionTo(vtape);
    EXPECT_EQ(vtape.GetCurrent(), rs.all[3].get());
    // Taking over: exactly what the VTape has selected, and its current even when absent here.
    vtape.DeselectAll();
    vtape.Select(rs.all[3].get());
    CTape other(CTape::Grid);
    other.Add(rs.all[0].get());
    other.TakeSelectionFrom(vtape);
    EXPECT_EQ(other.CountSelected(), 0);
    EXPECT_EQ(other.GetCurrent(), rs.all[3].get());
    browser.TakeSelectionFrom(vtape);
    EXPECT_EQ(browser.CountSelected(), 1);
    EXPECT_TRUE(browser.IsSelected(rs.all[3].get()));
}

TEST(TapeEditTest, DropsInsertsAndRemovals) {
    Regions rs;
    CTape vtape(CTape::Strip);
    vtape.SetArea(0, 0, 999, 82);
    rs.Fill(vtape, 4);
    vtape.Layout();
    auto centre = [&](int i) { return vtape.ItemAt(i).box.left + 50; };
    vtape.SetAnchor(rs.all[0].get());
    vtape.MoveAnchorToPoint(centre(1), 30); // right neighbour: swap
    EXPECT_EQ(Order(vtape, rs), (std::vector<int>{1, 0, 2, 3}));
    vtape.Layout();
    vtape.SetAnchor(rs.all[1].get());
    vtape.MoveAnchorToPoint(centre(3), 30); // lands right before item 3
    EXPECT_EQ(Order(vtape, rs), (std::vector<int>{0, 2, 1, 3}));
    vtape.Layout();
    vtape.MoveAnchorToPoint(900, 30); // empty space: to the end
    EXPECT_EQ(Order(vtape, rs), (std::vector<int>{0, 2, 3, 1}));

    // Inserting browser items already on the VTape skips them; the index moves only past
    // inserted ones.
    CTape browser(CTape::Grid);
    browser.Add(rs.all[2].get());
    browser.Add(rs.Make(1000)); // 4
    browser.Add(rs.Make(1000)); // 5
    browser.SelectAll();
    browser.InsertSelectedInto(vtape, 1);
    EXPECT_EQ(Order(vtape, rs), (std::vector<int>{0, 4, 5, 2, 3, 1}));
    browser.InsertSelectedInto(vtape, -1);
    EXPECT_EQ(vtape.Count(), 6);
    EXPECT_FALSE(vtape.Add(rs.all[0].get()));
    EXPECT_DOUBLE_EQ(vtape.TotalDuration(), 6.0);
    vtape.SetCurrent(rs.all[4].get());
    EXPECT_TRUE(vtape.RemoveAll(rs.all[4].get()));
    EXPECT_EQ(vtape.GetCurrent(), nullptr);
    EXPECT_FALSE(vtape.RemoveAll(rs.all[4].get()));
}

TEST(TapeKeysTest, MovesSelectionAndScrollsIntoView) {
    Regions rs;
    CTape grid(CTape::Grid);
    grid.SetArea(0, 0, 413, 299); // 4 columns of 100, rows 61 high: 4 rows visible
    rs.Fill(grid, 40);
    grid.Layout();
    grid.Next(); // nothing selected: the first item
    EXPECT_EQ(grid.GetCurrent(), rs.all[0].get());
    grid.Next();
    EXPECT_EQ(grid.GetCurrent(), rs.all[1].get());
    EXPECT_EQ(grid.CountSelected(), 1);
    for (int i = 0; i < 6; ++i) grid.RowDown();
    EXPECT_EQ(grid.GetCurrent(), rs.all[25].get());
    EXPECT_TRUE(grid.ItemAt(25).LaidOut());
    EXPECT_GT(grid.GetFirstVisible(), 0);
    grid.RowUp();
    grid.Previous();
    EXPECT_EQ(grid.GetCurrent(), rs.all[20].get());
    for (int i = 0; i < 10; ++i) grid.RowUp();
    EXPECT_EQ(grid.GetCurrent(), rs.all[0].get());
    EXPECT_EQ(grid.GetFirstVisible(), 0);
    // Several selected: only the focus moves among them.
    grid.Select(rs.all[5].get());
    grid.Select(rs.all[9].get());
    grid.SetCurrent(rs.all[5].get());
    grid.Next();
    EXPECT_EQ(grid.GetCurrent(), rs.all[9].get());
    EXPECT_EQ(grid.CountSelected(), 3);
}

TEST(WorkListTest, InsertRemoveAndNamingSettings) {
    Regions rs;
    CWorkList work;
    EXPECT_EQ(work.GetBaseName(), "Master");
    EXPECT_EQ(work.GetStartIndex(), 1);
    EXPECT_EQ(work.GetCurrentIndex(), 0);
    EXPECT_EQ(work.GetNamingMode(), CWorkList::RegionName);
    CRegion* a = rs.Make(10);
    CRegion* b = rs.Make(10);
    work.Insert(a);
    work.Insert(b, 0);
    work.Insert(a, 99);
    EXPECT_EQ(work.RegionAt(0), b);
    EXPECT_EQ(work.RegionAt(2), a);
    EXPECT_TRUE(work.RemoveAll(a));
    EXPECT_EQ(work.Count(), 1);
    EXPECT_FALSE(work.Contains(a));
    EXPECT_FALSE(work.RemoveAll(a));
    EXPECT_EQ(work.RegionAt(5), nullptr);
    work.SetBaseName(std::string(300, 'x'));
    EXPECT_EQ(work.GetBaseName().size(), 255u);
    work.SetNamingMode(7); // unknown modes fall back to the region name
    EXPECT_EQ(work.GetNamingMode(), CWorkList::RegionName);
}
