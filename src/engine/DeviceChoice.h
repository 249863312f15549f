#pragma once
// The device choice of board setup as the preferences keep it: key 2 the playback device,
// key 1 the record device, −1 the system's default device, 0 the first device of the list.
// Without a stored choice both are the system's default device: the first device in the list
// is usually a raw card that the desktop's sound server already holds, so it would refuse to
// open on a fresh desktop. A stored choice, 0 included, is used as it is.
//
// Threading: main thread.

#include <cstdint>

class CPrefs;
class AudioIOThread;

constexpr int kPrefRecordDevice = 1;
constexpr int kPrefPlaybackDevice = 2;
// The device number of the system's default device.
constexpr int32_t kDefaultDevice = -1;

// Reads both keys into the audio thread's device numbers (−1 for a key not present).
void LoadDeviceChoice(const CPrefs& prefs, AudioIOThread& audio);
// Writes the audio thread's device numbers into both keys.
void StoreDeviceChoice(CPrefs& prefs, const AudioIOThread& audio);
