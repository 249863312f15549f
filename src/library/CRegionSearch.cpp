#include "library/CRegionSearch.h"

#include <string_view>
#include <unordered_map>

#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CRegionTextIndex.h"
#include "library/CSample.h"

namespace {

bool HasAll(std::string_view text, const std::vector<std::string>& words) {
    for (const std::string& w : words)
        if (text.find(w) == std::string_view::npos) return false;
    return true;
}

// Whether the region's lower-case texts hold every word in one of the chosen fields.
bool TextMatches(const CRegionTextIndex& index, const CRegionTextIndex::Entry& e, int field,
                 const std::vector<std::string>& words) {
    switch (field) {
    case SearchSettings::RegionName: return HasAll(index.TextOf(e, CRegionTextIndex::Name), words);
    case SearchSettings::Title: return HasAll(index.TextOf(e, CRegionTextIndex::Title), words);
    case SearchSettings::Artist: return HasAll(index.TextOf(e, CRegionTextIndex::Artist), words);
    case SearchSettings::Album: return HasAll(index.TextOf(e, CRegionTextIndex::Album), words);
    case SearchSettings::Notes: return HasAll(index.TextOf(e, CRegionTextIndex::Notes), words);
    case SearchSettings::Genre: return HasAll(index.TextOf(e, CRegionTextIndex::Genre), words);
    default: {
        // Most regions lack a word altogether: one look over the five texts in a row settles
        // them before any single text is tried. The genre is left out of "All Fields".
        if (!HasAll(index.AllFieldsOf(e), words)) return false;
        for (int t = CRegionTextIndex::Name; t < CRegionTextIndex::Genre; ++t)
            if (HasAll(index.TextOf(e, t), words)) return true;
        return false;
    }
    }
}

// The filters after the text, in their order: dates, then lengths.
bool PassesDatesAndLengths(const CRegion& r, const SearchSettings& s) {
    if (s.afterOn && r.GetDate() < s.afterStamp) return false;
    if (s.beforeOn && r.GetDate() > s.beforeStamp) return false;
    if (s.longerOn && CRegionSearch::LengthSeconds(r) < static_cast<double>(s.longerSeconds)) return false;
    if (s.shorterOn && CRegionSearch::LengthSeconds(r) > static_cast<double>(s.shorterSeconds)) return false;
    return true;
}

// The new mark for a region in scope (matching or not) under an operation; -1 keeps it.
int MarkInScope(int operation, bool matching) {
    switch (operation) {
    case SearchSettings::ShowMatching: return matching ? 1 : 0;
    case SearchSettings::ShowNonMatching: return matching ? 0 : 1;
    case SearchSettings::AddMatching: return matching ? 1 : -1;
    case SearchSettings::AddNonMatching: return matching ? -1 : 1;
    case SearchSettings::RemoveMatching: return matching ? 0 : -1;
    case SearchSettings::RemoveNonMatching: return matching ? -1 : 0;
    default: return -1;
    }
}

bool ShowOperation(int operation) {
    return operation == SearchSettings::ShowMatching || operation == SearchSettings::ShowNonMatching;
}

} // namespace

const std::vector<std::string>& CRegionSearch::ScopeNames() {
    static const std::vector<std::string> names = {"All folders", "Current Folder", "Current and Subs"};
    return names;
}

const std::vector<std::string>& CRegionSearch::OperationNames() {
    static const std::vector<std::string> names = {"Show matching",     "Add matching",     "Remove matching",
                                                   "Show non matching", "Add non matching", "Remove non matching"};
    return names;
}

const std::vector<std::string>& CRegionSearch::FieldNames() {
    static const std::vector<std::string> names = {"All Fields", "Region Name", "Title", "Artist",
                                                   "Album",      "Notes",       "Genre"};
    return names;
}

bool CRegionSearch::ParseLength(const std::string& text, int& seconds) {
    // Shape "99m 99s": two places for minutes, "m", a space, two places for seconds, "s".
    if (text.size() != 7 || text[2] != 'm' || text[3] != ' ' || text[6] != 's') return false;
    auto two = [&](size_t at, int& v) {
        v = 0;
        for (size_t i = at; i < at + 2; ++i) {
            const char c = text[i];
            if (c == ' ') continue;
            if (c < '0' || c > '9') return false;
            v = v * 10 + (c - '0');
        }
        return true;
    };
    int m = 0, s = 0;
    if (!two(0, m) || !two(4, s)) return false;
    seconds = m * 60 + s;
    return true;
}

