#pragma once
// The export side of sonquil-cli: the export itself, region tags and the external encoder
// profiles.
#include "cli/Commands.h"

// [--library DIR] tags REGION-ID [--title T] [--artist A] [--album B] [--year Y] [--genre G]
// [--track N]: sets the given tags of one region, saves the library, prints the tags.
int TagsCommand(const Args& args);
// [--library DIR] encoders list | add NAME PROGRAM ARGUMENTS EXTENSION | delete NAME: the
// profiles of "Encoders.dat" in the library's folder.
int EncodersCommand(const Args& args);
// [--library DIR] export [REGION-ID...] [--folder ID] --format FORMAT --to FOLDER ...: the
// window's export of regions to files, with one report line per file on stdout.
int ExportCommand(const Args& args);
