// sonquil-cli list [--folder ID]
// The library's folders and regions, one per line on stdout, tab-separated: id, parent folder
// id, kind (folder, root or region), length as h:mm:ss:hh at the sample's rate, and name. With
// --folder only what lies directly in that folder.
#include <cstdio>

#include "cli/Commands.h"
#include "cli/LibrarySession.h"
#include "common/TimeFormat.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"

int ListCommand(const Args& args) {
    Options o;
    std::string error;
    if (!ParseOptions(args, {"folder"}, {}, o, error)) return Fail(error);
    if (!o.positional.empty()) return Fail("usage: list [--folder ID]");
    int folder = 0;
    const bool oneFolder = o.Has("folder");
    if (!IntOption(o, "folder", 0, 0x7FFFFFFF, folder, error)) return Fail(error);

    LibrarySession session;
    if (!session.Open(error)) return Fail(error);
    session.Core().RegionList()->ForEach([&](CRegion* r) {
        if (oneFolder && r->GetParentId() != folder) return;
        const char* kind = r->IsFolder() ? "folder" : r->IsRoot() ? "root" : "region";
        std::string length = "-";
        if (!r->IsFolder() && r->GetSample())
            length = FormatTime(r->GetEnd() - r->GetStart(), r->GetSample()->GetSampleRate());
        std::printf("%d\t%d\t%s\t%s\t%s\n", r->GetId(), r->GetParentId(), kind, length.c_str(), r->GetName().c_str());
    });
    return std::fflush(stdout) == 0 ? 0 : Fail("write error on the output");
}
