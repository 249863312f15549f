#include "views/CTape.h"

#include <algorithm>

#include "library/CRegion.h"
#include "library/CSample.h"

namespace {
constexpr double kGolden = 0.618046971569839;
constexpr uint32_t kSelected = 1u, kLaidOut = 2u;
} // namespace

CTape::CTape(int kind) : m_kind(kind < Strip || kind > SelectionBars ? Grid : kind) {
    m_scrollbar.Configure(m_kind == Strip ? CScrollbar::Horizontal : CScrollbar::Vertical, 1, 1);
}

void CTape::SetArea(int left, int top, int right, int bottom) {
    m_area = {left, top, std::max(0, right - left + 1), std::max(0, bottom - top + 1)};
}

void CTape::SetKind(int kind) {
    if (kind < Strip || kind > SelectionBars) return;
    m_kind = kind;
}

void CTape::SetColumns(int columns) { m_columns = std::clamp(columns, 1, 8); }

int CTape::IndexOf(const CRegion* region) const {
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].region == region) return static_cast<int>(i);
    return -1;
}

bool CTape::Add(CRegion* region, int index) {
    if (!region || Contains(region)) return false;
    CTapeItem item;
    item.region = region;
    if (index < 0 || index >= Count()) {
        m_items.push_back(item);
    } else {
        m_items.insert(m_items.begin() + index, item);
    }
    return true;
}

void CTape::Move(int from, int to) {
    const int n = Count();
    if (from < 0 || from >= n) return;
    if (to < 0) to = 0;
    if (to > n) to = n;
    if (to == from || to == from + 1) return; // already before item to
    CTapeItem item = m_items[static_cast<size_t>(from)];
    m_items.erase(m_items.begin() + from);
    if (to > from) --to;
    m_items.insert(m_items.begin() + to, item);
}

bool CTape::RemoveFirst(const CRegion* region) {
    const int i = IndexOf(region);
    if (i < 0) return false;
    m_items.erase(m_items.begin() + i);
    if (m_current == region && !Contains(region)) m_current = nullptr;
    if (m_anchor == region && !Contains(region)) m_anchor = nullptr;
    if (m_auditioned == region && !Contains(region)) m_auditioned = nullptr;
    return true;
}

bool CTape::RemoveAll(const CRegion* region) {
    bool any = false;
    while (RemoveFirst(region)) any = true;
    return any;
}

void CTape::Clear() {
    m_items.clear();
    m_current = m_anchor = m_auditioned = nullptr;
    m_firstVisible = m_lastVisible = -1;
}

CRegion* CTape::RegionAt(int index) const {
    return index >= 0 && index < Count() ? m_items[static_cast<size_t>(index)].region : nullptr;
}

double CTape::Duration(int index) const {
    const CRegion* r = RegionAt(index);
    if (!r || !r->GetSample() || r->GetSample()->GetSampleRate() <= 0) return 0.0;
    return static_cast<double>(r->Length()) / r->GetSample()->GetSampleRate();
}

double CTape::TotalDuration() const {
    double sum = 0.0;
    for (int i = 0; i < Count(); ++i) sum += Duration(i);
    return sum;
}

void CTape::InsertSelectedInto(CTape& other, int index) const {
    for (const CTapeItem& item : m_items) {
        if (!item.Selected()) continue;
        if (other.Add(item.region, index) && index >= 0) ++index;
    }
}

void CTape::CopySelectionTo(CTape& other) const {
    for (CTapeItem& o : other.m_items) {
        const int i = IndexOf(o.region);
        if (i < 0) continue;
        if (m_items[static_cast<size_t>(i)].Selected()) {
            o.flags |= kSelected;
        } else {
            o.flags &= ~kSelected;
        }
    }
    if (m_current && other.Contains(m_current)) other.m_current = m_current;
    if (m_anchor && other.Contains(m_anchor)) other.m_anchor = m_anchor;
}

