#pragma once
// Track marking ("Mark Individual Tracks"): finds the pauses between the pieces of a long
// recording from a region's peak entries and puts a marker shortly before each new piece.
// It reads only peak data, never the audio.
//
// One change from the plain rule: a pause of digital silence has level 0, and "both neighbours
// at least 1.1 × the level" is then true of any neighbour, so every silent pause would pass for
// a single quiet second and get no marker. A neighbour counts as louder only when it is also
// above the level itself; wherever the level is not 0 that is the same test.
//
// Threading: main thread (the region and its markers belong to it).

#include <cstdint>
#include <vector>

class CRegion;

// The positions (frames from the region start, ascending by discovery) where markers belong.
// pairs holds the sample's peak entries (left, right) and pairCount their number; the region
// covers entries first .. first + count − 1. Entries outside the sample count as 0.
std::vector<int64_t> FindTrackMarks(const uint16_t* pairs, int64_t pairCount, int64_t first, int64_t count,
                                    int32_t framesPerEntry, int32_t rate);

// Runs the marking on a region from its sample's peak file and adds a marker at each found
// position ("<time> (you can edit this text)"). added receives the positions in the order
// they were found. False when the region has no sample or its peak file cannot be read.
bool MarkIndividualTracks(CRegion& region, std::vector<int64_t>& added);
