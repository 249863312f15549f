// sonquil-cli: scripting and checks on the libraries of the program.
// A command is one line in the table below and one function in its own file.
#include <cstdio>
#include <cstring>

#include "cli/Commands.h"
#include "cli/ExportCommands.h"
#include "cli/LibrarySession.h"

namespace {

struct Command {
    const char* name;
    int (*run)(const Args& args);
    const char* usage;
};

const Command kCommands[] = {
    {"probe", ProbeCommand, "probe FILE"},
    {"convert", ConvertCommand,
     "convert IN OUT --format wav|aiff|snd|raw|kx64 [--bits 8|16|24|32] [--float]\n"
     "        (raw IN: --rate R --channels 1|2 --bits B [--order le|be] [--float])"},
    {"peaks", PeaksCommand, "peaks AUDIOFILE PEAKFILE"},
    {"loudness", LoudnessCommand, "loudness FILE..."},
    // The engine's commands: render, playback and the sound devices.
    {"render", RenderCommand, "render IN OUT [--set KIND:ID=VALUE ...] [--preset NAME ...] [--bits 8|16|24|32]"},
    {"play", PlayCommand,
     "play IN [--from F] [--to F] [--loop-passes N] [--speed S] [--fade-in N[:lin|log|exp]]\n"
     "        [--fade-out N[:lin|log|exp]] [--set KIND:ID=VALUE ...] [--preset NAME ...] [--device NAME|null]\n"
     "        [--capture OUT.wav] [--force-24]"},
    {"devices", DevicesCommand, "devices"},
    {"list", ListCommand, "[--library DIR] list [--folder ID]"},
    {"import", ImportCommand,
     "[--library DIR] import [--link] [--storage wav|kx64|ogg-hq|ogg-sp|ogg-lp] [--on-import transcode|clone]\n"
     "        [--raw BITS,RATE,CHANNELS,le|be[,float]] [--vdisk FOLDER] FILE..."},
    {"mark-tracks", MarkTracksCommand, "[--library DIR] mark-tracks REGION-ID"},
    {"record", RecordCommand,
     "[--library DIR] record --device NAME|null [--input FILE.wav] [--fast] [--rate R] [--bits 16|24|32]\n"
     "        [--auto-start DB] [--auto-stop-below DB:MMmSSs] [--auto-stop-after MMmSSs] [--auto-delete MMmSSs]\n"
     "        [--auto-restart N] [--naming unique|base:NAME:INDEX] [--monitor-first SECONDS] [--vdisk FOLDER]"},
    {"cd-list", CdListCommand, "[--library DIR] cd-list [--device DRIVE|IMAGE]"},
    {"cd-import", CdImportCommand,
     "[--library DIR] cd-import --device DRIVE|IMAGE [--tracks 1,3-5] [--cddb [--match N]] [--vdisk FOLDER]"},
    {"recover", RecoverCommand, "[--library DIR] recover [--vdisk FOLDER]"},
    {"tags", TagsCommand,
     "[--library DIR] tags REGION-ID [--title T] [--artist A] [--album B] [--year Y] [--genre G] [--track N]"},
    {"encoders", EncodersCommand, "[--library DIR] encoders list | add NAME PROGRAM ARGUMENTS EXTENSION | delete NAME"},
    // Export of regions to files.
    {"export", ExportCommand,
     "[--library DIR] export [REGION-ID...] [--folder ID] --format wav|aiff|raw|snd|mp3|ogg|flac|aac|wma|ENCODER\n"
     "        --to FOLDER [--subfolder S] [--naming region|base:NAME:START] [--bits 16|24|32|32f] [--order le|be]\n"
     "        [--mono] [--kbps N] [--loudness LUFS [--album]]"},
};

// The whole usage: on stdout when asked for, on stderr after a mistake.
void Usage(std::FILE* to) {
    std::fprintf(to, "usage: sonquil-cli [--library DIR] COMMAND ...\n");
    for (const Command& c : kCommands) std::fprintf(to, "  sonquil-cli %s\n", c.usage);
    std::fprintf(to, "  sonquil-cli --help | --version | COMMAND --help\n");
}

bool AsksForHelp(const char* arg) {
    return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "help") == 0;
}

} // namespace

int main(int argc, char** argv) {
    // Options of the tool itself come before the command.
    int first = 1;
    while (first < argc && std::strcmp(argv[first], "--library") == 0) {
        if (first + 1 >= argc) {
            std::fprintf(stderr, "sonquil-cli: option --library needs a folder\n");
            return 2;
        }
        SetLibraryOption(argv[first + 1]);
        first += 2;
    }
    if (first >= argc) {
        Usage(stderr);
        return 2;
    }
    if (AsksForHelp(argv[first])) {
        Usage(stdout);
        return 0;
    }
    if (std::strcmp(argv[first], "--version") == 0) {
        std::printf("sonquil-cli %s\n", SONQUIL_VERSION);
        return 0;
    }
    for (const Command& c : kCommands) {
        if (std::strcmp(argv[first], c.name) != 0) continue;
        // "COMMAND --help" (alone after the command) shows that command's usage.
        if (argc == first + 2 &&
            (std::strcmp(argv[first + 1], "--help") == 0 || std::strcmp(argv[first + 1], "-h") == 0)) {
            std::printf("usage: sonquil-cli %s\n", c.usage);
            return 0;
        }
        return c.run(Args(argv + first + 1, argv + argc));
    }
    std::fprintf(stderr, "sonquil-cli: unknown command \"%s\"\n", argv[first]);
    Usage(stderr);
    return 2;
}