void CTape::TakeSelectionFrom(const CTape& other) {
    for (CTapeItem& item : m_items) {
        if (other.IsSelected(item.region)) {
            item.flags |= kSelected;
        } else {
            item.flags &= ~kSelected;
        }
    }
    m_current = other.m_current;
    m_anchor = other.m_anchor;
}

bool CTape::IsSelected(const CRegion* region) const {
    const int i = IndexOf(region);
    return i >= 0 && m_items[static_cast<size_t>(i)].Selected();
}

int CTape::CountSelected() const {
    int n = 0;
    for (const CTapeItem& item : m_items) n += item.Selected() ? 1 : 0;
    return n;
}

CRegion* CTape::SelectedAt(int k) const {
    for (const CTapeItem& item : m_items)
        if (item.Selected() && k-- == 0) return item.region;
    return nullptr;
}

void CTape::SetSelected(int index, bool on) {
    if (index < 0 || index >= Count()) return;
    CTapeItem& item = m_items[static_cast<size_t>(index)];
    if (on) {
        item.flags |= kSelected;
    } else {
        item.flags &= ~kSelected;
    }
}

void CTape::Select(CRegion* region) {
    const int i = IndexOf(region);
    if (i < 0) return;
    SetSelected(i, true);
    m_current = region;
}

void CTape::Deselect(CRegion* region) {
    const int i = IndexOf(region);
    if (i < 0) return;
    SetSelected(i, false);
    m_current = nullptr;
}

void CTape::SelectAll() {
    for (CTapeItem& item : m_items) item.flags |= kSelected;
    m_current = nullptr;
}

void CTape::DeselectAll() {
    for (CTapeItem& item : m_items) item.flags &= ~kSelected;
    m_current = nullptr;
}

void CTape::Invert() {
    for (CTapeItem& item : m_items) item.flags ^= kSelected;
    m_current = nullptr;
}

void CTape::SelectSpan(int a, int b) {
    if (a > b) std::swap(a, b);
    for (int i = 0; i < Count(); ++i) SetSelected(i, i >= a && i <= b);
}

void CTape::MoveBy(int step) {
    const int n = Count();
    if (n == 0 || step == 0) return;
    const int selected = CountSelected();
    if (selected == 0 || (selected == 1 && m_kind != SelectionBars)) {
        int from = selected == 1 ? IndexOf(FirstSelected()) : IndexOf(m_current);
        const int to = from < 0 ? 0 : std::clamp(from + step, 0, n - 1);
        if (from >= 0) SetSelected(from, false);
        SetSelected(to, true);
        m_current = m_anchor = RegionAt(to);
    } else {
        // Several selected: only the focus moves, among the selected items.
        std::vector<int> sel;
        for (int i = 0; i < n; ++i)
            if (m_items[static_cast<size_t>(i)].Selected()) sel.push_back(i);
        int at = 0;
        const int cur = IndexOf(m_current);
        for (size_t k = 0; k < sel.size(); ++k)
            if (sel[k] == cur) at = static_cast<int>(k);
        const int step1 = step > 0 ? 1 : -1;
        const int to = cur >= 0 && IsSelected(m_current) ? std::clamp(at + step1, 0, static_cast<int>(sel.size()) - 1)
                                                         : 0;
        m_current = m_anchor = RegionAt(sel[static_cast<size_t>(to)]);
    }
    Layout();
    EnsureVisible(m_current);
}

bool CTape::ScrollForward() {
    const bool moved = m_scrollbar.StepForward();
    if (moved) Layout();
    return moved;
}

bool CTape::ScrollBack() {
    const bool moved = m_scrollbar.StepBack();
    if (moved) Layout();
    return moved;
}

bool CTape::ScrollToStart() {
    const bool moved = m_scrollbar.ToStart();
    if (moved) Layout();
    return moved;
}

bool CTape::ScrollToEnd() {
    const bool moved = m_scrollbar.ToEnd();
    if (moved) Layout();
    return moved;
}

