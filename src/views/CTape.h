#pragma once
// CTape: a scrollable collection of regions with a selection, laid out in one of four kinds:
// 1 the VTape strip (fixed cells or proportional to a tape length), 2 the browser's grid of
// thumbnails, 3 its detail list, 4 length bars of its selected regions. The tape owns its item
// records, never the regions. This is the model (layout, hit test, selection, keys, moves);
// TapeView draws it into an image.
//
// Threading: main thread only.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "views/CScrollbar.h"

class CRegion;

struct CTapeItem {
    TapeRect thumb, box, label, label2;
    CRegion* region = nullptr;
    uint32_t flags = 0; // bit 0 selected, bit 1 laid out in view
    bool Selected() const { return (flags & 1u) != 0; }
    bool LaidOut() const { return (flags & 2u) != 0; }
};

class CTape {
public:
    enum Kind { Strip = 1, Grid = 2, List = 3, SelectionBars = 4 };
    enum LengthMode { FixedCells = 1, Proportional = 2 };
    enum HitCode {
        HitNone = 0,
        HitThumb = 2,
        HitTrackBefore = 3,
        HitTrackAfter = 4,
        HitEmpty = 5,
        HitBox = 6,
        HitThumbnail = 7,
        HitLabel = 8,
        HitClose = 9,
        HitSecondLabel = 10
    };
    enum Button { LeftButton = 1, RightButton = 2 };
    static constexpr int kScrollbarThickness = 14;

    explicit CTape(int kind);

    // The drawing area by its edge columns and rows, both included.
    void SetArea(int left, int top, int right, int bottom);
    void Layout();

    // Items.
    bool Contains(const CRegion* region) const { return IndexOf(region) >= 0; }
    int IndexOf(const CRegion* region) const;
    // Adds when absent: at the end for index −1 (or past the end), else before item index.
    bool Add(CRegion* region, int index = -1);
    // Moves item from to the place before item to (to ≥ count: the end).
    void Move(int from, int to);
    bool RemoveFirst(const CRegion* region);
    bool RemoveAll(const CRegion* region);
    void Clear();
    int Count() const { return static_cast<int>(m_items.size()); }
    CRegion* RegionAt(int index) const;
    const CTapeItem& ItemAt(int index) const { return m_items[static_cast<size_t>(index)]; }
    double Duration(int index) const;
    double TotalDuration() const;

    // Inserts this tape's selected regions into other at index (−1 the end); the index
    // advances past each region actually inserted (regions already there are skipped).
    void InsertSelectedInto(CTape& other, int index) const;
    // Every region of this tape is selected in other exactly when selected here; other's
    // current and anchor become ours when other holds them.
    void CopySelectionTo(CTape& other) const;
    // Every item here is selected exactly when other holds its region selected; current and
    // anchor become other's.
    void TakeSelectionFrom(const CTape& other);

    bool IsSelected(const CRegion* region) const;
    int CountSelected() const;
    CRegion* SelectedAt(int k) const;
    CRegion* FirstSelected() const { return SelectedAt(0); }
    void Select(CRegion* region);
    void Deselect(CRegion* region);
    void SelectAll();
    void DeselectAll();
    void Invert();

    // Keys: Left / Right and Up / Down.
    void Previous() { MoveBy(-1); }
    void Next() { MoveBy(1); }
    void RowUp() { MoveBy(-RowStep()); }
    void RowDown() { MoveBy(RowStep()); }

    bool ScrollForward();
    bool ScrollBack();
    bool ScrollToStart();
    bool ScrollToEnd();
    void EnsureVisible(const CRegion* region);

    // Item whose box holds the point, −1 when none (only laid-out items).
    int IndexAt(int x, int y) const;
    // Moves the anchor's region to the index under the point, as a drop of the tape onto
    // itself: before item k, swapping with its right neighbour, the end on empty space.
    void MoveAnchorToPoint(int x, int y);
    CRegion* RegionAtPoint(int x, int y) const;

    // A press: the region hit (or null) and the hit code through code.
    CRegion* Press(int x, int y, int button, bool ctrl, bool shift, int& code);
    void Release();
    // Scrollbar drag while its thumb is held; true when the position changed (then relayout).
    bool DragScrollbar(int x, int y);

    int GetKind() const { return m_kind; }
    void SetKind(int kind);
    int GetColumns() const { return m_columns; }
    void SetColumns(int columns);
    int GetTapeMinutes() const { return m_tapeMinutes; }
    void SetTapeMinutes(int minutes) { m_tapeMinutes = minutes > 0 ? minutes : 74; }
    int GetLengthMode() const { return m_lengthMode; }
    void SetLengthMode(int mode) { m_lengthMode = mode == Proportional ? Proportional : FixedCells; }
    uint32_t GetBackground() const { return m_background; }
    void SetBackground(uint32_t rgb) { m_background = rgb; }
    int GetTextHeight() const { return m_textHeight; }
    void SetTextHeight(int h) { m_textHeight = h; }
    int GetLabelHeight() const { return m_labelHeight; }
    CRegion* GetCurrent() const { return m_current; }
    void SetCurrent(CRegion* r) { m_current = r; }
    CRegion* GetAnchor() const { return m_anchor; }
    void SetAnchor(CRegion* r) { m_anchor = r; }
    CRegion* GetAuditioned() const { return m_auditioned; }
    void SetAuditioned(CRegion* r) { m_auditioned = r; }
    bool GetAudition() const { return m_audition; }
    void SetAudition(bool on) { m_audition = on; }
    int GetLastHit() const { return m_lastHit; }
    int GetFirstVisible() const { return m_firstVisible; }
    int GetLastVisible() const { return m_lastVisible; }
    bool ScrollbarDragging() const { return m_scrollbarDrag; }
    const TapeRect& Area() const { return m_area; }
    CScrollbar& Scrollbar() { return m_scrollbar; }
    const CScrollbar& Scrollbar() const { return m_scrollbar; }

private:
    void SetSelected(int index, bool on);
    void SelectSpan(int a, int b);
    int RowStep() const { return m_kind == Grid ? m_columns : 1; }
    void MoveBy(int step);
    bool InScrollbarStrip(int x, int y) const;
    int HitWithin(const CTapeItem& item, int x, int y) const;
    void LayoutStrip();
    void LayoutGrid();
    void LayoutList();
    void LayoutBars();
    void FinishLayout();

    std::vector<CTapeItem> m_items;
    TapeRect m_area;
    int m_columns = 4;
    bool m_scrollbarDrag = false;
    int m_kind;
    int m_lengthMode = FixedCells;
    int m_tapeMinutes = 74;
    int m_firstVisible = -1, m_lastVisible = -1;
    CRegion* m_current = nullptr;
    CRegion* m_anchor = nullptr;
    CRegion* m_auditioned = nullptr;
    int m_lastHit = HitNone;
    uint32_t m_background = 0xFFFFFF;
    int m_textHeight = 12;
    int m_labelHeight = 12;
    bool m_audition = false;
    CScrollbar m_scrollbar;
};
