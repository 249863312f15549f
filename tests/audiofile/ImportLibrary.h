#pragma once

// A library with its VDisk in a temporary folder, for the import tests; the sources live in "in".
#include <filesystem>
#include <string>

#include "audiofile/ImportPipeline.h"
#include "library/CRegionList.h"
#include "library/CSampleList.h"
#include "library/CVDisk.h"
#include "support/ScriptedUiPort.h"
#include "support/TempDir.h"

struct ImportLibrary {
    TempDir dir;
    CSampleList samples;
    CRegionList regions;
    PeakBuffers peaks;
    ScriptedUiPort ui;
    CImporter importer{samples, regions, CVDisk::Table(), peaks, &ui};
    ImportLibrary() {
        std::filesystem::create_directories(dir / "VDisk");
        std::filesystem::create_directories(dir / "in");
        CVDisk::Table().Clear();
        CVDisk::Table().Add(4711, dir.Str());
    }
    ~ImportLibrary() { CVDisk::Table().Clear(); }
    ImportLibrary(const ImportLibrary&) = delete;
    ImportLibrary& operator=(const ImportLibrary&) = delete;
    std::string In() const { return (dir / "in").string(); }
};