void CTape::EnsureVisible(const CRegion* region) {
    const int index = IndexOf(region);
    if (index < 0) return;
    Layout();
    // Each step moves the bar by one; a bar at its end stops the walk.
    for (int guard = 0; guard <= Count() + 1; ++guard) {
        if (m_firstVisible >= 0 && index < m_firstVisible) {
            if (!ScrollBack()) return;
            continue;
        }
        int last = m_lastVisible;
        if (m_kind == Grid && last >= 0) last = last / m_columns * m_columns; // first of the last row
        if (m_kind == SelectionBars || m_lastVisible < 0 || index < last) return;
        if (last == m_firstVisible || !ScrollForward()) return;
    }
}

bool CTape::InScrollbarStrip(int x, int y) const {
    if (!m_area.Contains(x, y)) return false;
    if (m_kind == Strip) return y >= m_area.Bottom() - kScrollbarThickness;
    return x >= m_area.Right() - kScrollbarThickness;
}

int CTape::IndexAt(int x, int y) const {
    if (!m_area.Contains(x, y)) return -1;
    for (size_t i = 0; i < m_items.size(); ++i) {
        const CTapeItem& item = m_items[i];
        if (item.LaidOut() && item.box.StrictlyContains(x, y)) return static_cast<int>(i);
    }
    return -1;
}

CRegion* CTape::RegionAtPoint(int x, int y) const { return RegionAt(IndexAt(x, y)); }

void CTape::MoveAnchorToPoint(int x, int y) {
    const int from = IndexOf(m_anchor);
    if (from < 0) return;
    const int k = IndexAt(x, y);
    if (k < 0) {
        Move(from, Count());
    } else if (k == from + 1) {
        Move(k, from); // the right neighbour: the two change places
    } else {
        Move(from, k);
    }
}

int CTape::HitWithin(const CTapeItem& item, int x, int y) const {
    if (item.label2.StrictlyContains(x, y)) return HitSecondLabel;
    if (item.label.StrictlyContains(x, y)) return HitLabel;
    if (item.thumb.StrictlyContains(x, y)) return HitThumbnail;
    return HitBox;
}

CRegion* CTape::Press(int x, int y, int button, bool ctrl, bool shift, int& code) {
    if (InScrollbarStrip(x, y)) {
        if (button != LeftButton) {
            code = HitNone;
            return nullptr;
        }
        code = m_scrollbar.Press(x, y);
        m_scrollbarDrag = code == HitThumb;
        m_lastHit = code;
        return nullptr;
    }
    const int index = IndexAt(x, y);
    if (index < 0) {
        code = HitEmpty;
        if (button == LeftButton) {
            m_current = m_anchor = nullptr;
            m_lastHit = code;
        }
        return nullptr;
    }
    CTapeItem& item = m_items[static_cast<size_t>(index)];
    CRegion* region = item.region;
    code = HitWithin(item, x, y);
    if (button != LeftButton) {
        if (code == HitLabel || code == HitSecondLabel) {
            int plain = 0;
            Press(x, y, LeftButton, false, false, plain);
            code = plain == HitClose ? code : plain;
            m_current = m_anchor = region;
        }
        m_lastHit = code;
        return region;
    }
    const bool wasSelected = item.Selected();
    bool span = false;
    const int anchorIndex = IndexOf(m_anchor);
    const bool spanOk = shift && m_current && m_current == m_anchor && anchorIndex >= 0 && m_kind != SelectionBars;
    if (wasSelected) {
        const TapeRect& t = item.thumb;
        const bool corner = x >= t.Right() - 13 && x < t.Right() && y >= t.top && y < t.top + 13;
        if (m_kind != List && corner) {
            code = HitClose;
            m_current = region;
        } else if (ctrl) {
            SetSelected(index, false);
            m_current = nullptr;
        } else if (spanOk) {
            SelectSpan(index, anchorIndex);
            span = true;
        } else {
            m_current = region;
        }
        m_anchor = region;
    } else if (spanOk) {
        SelectSpan(index, anchorIndex);
        span = true;
        m_anchor = region;
    } else {
        SetSelected(index, true);
        m_current = m_anchor = region;
    }
    if (!span && !ctrl && m_kind != SelectionBars && !wasSelected)
        for (int i = 0; i < Count(); ++i)
            if (i != index) SetSelected(i, false);
    m_lastHit = code;
    return region;
}

