// The board-setup choice kept in the preferences survives a save and a load.
#include <gtest/gtest.h>

#include "EngineRig.h"
#include "common/ByteIO.h"
#include "engine/DeviceChoice.h"
#include "library/CPrefs.h"

TEST(DeviceChoice, KeysTwoAndOneHoldPlaybackAndRecordAndDefaultToTheFirstDevice) {
    EngineRig rig;
    CPrefs prefs;
    LoadDeviceChoice(prefs, *rig.audio);
    EXPECT_EQ(rig.audio->PlaybackDevice(), 0);
    EXPECT_EQ(rig.audio->RecordDevice(), 0);
    rig.audio->SetPlaybackDevice(-1);
    rig.audio->SetRecordDevice(3);
    StoreDeviceChoice(prefs, *rig.audio);
    EXPECT_EQ(prefs.GetInt(2), -1);
    EXPECT_EQ(prefs.GetInt(1), 3);

    ByteWriter w;
    prefs.WriteBlock(w);
    CPrefs loaded;
    ByteReader r(w.Data());
    ASSERT_TRUE(loaded.ReadBlock(r));
    rig.audio->SetPlaybackDevice(7);
    rig.audio->SetRecordDevice(7);
    LoadDeviceChoice(loaded, *rig.audio);
    EXPECT_EQ(rig.audio->PlaybackDevice(), -1);
    EXPECT_EQ(rig.audio->RecordDevice(), 3);
}
