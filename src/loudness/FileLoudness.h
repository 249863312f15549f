#pragma once
// The loudness of an audio file from outside the library, read through our own readers, so
// every format we import can be measured.
//
// Threading: any thread; nothing here keeps state.

#include <atomic>
#include <string>

#include "loudness/LoudnessMeter.h"

// Measures path into meter, which is started for the file's channels and rate to measure
// `what` (LoudnessWhat bits; every figure by default). False with the reader's message when the file does not open or
// its format is not one we read. cancel, when given, stops the read (false, message "Canceled.").
bool MeasureFileLoudness(const std::string& path, LoudnessMeter& meter, std::string& error,
                         const std::atomic<bool>* cancel = nullptr, int what = kLoudnessAll | kLoudnessParallel);
