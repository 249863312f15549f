#include "library/CMarkersList.h"

CMarkersList::~CMarkersList() { Clear(); }

void CMarkersList::Insert(CMarker* marker) {
    if (!marker) return;
    // Markers usually arrive in position order (loading, track marking); one that belongs after
    // the last is appended without the walk, so a long list never costs a walk per marker.
    if (CMarker* last = m_list.Last(); !last || last->GetPosition() <= marker->GetPosition()) {
        m_list.Append(marker);
        return;
    }
    OList::Position saved = m_list.GetCursor();
    m_list.Reset();
    while (!m_list.AtEnd() && m_list.Current()->GetPosition() <= marker->GetPosition()) m_list.Advance();
    m_list.InsertBeforeCursor(marker);
    m_list.SetCursor(saved);
}

CMarker* CMarkersList::At(int n) const { return m_list.At(n); }

bool CMarkersList::Remove(CMarker* marker) { return m_list.Remove(marker); }

int CMarkersList::IndexOf(const CMarker* marker) const {
    int i = 0, found = -1;
    m_list.ForEach([&](CMarker* m) {
        if (found < 0 && m == marker) found = i;
        ++i;
    });
    return found;
}

void CMarkersList::Clear() {
    m_list.ForEach([](CMarker* m) { delete m; });
    m_list.Clear();
}

void CMarkersList::CopyFrom(const CMarkersList& other) {
    if (&other == this) return;
    Clear();
    other.m_list.ForEach([&](CMarker* m) { Insert(new CMarker(*m)); });
}

std::vector<CMarkersList::Row> CMarkersList::Show() const {
    std::vector<Row> rows;
    rows.reserve(static_cast<size_t>(Count()));
    m_list.ForEach([&](CMarker* m) { rows.push_back(Row{m->GetText(), m->GetIcon()}); });
    return rows;
}

void CMarkersList::Show(const RowSink& sink) const {
    if (!sink) return;
    m_list.ForEach([&](CMarker* m) { sink(m->GetText(), m->GetIcon()); });
}