void CTape::Release() {
    m_scrollbar.Release();
    m_scrollbarDrag = false;
}

bool CTape::DragScrollbar(int x, int y) {
    if (!m_scrollbarDrag) return false;
    const bool moved = m_scrollbar.Drag(x, y);
    if (moved) Layout();
    return moved;
}

// ---- Layout -----------------------------------------------------------------------------

void CTape::Layout() {
    for (CTapeItem& item : m_items) item.flags &= ~kLaidOut;
    m_firstVisible = m_lastVisible = -1;
    switch (m_kind) {
    case Strip: LayoutStrip(); break;
    case Grid: LayoutGrid(); break;
    case List: LayoutList(); break;
    default: LayoutBars(); break;
    }
    FinishLayout();
}

void CTape::FinishLayout() {
    for (int i = 0; i < Count(); ++i) {
        if (!m_items[static_cast<size_t>(i)].LaidOut()) continue;
        if (m_firstVisible < 0) m_firstVisible = i;
        m_lastVisible = i;
    }
}

void CTape::LayoutStrip() {
    const int W = m_area.width, H = m_area.height, s = kScrollbarThickness, n = Count();
    m_labelHeight = m_textHeight;
    const int L = m_area.left, T = m_area.top;
    m_scrollbar.SetRect(L, T + H - s, L + W - 1, T + H - 1);
    const int boxH = std::max(0, H - s);
    const int label = m_labelHeight;
    if (m_lengthMode == Proportional) {
        m_scrollbar.Configure(CScrollbar::Horizontal, 1, 1);
        const double perSecond = static_cast<double>(W) / (m_tapeMinutes * 60.0);
        int x = L;
        for (int i = 0; i < n; ++i) {
            CTapeItem& item = m_items[static_cast<size_t>(i)];
            const int w = static_cast<int>(Duration(i) * perSecond);
            item.box = {x, T, w, boxH};
            item.thumb = {x, T, w, boxH};
            item.label = {x, T + boxH - label, w, label};
            item.label2 = {x + 4, T + boxH - label, std::max(0, w - 44), label};
            item.flags |= kLaidOut;
            x += w;
        }
        return;
    }
    const int e = W / 100 + 1;
    m_scrollbar.Configure(CScrollbar::Horizontal, e, n + 1);
    int first = 0;
    if (e < n + 1) first = std::clamp(m_scrollbar.GetPosition(), 0, std::max(0, n - e));
    for (int i = first; i < n && i < first + e; ++i) {
        CTapeItem& item = m_items[static_cast<size_t>(i)];
        const int x = L + (i - first) * 100;
        item.box = {x, T, 99, boxH};
        item.thumb = {x, T, 99, std::max(0, boxH - label - 2)};
        item.label = {x, T + boxH - label, 99, label};
        item.label2 = {x + 4, T + boxH - label, 55, label};
        item.flags |= kLaidOut;
    }
}

