#pragma once
// The export side of sonquil-cli: region tags and the external encoder profiles.
#include "cli/Commands.h"

// [--library DIR] tags REGION-ID [--title T] [--artist A] [--album B] [--year Y] [--genre G]
// [--track N]: sets the given tags of one region, saves the library, prints the tags.
int TagsCommand(const Args& args);
// [--library DIR] encoders list | add NAME PROGRAM ARGUMENTS EXTENSION | delete NAME: the
// profiles of "Encoders.dat" in the library's folder.
int EncodersCommand(const Args& args);
