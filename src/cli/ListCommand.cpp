// sonquil-cli list [--folder ID]
// The library's regions, one per line on stdout, tab-separated: id, name, folder id, start and
// end frame, the sample's file (its full path; the bare file name when its VDisk is unknown),
// format code, rate, bits and channels. Folders are not regions of audio and get no line. With
// --folder only the regions that lie directly in that folder.
#include <cstdio>

#include "cli/Commands.h"
#include "cli/LibrarySession.h"
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
        if (r->IsFolder()) return;
        if (oneFolder && r->GetParentId() != folder) return;
        const CSample* s = r->GetSample();
        std::string file = "-";
        if (s != nullptr) {
            file = s->FilePath();
            if (file.empty()) file = s->GetFileName();
        }
        std::printf("%d\t%s\t%d\t%lld\t%lld\t%s\t%d\t%d\t%d\t%d\n", r->GetId(), r->GetName().c_str(), r->GetParentId(),
                    static_cast<long long>(r->GetStart()), static_cast<long long>(r->GetEnd()), file.c_str(),
                    s ? s->GetFormatCode() : -1, s ? s->GetSampleRate() : 0, s ? s->GetBits() : 0,
                    s ? s->GetChannels() : 0);
    });
    return std::fflush(stdout) == 0 ? 0 : Fail("write error on the output");
}
