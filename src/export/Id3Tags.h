#pragma once
// The ID3v2.3 tag that export writes in front of the audio of an MP3 file; current players
// show it in preference to the 128-byte tag at the end (audiofile/Id3Tag.h), since it keeps
// texts longer than 30 bytes and characters beyond Latin-1. Both carry the same TagSet.
//
// Threading: a free function on the caller's values.

#include <cstdint>
#include <vector>

#include "audiofile/Id3Tag.h"

// An ID3v2.3 tag with a frame for every non-empty field (TIT2, TPE1, TALB, TYER, TCON, TRCK,
// COMM); texts are Latin-1 when they can be, else UTF-16 with a byte-order mark. Empty when
// the set is empty.
std::vector<uint8_t> MakeId3v2Tag(const TagSet& tags);
