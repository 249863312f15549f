// The wave viewer's view window and pointer: zoom and scroll, the zoom slider, the graph's and
// the navigator's mouse. The cursor, range, fade and marker commands are in
// CWaveViewerCommands.cpp.

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "library/CMarker.h"
#include "library/CRegion.h"
#include "views/CWaveViewer.h"
#include "views/WaveViewerPlayback.h"

namespace {

// The graph's ruler bands: the upper one starts range edits, the lower one holds the markers.
constexpr int kUpperBandBottom = 15;
constexpr int kMarkerBandBottom = 31;
// The zoom slider's thumb covers this much of its 0..100 travel.
constexpr int kSliderPage = 10;
constexpr int kSliderRest = 50;
// A window this close to the whole region counts as zoomed out.
constexpr int64_t kWholeSlack = 10;

bool Near(int x, int column, int distance) { return std::abs(x - column) <= distance; }

// A window of len frames starting at s, moved into 0..l without changing its length (the whole
// region when len does not fit).
void KeepInside(int64_t& s, int64_t& e, int64_t len, int64_t l) {
    if (len >= l) {
        s = 0;
        e = l;
        return;
    }
    s = std::clamp<int64_t>(s, 0, l - len);
    e = s + len;
}

} // namespace

// ---- window ----

bool CWaveViewer::MoveWindow(int64_t start, int64_t end) {
    const int64_t l = m_regionEnd;
    start = std::clamp<int64_t>(start, 0, l);
    end = std::clamp<int64_t>(end, 0, l);
    if (end <= start || (start == m_viewStart && end == m_viewEnd)) return false;
    m_viewStart = static_cast<int32_t>(start);
    m_viewEnd = static_cast<int32_t>(end);
    m_cursorX = X(m_cursor);
    return true;
}

bool CWaveViewer::ApplyWindow(int64_t start, int64_t end) {
    if (!MoveWindow(start, end)) return false;
    RedrawLast();
    return true;
}

bool CWaveViewer::CentreWindow(int64_t p) {
    const int64_t s = m_viewStart, e = m_viewEnd, l = m_regionEnd, len = e - s, half = len / 2;
    if (p - half < 0) return MoveWindow(0, len);
    if (p + half > l) return MoveWindow(l - len, l);
    return MoveWindow(p - half, p + half);
}

bool CWaveViewer::CentreOn(int64_t p) {
    if (m_current == nullptr || !CentreWindow(p)) return false;
    RedrawLast();
    return true;
}

void CWaveViewer::SaveWindow() {
    m_savedStart = m_viewStart;
    m_savedEnd = m_viewEnd;
}

bool CWaveViewer::ZoomIn() {
    if (m_current == nullptr) return false;
    const int64_t s = m_viewStart, e = m_viewEnd, l = m_regionEnd, cur = m_cursor;
    if (e - s <= kMinZoomWindow) return false;
    // The zoom leans toward the cursor when it is in view, and lands on it when close.
    int64_t c = s + (e - s) / 2;
    if (cur >= s && cur <= e) {
        c = static_cast<int64_t>(std::trunc(static_cast<double>(cur) + 0.8 * static_cast<double>(c - cur)));
        if (std::llabs(c - cur) < 100) c = cur;
    }
    const int64_t len = std::max<int64_t>((e - s) - (e - s) * 2 / 16, kMinZoomWindow);
    int64_t ns = c - len / 2, ne = c + len / 2;
    if (ns < 0) {
        ns = 0;
        ne = len & ~int64_t(1);
    }
    if (ne > l) {
        ns -= ne - l;
        ne = l;
    }
    return ApplyWindow(ns, ne);
}

bool CWaveViewer::ZoomOut() {
    if (m_current == nullptr) return false;
    const int64_t s = m_viewStart, e = m_viewEnd, l = m_regionEnd;
    if (s == 0 && e == l) return false;
    // A window under 16 frames (only a stored one can be) still widens.
    const int64_t d = std::max<int64_t>((e - s) / 16, 1);
    return ApplyWindow(std::max<int64_t>(s - d, 0), std::min<int64_t>(e + d, l));
}

bool CWaveViewer::ZoomReset() { return m_current != nullptr && ApplyWindow(0, m_regionEnd); }

