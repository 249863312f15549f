// sonquil-cli mark-tracks REGION-ID
// Runs the track marking on a region of the library and prints each marker it added, one per
// line: position in frames from the region start, tab, the marker's text.
#include <cstdio>

#include "audiofile/TrackMarking.h"
#include "cli/Commands.h"
#include "cli/LibrarySession.h"
#include "common/TimeFormat.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"

int MarkTracksCommand(const Args& args) {
    Options o;
    std::string error;
    if (!ParseOptions(args, {}, {}, o, error)) return Fail(error);
    if (o.positional.size() != 1) return Fail("usage: mark-tracks REGION-ID");
    int id = 0;
    try {
        size_t used = 0;
        id = std::stoi(o.positional[0], &used);
        if (used != o.positional[0].size()) throw 0;
    } catch (...) {
        return Fail("REGION-ID must be a whole number");
    }
    LibrarySession session;
    if (!session.Open(error)) return Fail(error);
    CRegion* region = nullptr;
    session.Core().RegionList()->ForEach([&](CRegion* r) {
        if (region == nullptr && !r->IsFolder() && r->GetId() == id) region = r;
    });
    if (region == nullptr) return Fail("no region with id " + o.positional[0]);
    std::vector<int64_t> added;
    if (!MarkIndividualTracks(*region, added)) return Fail("the region's peak file cannot be read");
    for (int64_t pos : added)
        std::printf("%lld\t%s (you can edit this text)\n", static_cast<long long>(pos),
                    FormatTime(pos, region->SampleRate()).c_str());
    std::fflush(stdout);
    if (!session.SaveAndClose()) return Fail("the library could not be saved");
    return 0;
}
