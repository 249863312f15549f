#include "library/CDSPSnapList.h"

#include "library/CDSPPreset.h"

namespace {
CDSPSnap* MakeFlatSnap() {
    CDSPSnap* snap = new CDSPSnap("Flat");
    CDSPPreset::FillFlatStack(snap->Params());
    return snap;
}
} // namespace

CDSPSnapList::CDSPSnapList() { m_list.Append(MakeFlatSnap()); }

CDSPSnapList::~CDSPSnapList() { DestroyAll(); }

void CDSPSnapList::DestroyAll() {
    m_list.ForEach([](CDSPSnap* s) { delete s; });
    m_list.Clear();
}

void CDSPSnapList::Append(CDSPSnap* snap) {
    if (!snap) return;
    m_list.Append(snap);
    m_current = Count() - 1;
}

bool CDSPSnapList::Delete(int n) {
    if (!CanDelete(n)) return false;
    CDSPSnap* snap = m_list.At(n);
    m_list.Remove(snap);
    delete snap;
    if (m_current >= Count()) m_current = Count() - 1;
    return true;
}

CDSPSnap* CDSPSnapList::CopyOf(int n) const {
    CDSPSnap* snap = m_list.At(n);
    return snap ? new CDSPSnap(*snap) : nullptr;
}

bool CDSPSnapList::Rename(int n, const std::string& name) {
    if (n <= 0 || n >= Count()) return false;
    m_list.At(n)->SetName(name);
    return true;
}

void CDSPSnapList::ToggleFavourite() {
    if (m_favourite == m_current) m_favourite = -1;
    else m_favourite = m_current;
}

CDSPSnap* CDSPSnapList::SnapToApply(bool editMode) const {
    int32_t index = (editMode || m_favourite < 0) ? m_current : m_favourite;
    if (index < 0 || index >= Count()) return nullptr;
    return m_list.At(index);
}

void CDSPSnapList::Reset() {
    DestroyAll();
    m_list.Append(MakeFlatSnap());
    m_current = 0;
    m_favourite = -1;
}

void CDSPSnapList::CopyFrom(const CDSPSnapList& other) {
    if (&other == this) return;
    DestroyAll();
    other.m_list.ForEach([&](CDSPSnap* s) { m_list.Append(new CDSPSnap(*s)); });
    // A list always keeps its first "Flat" snap.
    if (m_list.Count() == 0) m_list.Append(MakeFlatSnap());
    m_current = other.m_current;
    m_favourite = other.m_favourite;
}

void CDSPSnapList::AppendCopiesFrom(const CDSPSnapList& other) {
    // Copy first: other may be this very list.
    std::vector<CDSPSnap*> copies;
    for (int i = 1; i < other.Count(); ++i) copies.push_back(new CDSPSnap(*other.At(i)));
    for (CDSPSnap* s : copies) Append(s);
}

std::vector<CDSPSnapList::Row> CDSPSnapList::Show() const {
    std::vector<Row> rows;
    int i = 0;
    m_list.ForEach([&](CDSPSnap* s) {
        int image = ImagePlain;
        if (i == m_current) image |= ImageCurrent;
        if (i == m_favourite) image |= ImageFavourite;
        rows.push_back(Row{s->GetName(), image});
        ++i;
    });
    return rows;
}