bool CWaveViewer::ScrollLeft() {
    if (m_current == nullptr || m_viewStart == 0) return false;
    const int64_t s = m_viewStart, e = m_viewEnd, d = std::max<int64_t>((e - s) / 64, 1);
    if (s < d) return ApplyWindow(0, e - s);
    return ApplyWindow(s - d, e - d);
}

bool CWaveViewer::ScrollRight() {
    if (m_current == nullptr || m_viewEnd == m_regionEnd) return false;
    const int64_t s = m_viewStart, e = m_viewEnd, l = m_regionEnd, d = std::max<int64_t>((e - s) / 64, 1);
    if (l - e < d) return ApplyWindow(l - (e - s), l);
    return ApplyWindow(s + d, e + d);
}

bool CWaveViewer::ZoomToStart() { return m_current != nullptr && ApplyWindow(0, m_viewEnd - m_viewStart); }

bool CWaveViewer::ZoomToEnd() {
    return m_current != nullptr && ApplyWindow(m_regionEnd - (m_viewEnd - m_viewStart), m_regionEnd);
}

bool CWaveViewer::ZoomToRangeStart() {
    if (m_current == nullptr || !m_rangeOn) return false;
    const int64_t rs = std::min(m_rangeStart, m_rangeEnd);
    return ApplyWindow(rs - kMinZoomWindow, rs + kMinZoomWindow);
}

bool CWaveViewer::ZoomToRangeEnd() {
    if (m_current == nullptr || !m_rangeOn) return false;
    const int64_t re = std::max(m_rangeStart, m_rangeEnd);
    return ApplyWindow(re - kMinZoomWindow, re + kMinZoomWindow);
}

bool CWaveViewer::ZoomToRange() {
    if (m_current == nullptr || !m_rangeOn) return false;
    const int64_t rs = std::min(m_rangeStart, m_rangeEnd), re = std::max(m_rangeStart, m_rangeEnd);
    int64_t d = re - rs;
    if (2 * d < 199999) d = 100000;
    return ApplyWindow(rs - d / 2, re + d / 2);
}

bool CWaveViewer::ZoomToFadeIn() {
    if (m_current == nullptr) return false;
    const int64_t e = std::max<int64_t>(2 * static_cast<int64_t>(m_current->GetFadeInLength()), kMinZoomWindow);
    return ApplyWindow(0, std::min<int64_t>(e, m_regionEnd));
}

bool CWaveViewer::ZoomToFadeOut() {
    if (m_current == nullptr) return false;
    const int64_t len = std::max<int64_t>(2 * static_cast<int64_t>(m_current->GetFadeOutLength()), kMinZoomWindow);
    return ApplyWindow(std::max<int64_t>(m_regionEnd - len, 0), m_regionEnd);
}

bool CWaveViewer::ZoomToCursor() {
    if (m_current == nullptr) return false;
    const int64_t l = m_regionEnd, half = kMinZoomWindow / 2;
    int64_t s = m_cursor - half, e = m_cursor + half;
    if (s < 0) {
        s = 0;
        e = kMinZoomWindow;
    }
    if (e > l) {
        e = l;
        s = std::max<int64_t>(l - kMinZoomWindow, 0);
    }
    return ApplyWindow(s, e);
}

bool CWaveViewer::Wheel(bool forward) {
    if (Playing()) return false;
    return forward ? ZoomIn() : ZoomOut();
}

bool CWaveViewer::ZoomSlider(int v) {
    if (m_current == nullptr) return false;
    v = std::clamp(v, -100, 100);
    const int64_t l = m_regionEnd;
    int64_t s0 = std::clamp<int64_t>(m_savedStart, 0, l), e0 = std::clamp<int64_t>(m_savedEnd, 0, l);
    if (e0 <= s0) {
        s0 = m_viewStart;
        e0 = m_viewEnd;
    }
    const int64_t len0 = e0 - s0, c0 = s0 + len0 / 2;
    // The further the slider is from its rest, the closer the centre comes to the cursor.
    const int64_t c = c0 + std::abs(v) * (static_cast<int64_t>(m_cursor) - c0) / 100;
    int64_t len = v >= 0 ? (len0 * (100 - v) + v * int64_t(kMinZoomWindow)) / 100 : (len0 * (v + 100) + (-v) * l) / 100;
    len = std::max<int64_t>(len, kMinZoomWindow);
    int64_t s = c - len / 2, e = 0;
    KeepInside(s, e, len, l);
    return ApplyWindow(s, e);
}

