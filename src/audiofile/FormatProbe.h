#pragma once
// The format probe: which reader a file needs, from its name and its first four bytes.
#include <string>

// Returns a format code (see AudioFile.h), or -1 with the reason in message.
int ProbeFormat(const std::string& folder, const std::string& name, std::string& message);

// When Ogg Vorbis reading is available, its reader registers a test that accepts a file by
// its full path; the probe offers every file to it first. Set once at start-up.
using VorbisAcceptFn = bool (*)(const std::string& fullPath);
void SetVorbisProbe(VorbisAcceptFn fn);
