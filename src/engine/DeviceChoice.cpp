#include "engine/DeviceChoice.h"

#include "engine/AudioIOThread.h"
#include "library/CPrefs.h"

void LoadDeviceChoice(const CPrefs& prefs, AudioIOThread& audio) {
    audio.SetPlaybackDevice(prefs.Has(kPrefPlaybackDevice) ? prefs.GetInt(kPrefPlaybackDevice) : kDefaultDevice);
    audio.SetRecordDevice(prefs.Has(kPrefRecordDevice) ? prefs.GetInt(kPrefRecordDevice) : kDefaultDevice);
}

void StoreDeviceChoice(CPrefs& prefs, const AudioIOThread& audio) {
    prefs.SetInt(kPrefPlaybackDevice, audio.PlaybackDevice());
    prefs.SetInt(kPrefRecordDevice, audio.RecordDevice());
}