bool CWaveViewer::FollowPlayPosition(int64_t p, bool centred) {
    if (m_current == nullptr) return false;
    const int64_t s = m_viewStart, e = m_viewEnd, l = m_regionEnd, len = e - s;
    if (centred) {
        int64_t ns = p - len / 2, ne = 0;
        KeepInside(ns, ne, len, l);
        return ApplyWindow(ns, ne);
    }
    if (p < s) return ApplyWindow(p, p + len);
    if (p > e) return p + len > l ? ApplyWindow(l - len, l) : ApplyWindow(p, p + len);
    return false;
}

// ---- zoom slider ----

void CWaveViewer::LayoutZoomSlider(int barWidth) {
    m_zoomSlider.SetRect(barWidth - 100, 10, barWidth - 10, 22);
    m_zoomSlider.Configure(CScrollbar::Horizontal, kSliderPage, 100 + kSliderPage);
    if (!m_zoomSliderHeld) m_zoomSlider.SetPosition(kSliderRest);
}

bool CWaveViewer::ZoomSliderPress(int x, int y) {
    const int before = m_zoomSlider.GetPosition();
    if (m_zoomSlider.Press(x, y) == CScrollbar::None) return false;
    m_zoomSliderHeld = true;
    SaveWindow();
    if (m_zoomSlider.GetPosition() != before) ZoomSlider(2 * m_zoomSlider.GetPosition() - 100);
    return true;
}

bool CWaveViewer::ZoomSliderMove(int x, int y) {
    if (!m_zoomSliderHeld) return false;
    if (m_zoomSlider.Drag(x, y)) ZoomSlider(2 * m_zoomSlider.GetPosition() - 100);
    return true;
}

bool CWaveViewer::ZoomSliderRelease() {
    if (!m_zoomSliderHeld) return false;
    m_zoomSliderHeld = false;
    m_zoomSlider.Release();
    m_zoomSlider.SetPosition(kSliderRest);
    return true;
}

// ---- graph mouse ----

int CWaveViewer::ClampColumn(int x) const {
    const int lo = std::min(1, m_graphWidth - 1);
    return std::clamp(x, lo, std::max(lo, m_graphWidth - 2));
}

void CWaveViewer::ResetInteraction() {
    m_graphDrag = false;
    m_navDrag = false;
    m_graphDragMode = DragNone;
    m_navDragMode = NavNone;
    m_grabbedEdge = EdgeNew;
    m_grabbedMarker = nullptr;
    if (m_zoomSliderHeld) ZoomSliderRelease();
}

bool CWaveViewer::GrabbedMarkerListed() const {
    return m_grabbedMarker != nullptr && m_current != nullptr && m_current->Markers().IndexOf(m_grabbedMarker) >= 0;
}

void CWaveViewer::BeginRangeEdit(int x) {
    const int xs = X(m_rangeStart), xe = X(m_rangeEnd);
    int column = x;
    if (Near(x, xs, kGrabColumns)) {
        m_grabbedEdge = EdgeStart;
        m_grabOffset = x - xs;
        m_rangeAnchor = m_rangeEnd;
        column = xs;
    } else if (!Near(x, xe, kGrabColumns)) {
        m_grabbedEdge = EdgeNew;
        m_grabOffset = 0;
        const auto p = static_cast<int32_t>(Pos(x));
        m_rangeStart = m_rangeEnd = m_rangeAnchor = p;
    } else {
        m_grabbedEdge = EdgeEnd;
        m_grabOffset = x - xe;
        m_rangeAnchor = m_rangeStart;
        column = xe;
    }
    m_dragOriginX = column;
    m_cursor = static_cast<int32_t>(Pos(column));
    m_cursorX = X(m_cursor);
    m_rangeOn = true;
}

