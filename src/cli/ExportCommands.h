#pragma once
// The export side of sonquil-cli: region tags and the external encoder profiles.
#include <filesystem>

#include "cli/Commands.h"

// tags REGION-ID [--library DIR] [--title T] [--artist A] [--album B] [--year Y] [--genre G]
//      [--track N]: sets the given tags of one region, saves the library, prints the tags.
int TagsCommand(const Args& args);
// encoders [--library DIR] list | add NAME PROGRAM ARGUMENTS EXTENSION | delete NAME: the
// profiles of "Encoders.dat" in the library's folder.
int EncodersCommand(const Args& args);

// The folder of "AudioDB" and "Encoders.dat": --library, else the tool's own folder.
std::filesystem::path LibraryFolder(const Options& o);
