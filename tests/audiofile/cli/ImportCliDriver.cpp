// The tool's library commands of the import work, run through the tool's own option handling
// and session code, for the tests until they have their rows in sonquil-cli's command table.
#include <cstdio>
#include <cstring>

#include "cli/Commands.h"
#include "cli/LibrarySession.h"

int ImportCommand(const Args& args);
int MarkTracksCommand(const Args& args);

int main(int argc, char** argv) {
    int first = 1;
    while (first + 1 < argc && std::strcmp(argv[first], "--library") == 0) {
        SetLibraryOption(argv[first + 1]);
        first += 2;
    }
    if (first >= argc) return 2;
    const Args args(argv + first + 1, argv + argc);
    if (std::strcmp(argv[first], "import") == 0) return ImportCommand(args);
    if (std::strcmp(argv[first], "mark-tracks") == 0) return MarkTracksCommand(args);
    if (std::strcmp(argv[first], "list") == 0) return ListCommand(args);
    std::fprintf(stderr, "unknown command\n");
    return 2;
}
