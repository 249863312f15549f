#include "library/CSampleList.h"

CSampleList::~CSampleList() { Clear(); }

void CSampleList::Add(CSample* sample) {
    if (sample) m_list.Append(sample);
}

bool CSampleList::Remove(CSample* sample) { return m_list.Remove(sample); }

bool CSampleList::Delete(CSample* sample) {
    if (!m_list.Remove(sample)) return false;
    delete sample;
    return true;
}

CSample* CSampleList::FindById(int32_t id) const {
    CSample* found = nullptr;
    m_list.ForEach([&](CSample* s) {
        if (!found && s->GetId() == id) found = s;
    });
    return found;
}

void CSampleList::Clear() {
    m_list.ForEach([](CSample* s) { delete s; });
    m_list.Clear();
}
