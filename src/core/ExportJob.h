#pragma once
// ExportJob: the export of regions to files, as the window's "Export..." and "Export All ..."
// and sonquil-cli's export run it. Per region: the play list holds just that region, its DSP
// snap is recalled into the stack, the engine renders end − start + 1 frames through the
// chain into the writer of the chosen format (dithered to the export depth), an external
// encoder turns the intermediate WAV into its own format, and a report line names the file.
//
// The main thread runs the item loop and waits for each render while the transport is
// Rendering; the audio thread writes the file. The two meet in the item's render target: the
// detail bar's value and the abort flag are atomics there, and the main thread moves them
// between the target and the double progress dialog while it waits.
//
// Threading: main thread only (the target's atomics are the one shared state).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "export/ExportSettings.h"

class CCore;
class CRegion;

// One line of the "Export Audio Report".
struct ExportReportLine {
    std::string file;   // the file the user gets (the encoded one for an external encoder)
    std::string result; // "OK …" or the failure
    bool ok = false;
    int64_t frames = 0; // frames rendered
    float peak = 0.0f;  // largest absolute sample rendered (before the writer's conversion)
};

class ExportJob {
public:
    static constexpr const char* kVTapeEmpty =
        "List empty. Please drag some region\nto the strip at the screen bottom.";
    static constexpr const char* kNoSelection = "No region selected.";
    static constexpr const char* kReportCaption = "Export Audio Report";
    static constexpr const char* kNoAudio = "Can't read the region's audio file.";
    static constexpr const char* kWouldOverwriteLibrary = "Would overwrite a library file.";
    static constexpr const char* kWouldOverwriteExport = "Would overwrite a file written earlier in this export.";

    explicit ExportJob(CCore& core);

    // Runs with the main timer off; the window passes how (false stops it, true restarts).
    void SetMainTimerHook(std::function<void(bool on)> hook) { m_mainTimer = std::move(hook); }
    // The snaps applied are the edit mode's (the current snap) or the browse mode's.
    void SetEditMode(bool on) { m_editMode = on; }

    // The export command's checks before the form: only while the transport is stopped (else
    // nothing happens), and with regions to export (else the source's message). True when
    // the form may be shown.
    bool MayStart(ExportSource source, size_t count) const;

    // The form's "Export": prepares the output folder (its messages), then runs the item loop
    // over the regions when the transport is stopped. showReport is the "Show 'Export Audio'
    // Reports" setting; the report's check box writes its opposite back. False when nothing
    // was exported because of a message or a busy transport.
    bool Export(const ExportChoice& choice, const std::vector<CRegion*>& regions, bool& showReport);

    // The lines of the last export, in item order.
    const std::vector<ExportReportLine>& Lines() const { return m_lines; }
    // The output folder of the last export.
    const std::string& OutputFolder() const { return m_output; }

    // A set of files known by what they are, not by how they are named: a symbolic link, a
    // "./" or a second path to the same file is the same file.
    class FileSet {
    public:
        void Clear();
        void Add(const std::string& path);
        bool Holds(const std::string& path) const;

    private:
        struct Identity {
            uint64_t device, inode;
        };
        std::vector<Identity> m_ids;
        std::vector<std::string> m_names; // resolved names, for files that are not there (yet)
    };

private:
    bool RenderItem(const CRegion& region, int32_t i, int32_t n, const ExportSettings& s, const ExportChoice& c,
                    ExportReportLine& line, bool& aborted);
    bool RunEncoder(int32_t index, const std::string& wav, const std::string& out, int32_t kbps, std::string& report);
    // Why the item's file must not be written, or "" when it may.
    const char* Refusal(const std::string& path) const;

    CCore& m_core;
    std::function<void(bool)> m_mainTimer;
    bool m_editMode = false;
    std::vector<ExportReportLine> m_lines;
    std::string m_output;
    // Nothing an export writes may land on these: the files of the library's samples (their
    // audio and peak files), and the files this export has already written.
    FileSet m_libraryFiles;
    FileSet m_written;
};
