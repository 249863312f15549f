// sonquil-cli [--library DIR] tags REGION-ID [--title T] [--artist A] [--album B] [--year Y]
//                                 [--genre G] [--track N]
// Sets a region's tags as the "Edit Tags" dialog writes them (texts cut to their fields),
// saves the library and prints the region's tags as one line:
// title|artist|album|year|genre|track.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/ExportCommands.h"
#include "cli/LibrarySession.h"
#include "export/TagBatch.h"
#include "library/CRegion.h"

int TagsCommand(const Args& args) {
    const char* usage = "usage: tags REGION-ID [--title T] [--artist A] [--album B] [--year Y] [--genre G] [--track N]";
    Options o;
    std::string error;
    if (!ParseOptions(args, {"title", "artist", "album", "year", "genre", "track"}, {}, o, error)) return Fail(error);
    if (o.positional.size() != 1) return Fail(usage);
    char* end = nullptr;
    const long id = std::strtol(o.positional[0].c_str(), &end, 10);
    if (end == o.positional[0].c_str() || *end != '\0') return Fail("bad region id " + o.positional[0]);
    int year = 0, track = 0;
    if (!IntOption(o, "year", 0, 9999, year, error) || !IntOption(o, "track", 0, 999, track, error)) return Fail(error);

    LibrarySession session;
    if (!session.Open(error)) return Fail(error);
    CRegion* region = FindRegionById(*session.Core().RegionList(), static_cast<int32_t>(id));
    if (!region) return Fail("no region with id " + o.positional[0]);
    TagEdits edits;
    auto text = [&](const char* name) { return o.Has(name) ? &o.values.at(name) : nullptr; };
    edits.title = text("title");
    edits.artist = text("artist");
    edits.album = text("album");
    edits.genre = text("genre");
    const int32_t y = year, t = track;
    if (o.Has("year")) edits.year = &y;
    if (o.Has("track")) edits.track = &t;
    ApplyTagEdits(*region, edits);
    const std::string line = TagLine(*region);
    if (!session.SaveAndClose()) return Fail("the library could not be saved");
    std::printf("%s\n", line.c_str());
    return std::fflush(stdout) == 0 ? 0 : Fail("write error on the output");
}