void CWaveViewer::GraphPress(int x, int y, bool shift, bool alt) {
    m_graphDrag = true;
    m_pressX = x;
    m_grabbedMarker = nullptr;
    if (m_current == nullptr) {
        m_graphDragMode = DragNone;
        return;
    }
    bool changed = false;
    if (y <= kUpperBandBottom) {
        m_graphDragMode = DragRange;
        BeginRangeEdit(x);
        changed = true;
    } else if (y > kMarkerBandBottom) {
        if (shift || (m_rangeOn && (Near(x, X(m_rangeStart), kGrabColumns) || Near(x, X(m_rangeEnd), kGrabColumns)))) {
            m_graphDragMode = DragRange;
            BeginRangeEdit(x);
            changed = true;
        } else {
            m_graphDragMode = DragCursor;
            if (x != m_cursorX) {
                m_cursor = static_cast<int32_t>(Pos(x));
                m_cursorX = X(m_cursor);
                changed = true;
            }
        }
    } else {
        m_graphDragMode = DragMarker;
        if (shift) {
            RangeBetweenMarkers(x);
        } else if (alt) {
            DeleteMarkerNear(x);
        } else if (CMarker* mk = MarkerNear(x)) {
            m_grabbedMarker = mk;
            m_grabbedOldPosition = mk->GetPosition();
            m_dragOriginX = X(mk->GetPosition());
            m_grabOffset = x - m_dragOriginX;
        }
    }
    if (m_graphDragMode == DragCursor && Playing()) {
        m_playback->Stop();
        PlayFrom(m_cursor, m_regionEnd);
    }
    if (changed) RedrawLast();
}

CWaveViewer::Pointer CWaveViewer::GraphMove(int x, bool rightHeld) {
    if (!m_graphDrag) {
        if (m_current != nullptr && m_rangeOn &&
            (Near(x, X(m_rangeStart), kGrabColumns) || Near(x, X(m_rangeEnd), kGrabColumns)))
            return Pointer::ResizeHorizontal;
        return Pointer::Default;
    }
    if (m_current == nullptr) return Pointer::Unchanged;
    if (x != m_cursorX && rightHeld) {
        // Scrubbing: half a second from under the pointer.
        StopIfPlaying();
        const int64_t p = Pos(x);
        PlayFrom(p, p + m_rate / 2);
    }
    bool changed = false;
    switch (m_graphDragMode) {
    case DragCursor: {
        const auto p = static_cast<int32_t>(Pos(ClampColumn(x)));
        if (p != m_cursor) {
            SetCursor(p);
            changed = true;
        }
        break;
    }
    case DragRange: {
        const int d = x - m_grabOffset;
        if (d == m_dragOriginX) break;
        m_dragOriginX = d;
        const auto p = static_cast<int32_t>(Pos(d));
        m_rangeStart = std::min(p, m_rangeAnchor);
        m_rangeEnd = std::max(p, m_rangeAnchor);
        SetCursor(p);
        changed = true;
        break;
    }
    case DragMarker: {
        const int d = x - m_grabOffset;
        if (d == m_dragOriginX || !GrabbedMarkerListed()) break;
        m_dragOriginX = d;
        // Not re-sorted until the release: the marker keeps its place in the list meanwhile.
        m_grabbedMarker->SetPosition(Pos(d));
        changed = true;
        break;
    }
    default: break;
    }
    if (changed) RedrawLast();
    return Pointer::Unchanged;
}

CWaveViewer::GraphReleaseResult CWaveViewer::GraphRelease(int x) {
    GraphReleaseResult result;
    if (!m_graphDrag) return result;
    m_graphDrag = false;
    const int mode = m_graphDragMode;
    m_graphDragMode = DragNone;
    if (m_current == nullptr) return result;
    switch (mode) {
    case DragCursor:
        SetCursor(static_cast<int32_t>(Pos(ClampColumn(x))));
        RedrawLast();
        break;
    case DragRange: {
        const int column = ClampColumn(x - m_grabOffset);
        const int32_t s = std::min(m_rangeStart, m_rangeEnd), e = std::max(m_rangeStart, m_rangeEnd);
        const bool on = static_cast<int64_t>(e) - s >= kMinDragRange;
        SetCursor(static_cast<int32_t>(Pos(column)));
        CommitRange(on, s, e, true);
        RedrawLast();
        result.rangeDragEnded = true;
        result.rangeActive = on;
        result.stopPlayback = !on;
        break;
    }
    case DragMarker:
        if (GrabbedMarkerListed()) {
            if (x == m_pressX) {
                // A click on a marker: the marker stays, the cursor goes to it.
                m_current->MoveMarker(m_grabbedMarker, m_grabbedOldPosition);
                SetCursor(static_cast<int32_t>(std::clamp<int64_t>(m_grabbedOldPosition, 0, m_regionEnd)));
            } else {
                m_current->MoveMarker(m_grabbedMarker, m_grabbedMarker->GetPosition());
            }
            RedrawLast();
        }
        m_grabbedMarker = nullptr;
        break;
    default: break;
    }
    return result;
}

