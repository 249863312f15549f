// The wave viewer's cursor, range, fade and marker commands (keys, menus, context menu). The
// range and fade commands are the region editing commands of edit mode: the window's menus
// and keys reach them here and nowhere else.

#include <algorithm>

#include "library/CMarker.h"
#include "library/CRegion.h"
#include "views/CWaveViewer.h"
#include "views/WaveViewerPlayback.h"

// ---- playback ----

bool CWaveViewer::Playing() const { return m_playback != nullptr && m_playback->IsPlaying(); }

void CWaveViewer::StopIfPlaying() {
    if (Playing()) m_playback->Stop();
}

void CWaveViewer::PlayFrom(int64_t from, int64_t to) {
    if (m_playback == nullptr || m_current == nullptr) return;
    from = std::clamp<int64_t>(from, 0, m_regionEnd);
    to = std::clamp<int64_t>(to, from, m_regionEnd);
    m_playback->Play(*m_current, static_cast<int32_t>(from), static_cast<int32_t>(to));
}

int32_t CWaveViewer::CursorValue() const {
    if (!Playing()) return m_cursor;
    return std::clamp(m_playback->PlayPosition(), 0, m_regionEnd);
}

// ---- cursor ----

void CWaveViewer::MoveCursorBy(int columns) {
    if (m_current == nullptr || columns == 0) return;
    if (m_cursor < m_viewStart || m_cursor > m_viewEnd) CentreWindow(m_cursor);
    const int64_t c = m_cursor;
    const int target = X(c) + columns;
    int64_t p = Pos(target);
    // Zoomed in below a frame per column, neighbouring columns show the same frame; the key
    // still moves the cursor. At the window's edge the window moves instead (below).
    if (target >= 0 && target < m_graphWidth && p == c) p = columns < 0 ? c - 1 : c + 1;
    p = std::clamp<int64_t>(p, 0, m_regionEnd);
    m_cursor = static_cast<int32_t>(p);
    if (!(p > m_viewStart && p < m_viewEnd)) CentreWindow(p);
    m_cursorX = X(m_cursor);
    if (Playing()) {
        m_playback->Stop();
        PlayFrom(m_cursor, m_regionEnd);
    }
    RedrawLast();
}

void CWaveViewer::CursorToPreviousStop() {
    if (m_current == nullptr) return;
    const int64_t c = m_cursor;
    int64_t stop = 0;
    if (m_rangeOn) {
        if (m_rangeStart < c) stop = std::max<int64_t>(stop, m_rangeStart);
        if (m_rangeEnd < c) stop = std::max<int64_t>(stop, m_rangeEnd);
    }
    const CMarkersList& list = m_current->Markers();
    for (int i = 0; i < list.Count(); ++i)
        if (const CMarker* mk = list.At(i); mk != nullptr && mk->GetPosition() < c)
            stop = std::max(stop, mk->GetPosition());
    JumpToStop(stop);
}

void CWaveViewer::CursorToNextStop() {
    if (m_current == nullptr) return;
    const int64_t c = m_cursor;
    int64_t stop = m_regionEnd;
    if (m_rangeOn) {
        if (m_rangeStart > c) stop = std::min<int64_t>(stop, m_rangeStart);
        if (m_rangeEnd > c) stop = std::min<int64_t>(stop, m_rangeEnd);
    }
    const CMarkersList& list = m_current->Markers();
    for (int i = 0; i < list.Count(); ++i)
        if (const CMarker* mk = list.At(i); mk != nullptr && mk->GetPosition() > c)
            stop = std::min(stop, mk->GetPosition());
    JumpToStop(stop);
}

void CWaveViewer::JumpToStop(int64_t stop) {
    m_cursor = static_cast<int32_t>(std::clamp<int64_t>(stop, 0, m_regionEnd));
    CentreWindow(m_cursor);
    m_cursorX = X(m_cursor);
    if (Playing()) {
        m_playback->Stop();
        PlayFrom(m_cursor, m_regionEnd);
    }
    RedrawLast();
}

void CWaveViewer::CursorToStart() {
    if (m_current == nullptr) return;
    m_cursor = 0;
    MoveWindow(0, m_viewEnd - m_viewStart);
    m_cursorX = X(m_cursor);
    RedrawLast();
}

void CWaveViewer::CursorToEnd() {
    if (m_current == nullptr) return;
    m_cursor = m_regionEnd;
    MoveWindow(m_regionEnd - (m_viewEnd - m_viewStart), m_regionEnd);
    m_cursorX = X(m_cursor);
    RedrawLast();
}

void CWaveViewer::CursorTo(int64_t p) {
    if (m_current == nullptr) return;
    m_cursor = static_cast<int32_t>(std::clamp<int64_t>(p, 0, m_regionEnd));
    if (m_cursor < m_viewStart || m_cursor > m_viewEnd) CentreWindow(m_cursor);
    m_cursorX = X(m_cursor);
    RedrawLast();
}

