#include "library/CRegionSearch.h"

#include <cctype>
#include <cstring>
#include <unordered_map>

#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"

namespace {

unsigned char Lower(unsigned char c) { return static_cast<unsigned char>(std::tolower(c)); }

// Whether the lower-case word occurs in field without regard to case. Compares in place: a
// search over a large library must not copy every field it looks at. Candidates for the first
// letter are found with memchr for each of its two cases, which scans many bytes per step.
bool ContainsLower(const std::string& field, const std::string& word) {
    const size_t n = field.size(), m = word.size();
    if (m == 0) return true;
    if (m > n) return false;
    const unsigned char first = static_cast<unsigned char>(word[0]);
    const unsigned char firstUpper = static_cast<unsigned char>(std::toupper(first));
    const char* f = field.data();
    const char* last = f + (n - m); // the last place a match can start
    auto next = [&](const char* from, unsigned char c) -> const char* {
        if (from > last) return nullptr;
        return static_cast<const char*>(std::memchr(from, c, static_cast<size_t>(last - from) + 1));
    };
    const char* lo = next(f, first);
    const char* up = firstUpper != first ? next(f, firstUpper) : nullptr;
    while (lo || up) {
        const char* at = !up || (lo && lo < up) ? lo : up;
        size_t k = 1;
        while (k < m && Lower(static_cast<unsigned char>(at[k])) == static_cast<unsigned char>(word[k])) ++k;
        if (k == m) return true;
        if (at == lo) {
            lo = next(at + 1, first);
        } else {
            up = next(at + 1, firstUpper);
        }
    }
    return false;
}

bool FieldHasAll(const std::string& field, const std::vector<std::string>& words) {
    for (const std::string& w : words)
        if (!ContainsLower(field, w)) return false;
    return true;
}

bool TextMatches(const CRegion& r, int field, const std::vector<std::string>& words) {
    switch (field) {
    case SearchSettings::RegionName: return FieldHasAll(r.GetName(), words);
    case SearchSettings::Title: return FieldHasAll(r.GetTitle(), words);
    case SearchSettings::Artist: return FieldHasAll(r.GetArtist(), words);
    case SearchSettings::Album: return FieldHasAll(r.GetAlbum(), words);
    case SearchSettings::Notes: return FieldHasAll(r.GetNotes(), words);
    case SearchSettings::Genre: return FieldHasAll(r.GetGenre(), words);
    default:
        // Every word must stand in one field; the genre is left out of "All Fields".
        return FieldHasAll(r.GetName(), words) || FieldHasAll(r.GetNotes(), words) ||
               FieldHasAll(r.GetTitle(), words) || FieldHasAll(r.GetArtist(), words) ||
               FieldHasAll(r.GetAlbum(), words);
    }
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
            w.push_back(static_cast<char>(Lower(static_cast<unsigned char>(c))));
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
    if (!s.text.empty() && !words.empty() && !TextMatches(r, s.field, words)) return false;
    if (s.afterOn && r.GetDate() < s.afterStamp) return false;
    if (s.beforeOn && r.GetDate() > s.beforeStamp) return false;
    if (s.longerOn && LengthSeconds(r) < static_cast<double>(s.longerSeconds)) return false;
    if (s.shorterOn && LengthSeconds(r) > static_cast<double>(s.shorterSeconds)) return false;
    return true;
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

    std::vector<CRegion*> shown;
    list.ForEach([&](CRegion* r) {
        if (r->IsFolder()) return;
        int mark;
        if (inScope(r)) {
            mark = MarkInScope(s.operation, Matches(*r, s, words));
        } else {
            mark = ShowOperation(s.operation) ? 0 : -1;
        }
        if (mark >= 0) r->SetSearchMark(static_cast<uint32_t>(mark));
        if (r->GetSearchMark() != 0) shown.push_back(r);
    });
    return shown;
}