void CWaveViewer::GraphRightPress() {
    if (m_current == nullptr) return;
    StopIfPlaying();
    const int32_t rs = std::min(m_rangeStart, m_rangeEnd), re = std::max(m_rangeStart, m_rangeEnd);
    const bool inRange = m_rangeOn && rs <= m_cursor && m_cursor < re;
    PlayFrom(m_cursor, inRange ? re : m_regionEnd);
}

void CWaveViewer::GraphRightRelease() { StopIfPlaying(); }

void CWaveViewer::GraphMiddlePress() {
    if (m_playback != nullptr) m_playback->SetCompareHold(true);
}

void CWaveViewer::GraphMiddleRelease() {
    if (m_playback != nullptr) m_playback->SetCompareHold(false);
}

void CWaveViewer::GraphDoubleClick() {
    SaveViewWindow();
    if (!Playing()) return;
    m_playback->Stop();
    RemoveRegion();
    RedrawLast();
}

// ---- navigator mouse ----

void CWaveViewer::NavigatorPress(int x, int y) {
    m_navDrag = true;
    if (m_current == nullptr) {
        m_navDragMode = NavNone;
        return;
    }
    const int64_t s = m_viewStart, e = m_viewEnd, l = m_regionEnd, p = NavPos(x);
    const int a = NavX(s), b = NavX(e);
    // Zoomed out, the window covers the whole navigator: a press there would only grab it.
    // It looks closer instead, as a press outside a zoomed-in window does.
    const bool zoomedOut = s <= kWholeSlack && e >= l - kWholeSlack && l > kNavigatorJump;
    if (Near(x, a, kGrabColumns)) {
        m_navDragMode = NavLeftEdge;
        m_navGrabOffset = x - a;
    } else if (Near(x, b, kGrabColumns)) {
        m_navDragMode = NavRightEdge;
        m_navGrabOffset = x - b;
    } else if (!zoomedOut && s < p && p < e) {
        m_navDragMode = NavWindow;
        m_navGrabOffset = (a + b) / 2 - x;
    } else {
        m_navDragMode = NavJump;
        SaveWindow();
        bool moved = false;
        if (zoomedOut) {
            int64_t js = p - kNavigatorJump / 2, je = 0;
            KeepInside(js, je, kNavigatorJump, l);
            moved = MoveWindow(js, je);
        }
        moved = CentreWindow(p) || moved;
        if (moved) RedrawLast();
    }
}

CWaveViewer::Pointer CWaveViewer::NavigatorMove(int x) {
    if (!m_navDrag) {
        if (m_current == nullptr) return Pointer::Default;
        if (Near(x, NavX(m_viewStart), kGrabColumns) || Near(x, NavX(m_viewEnd), kGrabColumns))
            return Pointer::ResizeHorizontal;
        return Pointer::Hand;
    }
    if (m_current == nullptr) return Pointer::Unchanged;
    switch (m_navDragMode) {
    case NavLeftEdge: {
        const int64_t s = std::max<int64_t>(std::min<int64_t>(NavPos(x - m_navGrabOffset), m_viewEnd - kMinZoomWindow),
                                            0);
        ApplyWindow(s, m_viewEnd);
        break;
    }
    case NavRightEdge: {
        const int64_t e = std::min<int64_t>(std::max<int64_t>(NavPos(x - m_navGrabOffset),
                                                              m_viewStart + kMinZoomWindow),
                                            m_regionEnd);
        ApplyWindow(m_viewStart, e);
        break;
    }
    case NavWindow: CentreOn(NavPos(x + m_navGrabOffset)); break;
    case NavJump: CentreOn(NavPos(x)); break;
    default: break;
    }
    return Pointer::Unchanged;
}

void CWaveViewer::NavigatorRelease() {
    if (!m_navDrag) return;
    m_navDrag = false;
    const int mode = m_navDragMode;
    m_navDragMode = NavNone;
    // A jump only looks at a place while the button is held.
    if (mode == NavJump && m_current != nullptr) ApplyWindow(m_savedStart, m_savedEnd);
}

void CWaveViewer::NavigatorRightPress(int x) {
    if (m_current == nullptr) return;
    StopIfPlaying();
    PlayFrom(NavPos(x), m_regionEnd);
}

void CWaveViewer::NavigatorRightRelease() { StopIfPlaying(); }
