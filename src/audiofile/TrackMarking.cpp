#include "audiofile/TrackMarking.h"

#include <algorithm>
#include <string>

#include "audiofile/PeakFile.h"
#include "library/CRegion.h"
#include "library/CSample.h"

namespace {

constexpr int32_t kExcluded = 65000;
constexpr int64_t kTailSeconds = 30;
constexpr int64_t kOnsetSeconds = 7;
constexpr int64_t kWindow = 30;    // entries on either side of an onset candidate
constexpr int64_t kQuietSpan = 29; // seconds on either side of a marker without another
constexpr int64_t kLeadFrames = 4000;

} // namespace

std::vector<int64_t> FindTrackMarks(const uint16_t* pairs, int64_t pairCount, int64_t first, int64_t count,
                                    int32_t framesPerEntry, int32_t rate) {
    std::vector<int64_t> marks;
    if (pairs == nullptr || framesPerEntry <= 0 || rate <= 0 || count <= 0) return marks;
    const int64_t c = rate / framesPerEntry;
    if (c <= 0) return marks;
    const int64_t seconds = count / c;
    if (seconds < kTailSeconds) return marks;

    // (left + right) of entry i of the region; outside the sample's entries it is 0.
    auto entry = [&](int64_t i) -> int64_t {
        const int64_t k = first + i;
        if (k < 0 || k >= pairCount) return 0;
        return static_cast<int64_t>(pairs[2 * k]) + pairs[2 * k + 1];
    };

    std::vector<int32_t> level(static_cast<size_t>(seconds));
    int64_t total = 0;
    for (int64_t s = 0; s < seconds; ++s) {
        int64_t sum = 0;
        for (int64_t e = 0; e < c; ++e) sum += entry(s * c + e);
        level[static_cast<size_t>(s)] = static_cast<int32_t>(sum / (2 * c));
        total += level[static_cast<size_t>(s)];
    }
    const double mean = static_cast<double>(total) / static_cast<double>(seconds);
    for (int64_t s = seconds - kTailSeconds; s < seconds; ++s) level[static_cast<size_t>(s)] = kExcluded;

    auto louder = [&](int64_t s, int32_t l) {
        const int32_t v = level[static_cast<size_t>(s)];
        return v >= 1.1 * l && v > l;
    };

    for (;;) {
        // a. The quietest second still in play.
        const auto it = std::min_element(level.begin(), level.end());
        int64_t m = it - level.begin();
        const int32_t l = *it;
        if (l >= mean / 4.0) break;
        // b.
        level[static_cast<size_t>(m)] = kExcluded;
        if (m == 0 || m == seconds - 1) continue;
        // c. One quiet second inside louder ones is no pause.
        if (louder(m - 1, l) && louder(m + 1, l)) continue;
        // d. The onset: the largest rise of the 30 entries ahead over the 30 behind, within
        // seven seconds from the second before the quiet one.
        --m;
        int64_t onset = m * c;
        int64_t best = 0;
        for (int64_t b = m * c; b < m * c + kOnsetSeconds * c; ++b) {
            int64_t ahead = 0, behind = 0;
            for (int64_t k = 0; k < kWindow; ++k) {
                ahead += entry(b + k);
                behind += entry(b - k);
            }
            if (ahead - behind > best) {
                best = ahead - behind;
                onset = b;
            }
        }
        // e.
        int64_t pos = onset * framesPerEntry;
        if (pos > kLeadFrames) pos -= kLeadFrames;
        marks.push_back(pos);
        // f. No second marker within 30 seconds of this one.
        for (int64_t s = std::max<int64_t>(0, m - kQuietSpan); s <= std::min(seconds - 1, m + kQuietSpan); ++s)
            level[static_cast<size_t>(s)] = kExcluded;
    }
    return marks;
}

bool MarkIndividualTracks(CRegion& region, std::vector<int64_t>& added) {
    added.clear();
    const CSample* sample = region.GetSample();
    std::string name;
    if (sample == nullptr || !sample->PeakFileName(name)) return false;
    PeakFile pf(sample->PeakFileFolder(), name);
    if (!pf.OpenRead() || pf.ValuesPerEntry() != 2) return false;
    const int32_t perEntry = pf.FramesPerEntry();
    std::vector<uint16_t> pairs(static_cast<size_t>(pf.EntryCount()) * 2);
    const int32_t got = pf.ReadEntries(pairs.data(), pf.EntryCount());
    pf.Close();
    if (got <= 0 || perEntry <= 0) return false;
    const int64_t first = region.GetStart() / perEntry;
    const int64_t last = region.GetEnd() > region.GetStart() ? (region.GetEnd() - 1) / perEntry : first - 1;
    const int64_t count = std::min<int64_t>(last, got - 1) - first + 1;
    added = FindTrackMarks(pairs.data(), got, first, count, perEntry, sample->GetSampleRate());
    for (int64_t pos : added) region.NewMarker(pos);
    return true;
}
