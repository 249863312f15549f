#pragma once
// The library objects the database reads and writes, owned together for a test or benchmark
// (the program's window owns them the same way). Header only: include it where
// sonquil_library is linked.

#include "library/CDatabase.h"

struct TestLibrary {
    CPrefs prefs;
    CVDisk vdisk;
    CSampleList samples;
    CRegionList regions;
    CPresetList presets;
    CVSTFolders vst;
    DbLibrary Lib() { return {&prefs, &vdisk, &samples, &regions, &presets, &vst}; }
};
