// sonquil-cli [--library DIR] encoders list
// sonquil-cli [--library DIR] encoders add NAME PROGRAM ARGUMENTS EXTENSION
// sonquil-cli [--library DIR] encoders delete NAME
// The external encoder profiles of "Encoders.dat" beside the library. "add" runs the checks
// of the "Encoders" dialog and says which one failed; a profile of the same name (case
// ignored) is replaced. "list" prints name|program|arguments|extension per profile.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "cli/ExportCommands.h"
#include "cli/LibrarySession.h"
#include "common/SingleInstance.h"
#include "export/ExtEncoders.h"

int EncodersCommand(const Args& args) {
    const char* usage = "usage: encoders list | add NAME PROGRAM ARGUMENTS EXTENSION | delete NAME";
    Options o;
    std::string error;
    if (!ParseOptions(args, {}, {}, o, error)) return Fail(error);
    if (o.positional.empty()) return Fail(usage);
    const std::string path = (LibraryFolder() / "Encoders.dat").string();
    // The program writes its list back when it ends: a change made meanwhile would be lost.
    // Whoever has the library open holds the lock in its "AudioDB" folder; with no such folder
    // nothing has the library open.
    const std::filesystem::path audioDb = LibraryFolder() / "AudioDB";
    SingleInstance lock(SingleInstance::LibraryLockPath(audioDb.string()));
    std::error_code ec;
    bool busy = false;
    if (o.positional[0] != "list" && std::filesystem::is_directory(audioDb, ec) && !lock.Acquire(&busy) && busy)
        return Fail(kLibraryInUse);
    ExtEncoderList list;
    if (!list.Load(path, error)) return Fail(error);
    const std::string& what = o.positional[0];
    if (what == "list" && o.positional.size() == 1) {
        for (int i = 0; i < list.Count(); ++i) {
            const ExtEncoderProfile& p = list.At(i);
            std::printf("%s|%s|%s|%s\n", p.name.c_str(), p.ProgramPath().c_str(), p.arguments.c_str(),
                        p.extension.c_str());
        }
        return 0;
    }
    if (what == "add" && o.positional.size() == 5) {
        const std::filesystem::path program = std::filesystem::absolute(o.positional[2]);
        ExtEncoderProfile p{program.parent_path().string(), program.filename().string(), o.positional[3],
                            o.positional[4], o.positional[1]};
        const ProfileCheck c = list.Add(p);
        if (c != ProfileCheck::Ok) return Fail(std::string("profile refused: ") + ProfileCheckText(c));
    } else if (what == "delete" && o.positional.size() == 2) {
        if (!list.Delete(list.Find(o.positional[1]))) return Fail("no profile named " + o.positional[1]);
    } else {
        return Fail(usage);
    }
    if (!list.Save(path, error)) return Fail(error);
    return 0;
}
