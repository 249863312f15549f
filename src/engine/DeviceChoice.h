#pragma once
// The device choice of board setup as the preferences keep it: key 2 the playback device,
// key 1 the record device, −1 the system's default device, 0 (the first device) when absent.
//
// Threading: main thread.

#include <cstdint>

class CPrefs;
class AudioIOThread;

constexpr int kPrefRecordDevice = 1;
constexpr int kPrefPlaybackDevice = 2;

// Reads both keys into the audio thread's device numbers.
void LoadDeviceChoice(const CPrefs& prefs, AudioIOThread& audio);
// Writes the audio thread's device numbers into both keys.
void StoreDeviceChoice(CPrefs& prefs, const AudioIOThread& audio);