// ---- ranges ----

void CWaveViewer::CommitRange(bool on, int32_t start, int32_t end, bool history) {
    m_rangeOn = on;
    m_rangeStart = start;
    m_rangeEnd = end;
    if (m_current == nullptr) return;
    m_current->SetRange(on, start, end);
    if (history) m_current->AddToHistory(on, start, end);
}

void CWaveViewer::CommandRange(int64_t start, int64_t end) {
    start = std::clamp<int64_t>(start, 0, m_regionEnd);
    end = std::clamp<int64_t>(end, 0, m_regionEnd);
    CommitRange(end - start >= kMinCommandRange, static_cast<int32_t>(start), static_cast<int32_t>(end), true);
    RedrawLast();
}

void CWaveViewer::RangeStartAtCursor() {
    if (m_current == nullptr) return;
    const int64_t start = CursorValue();
    int64_t end = m_rangeEnd;
    if (!m_rangeOn || start >= end) end = m_regionEnd;
    CommandRange(start, end);
}

void CWaveViewer::RangeEndAtCursor() {
    if (m_current == nullptr) return;
    const int64_t end = CursorValue();
    int64_t start = m_rangeStart;
    if (!m_rangeOn || start >= end) start = 0;
    CommandRange(start, end);
}

void CWaveViewer::RangeFromCursorToEnd() {
    if (m_current != nullptr) CommandRange(CursorValue(), m_regionEnd);
}

void CWaveViewer::RangeFromStartToCursor() {
    if (m_current != nullptr) CommandRange(0, CursorValue());
}

void CWaveViewer::SelectAll() {
    if (m_current != nullptr) CommandRange(0, m_regionEnd);
}

void CWaveViewer::ClearRange() {
    if (m_current == nullptr) return;
    CommitRange(false, m_rangeStart, m_rangeEnd, false);
    RedrawLast();
}

bool CWaveViewer::RangeBetweenMarkers(int x) {
    if (m_current == nullptr) return false;
    const int64_t p = Pos(x);
    int64_t b = 0, e = m_regionEnd;
    const CMarkersList& list = m_current->Markers();
    for (int i = 0; i < list.Count(); ++i) {
        const CMarker* mk = list.At(i);
        if (mk == nullptr) continue;
        if (mk->GetPosition() < p) b = std::max(b, mk->GetPosition());
        if (mk->GetPosition() > p) e = std::min(e, mk->GetPosition());
    }
    b = std::clamp<int64_t>(b, 0, m_regionEnd);
    e = std::clamp<int64_t>(e, 0, m_regionEnd);
    if (e - b < kMinDragRange) return false;
    CommitRange(true, static_cast<int32_t>(b), static_cast<int32_t>(e), true);
    RedrawLast();
    return true;
}

void CWaveViewer::ShowRangeOnRoot(CRegion* root, int64_t start, int64_t end) {
    if (root == nullptr) return;
    SetRegion(root);
    const int64_t base = root->GetStart();
    // The viewer's working range only: the root region keeps its own current range.
    m_rangeOn = true;
    m_rangeStart = static_cast<int32_t>(std::clamp<int64_t>(std::min(start, end) - base, 0, m_regionEnd));
    m_rangeEnd = static_cast<int32_t>(std::clamp<int64_t>(std::max(start, end) - base, 0, m_regionEnd));
    if (!ZoomToRange()) RedrawLast();
}

// ---- fades ----

bool CWaveViewer::FadeInToCursor(int shape) {
    if (m_current == nullptr) return false;
    const int32_t l = m_regionEnd, in = CursorValue();
    m_current->SetFadeInLength(in);
    if (l - m_current->GetFadeOutLength() < in) m_current->SetFadeOutLength(l - in);
    m_current->SetFadeInShape(std::clamp(shape, 0, 2));
    RedrawLast();
    return true;
}

bool CWaveViewer::FadeOutFromCursor(int shape) {
    if (m_current == nullptr) return false;
    const int32_t l = m_regionEnd, out = l - CursorValue();
    m_current->SetFadeOutLength(out);
    if (l - out < m_current->GetFadeInLength()) m_current->SetFadeInLength(l - out);
    m_current->SetFadeOutShape(std::clamp(shape, 0, 2));
    RedrawLast();
    return true;
}

bool CWaveViewer::ResetFadeIn() {
    if (m_current == nullptr) return false;
    m_current->SetFadeInLength(0);
    RedrawLast();
    return true;
}

bool CWaveViewer::ResetFadeOut() {
    if (m_current == nullptr) return false;
    m_current->SetFadeOutLength(0);
    RedrawLast();
    return true;
}

// ---- markers ----

bool CWaveViewer::DeleteMarkerNear(int x) {
    CMarker* mk = MarkerNear(x);
    if (mk == nullptr) return false;
    if (mk == m_grabbedMarker) m_grabbedMarker = nullptr;
    m_current->DeleteMarker(mk);
    RedrawLast();
    return true;
}