std::vector<std::string> CRegionSearch::Words(const std::string& text) {
    std::vector<std::string> words;
    std::string w;
    for (char c : text) {
        if (c == ' ') {
            if (!w.empty()) words.push_back(w);
            w.clear();
        } else {
            w.push_back(CRegionTextIndex::Lower(c));
        }
    }
    if (!w.empty()) words.push_back(w);
    return words;
}

double CRegionSearch::LengthSeconds(const CRegion& region) {
    const CSample* s = region.GetSample();
    if (!s || s->GetSampleRate() <= 0) return 0.0;
    return static_cast<double>(region.GetEnd() - region.GetStart()) / static_cast<double>(s->GetSampleRate());
}

bool CRegionSearch::Matches(const CRegion& r, const SearchSettings& s, const std::vector<std::string>& words) {
    if (!s.text.empty() && !words.empty()) {
        // A one-region index: the same comparison as the search over the list.
        CRegionTextIndex one;
        one.Begin(1);
        if (!TextMatches(one, one.At(0, r), s.field, words)) return false;
    }
    return PassesDatesAndLengths(r, s);
}

std::vector<CRegion*> CRegionSearch::Run(CRegionList& list, const SearchSettings& s, int32_t selectedFolder) {
    const std::vector<std::string> words = Words(s.text);

    // Parents of every folder, once, so that "Current and Subs" walks up without a list walk
    // per step.
    std::unordered_map<int32_t, int32_t> parentOf;
    if (s.scope == SearchSettings::CurrentAndSubs)
        list.ForEach([&](CRegion* r) {
            if (r->IsFolder()) parentOf.emplace(r->GetId(), r->GetParentId());
        });
    auto inScope = [&](const CRegion* r) {
        switch (s.scope) {
        case SearchSettings::CurrentFolder: return r->GetParentId() == selectedFolder;
        case SearchSettings::CurrentAndSubs: {
            int32_t id = r->GetParentId();
            // A damaged library could hold a cycle of parents; no chain is longer than the folders.
            for (size_t steps = 0; steps <= parentOf.size() + 1; ++steps) {
                if (id == selectedFolder) return true;
                auto it = parentOf.find(id);
                if (it == parentOf.end()) return false;
                id = it->second;
            }
            return false;
        }
        default: return true;
        }
    };

    const bool byText = !s.text.empty() && !words.empty();
    // Whether a region must be looked at itself, beyond its copies: for its folder, its date or
    // its length.
    const bool needsRegion = s.scope != SearchSettings::AllFolders || s.afterOn || s.beforeOn || s.longerOn ||
                             s.shorterOn;
    CRegionTextIndex& index = list.TextIndex();
    // The records in list order first: the list is linked, and with the order at hand a region
    // that has to be looked at can be asked for from memory a few steps ahead.
    std::vector<CRegion*> order;
    order.reserve(static_cast<size_t>(list.Count()));
    list.ForEach([&](CRegion* r) { order.push_back(r); });
    index.Begin(static_cast<int>(order.size()));
    constexpr size_t kAhead = 12;
    std::vector<CRegion*> shown;
    for (size_t i = 0; i < order.size(); ++i) {
        if (needsRegion && i + kAhead < order.size()) {
            const char* ahead = reinterpret_cast<const char*>(order[i + kAhead]);
            __builtin_prefetch(ahead);
            __builtin_prefetch(ahead + 64);
        }
        CRegion* r = order[i];
        const int at = static_cast<int>(i);
        const CRegionTextIndex::Entry& e = index.At(at, *r);
        if (e.folder) continue;
        int mark;
        if (inScope(r)) {
            const bool matching = (!byText || TextMatches(index, e, s.field, words)) && PassesDatesAndLengths(*r, s);
            mark = MarkInScope(s.operation, matching);
        } else {
            mark = ShowOperation(s.operation) ? 0 : -1;
        }
        if (mark >= 0) index.SetMark(at, *r, static_cast<uint32_t>(mark));
        if (e.mark != 0) shown.push_back(r);
    }
    index.End();
    return shown;
}
