#pragma once
// Making a sample's peak file from its audio on disk ("Building %s"), and giving regions
// their statistics and overview from the peak file.
//
// The audio file library builds on the library's samples and regions, never the other way:
// the library reaches peak files only through the peak source it is handed
// (CDatabase::SetPeakSource), which is ReadSamplePeakPairsIn.
//
// Threading: main thread (the UI port, the shared buffers and the VDisk table belong to it).

#include <cstdint>
#include <string>
#include <vector>

#include "audiofile/AudioFile.h"
#include "audiofile/PeakFile.h"

class CRegion;
class CSample;
class CVDisk;
class UiPort;

// Where the peaks of a stream go and what the stream is.
struct PeakTarget {
    std::string peakFolder;
    std::string peakName;
    std::string displayName; // shown as "Building %s"
    int32_t rate = 44100;
    int64_t frames = 0;
};

// Opens file for reading, deletes the old peak file, streams the audio in blocks of 4096
// frames through the peak builder and writes the new peak file. With showProgress and a UI
// port, a progress window with an "Abort" button shows the work; an abort stops it, sets
// cancelled and gives false. False too when the audio does not open or the peak file cannot
// be written. The file is closed afterwards.
bool RebuildPeaks(AudioFile& file, const PeakTarget& target, UiPort* ui, bool showProgress, bool& cancelled,
                  PeakBuffers& buffers);

// The same for a sample of the library: its rate, length, name and peak file place.
bool RebuildPeakFile(AudioFile& file, const CSample& sample, UiPort* ui, bool showProgress, bool& cancelled,
                     PeakBuffers& buffers);

// Every entry of the sample's peak file as interleaved (left, right) pairs: the database's
// peak source. False when the sample has no peak file name or its peak file does not read.
bool ReadSamplePeakPairs(const CSample& sample, std::vector<uint16_t>& pairs);
// The same with the peak file's folder from the given VDisk table (the database's peak source,
// while the table of the file being loaded is not yet the program's).
bool ReadSamplePeakPairsIn(const CSample& sample, const CVDisk& vdisk, std::vector<uint16_t>& pairs);

// Reads the region's sample's peak file and computes the region's statistics and overview
// from it. Without a sample, peak file name or readable peak file the statistics become zero
// and the overview keeps its bytes; the result is then false.
bool ComputeRegionPeaks(CRegion& region);
