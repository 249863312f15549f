#pragma once
// CSampleList: every sample of the library, in the order they were added. Owns its samples.
//
// Threading: main thread only.

#include <cstdint>

#include "common/OList.h"
#include "library/CSample.h"

class CSampleList {
public:
    CSampleList() = default;
    ~CSampleList();
    CSampleList(const CSampleList&) = delete;
    CSampleList& operator=(const CSampleList&) = delete;

    // Appends; the list takes ownership.
    void Add(CSample* sample);
    // Takes the sample out of the list without destroying it; false when it is not listed.
    bool Remove(CSample* sample);
    // Takes the sample out and destroys it.
    bool Delete(CSample* sample);
    // First sample with that id, or null. Leaves the list's cursor where it was.
    CSample* FindById(int32_t id) const;
    int Count() const { return m_list.Count(); }
    CSample* At(int n) const { return m_list.At(n); }
    // Destroys every sample.
    void Clear();

    TypedList<CSample>& List() { return m_list; }
    const TypedList<CSample>& List() const { return m_list; }
    template <typename F> void ForEach(F&& f) const { m_list.ForEach(f); }

private:
    TypedList<CSample> m_list;
};