void CTape::LayoutGrid() {
    const int W = m_area.width, H = m_area.height, s = kScrollbarThickness, n = Count();
    const int L = m_area.left, T = m_area.top, c = m_columns;
    m_scrollbar.SetRect(L + W - s, T, L + W - 1, T + H - 1);
    m_labelHeight = std::max(6, m_textHeight - c + 4);
    const int inner = std::max(0, W - s);
    const int e = inner / c;
    const int wider = inner - e * c;
    const int f = std::max(1, c == 1 ? H : static_cast<int>(e * kGolden));
    const int rows = n / c + 1 + (n % c != 0 ? 1 : 0);
    const int page = std::max(1, H / f);
    m_scrollbar.Configure(CScrollbar::Vertical, page, rows);
    const int firstRow = m_scrollbar.GetPosition();
    const int shownRows = (H + f - 1) / f;
    for (int i = firstRow * c; i < n && i < (firstRow + shownRows) * c; ++i) {
        CTapeItem& item = m_items[static_cast<size_t>(i)];
        const int col = i % c, row = i / c - firstRow;
        const int x = L + col * e + std::min(col, wider);
        const int w = e + (col < wider ? 1 : 0);
        const int y = T + row * f;
        item.box = {x, y, w, f};
        item.thumb = {x + 6, y + 6, std::max(0, w - 12), std::max(0, f - m_labelHeight - 12)};
        item.label = {x + 4, y + f - 5 - m_labelHeight, std::max(0, w - 8), m_labelHeight};
        item.label2 = {x + 4, item.label.top, std::max(0, w - 8 - 40), m_labelHeight};
        item.flags |= kLaidOut;
    }
}

void CTape::LayoutList() {
    const int W = m_area.width, H = m_area.height, s = kScrollbarThickness, n = Count();
    const int L = m_area.left, T = m_area.top, t = m_textHeight;
    m_labelHeight = t;
    m_scrollbar.SetRect(L + W - s, T, L + W - 1, T + H - 1);
    const int f = std::min(std::max(H / (n + 1), 4 * t + 8), 200);
    m_scrollbar.Configure(CScrollbar::Vertical, std::max(1, H / f), n + 1);
    double longest = 0.1;
    for (int i = 0; i < n; ++i) longest = std::max(longest, Duration(i));
    const int first = m_scrollbar.GetPosition();
    const int shown = (H + f - 1) / f;
    for (int i = first; i < n && i < first + shown; ++i) {
        CTapeItem& item = m_items[static_cast<size_t>(i)];
        const int y = T + (i - first) * f;
        item.box = {L, y, std::max(0, W - s), f};
        const int w = std::max(static_cast<int>(Duration(i) * (W - s - 408) / longest), 20) - 8;
        item.thumb = {L + 404, y + 4, w, std::max(0, f - 16)};
        item.label = {L, y, 404, f};
        item.label2 = {L + 34, y, 404 - 34, t + 1};
        item.flags |= kLaidOut;
    }
}

void CTape::LayoutBars() {
    const int W = m_area.width, H = m_area.height, s = kScrollbarThickness;
    const int L = m_area.left, T = m_area.top;
    m_labelHeight = m_textHeight;
    m_scrollbar.SetRect(L + W - s, T, L + W - 1, T + H - 1);
    const int selected = CountSelected();
    const int e = std::clamp(H / (selected + 1), 50, 200);
    m_scrollbar.Configure(CScrollbar::Vertical, std::max(1, H / e), selected + 1);
    double longest = 0.0;
    for (int i = 0; i < Count(); ++i)
        if (m_items[static_cast<size_t>(i)].Selected()) longest = std::max(longest, Duration(i));
    if (longest <= 0.0) longest = 0.1;
    const int first = m_scrollbar.GetPosition();
    const int shown = (H + e - 1) / e;
    int k = 0;
    for (int i = 0; i < Count(); ++i) {
        CTapeItem& item = m_items[static_cast<size_t>(i)];
        if (!item.Selected()) continue;
        const int row = k++ - first;
        if (row < 0 || row >= shown) continue;
        const int y = T + row * e;
        item.box = {L, y, std::max(0, W - s), e};
        const int w = std::max(static_cast<int>(Duration(i) * (W - s) / longest), 20) - 8;
        item.thumb = {L + 4, y + 4, w, std::max(0, e - m_labelHeight - 12)};
        item.label = {L, y + e - m_labelHeight - 1, std::max(0, W - s), m_labelHeight};
        item.label2 = {L + 4, item.label.top, std::max(0, W - s - 48), m_labelHeight};
        item.flags |= kLaidOut;
    }
}
