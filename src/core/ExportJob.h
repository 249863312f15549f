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
#include <memory>
#include <string>
#include <vector>

#include "export/ExportSettings.h"
#include "loudness/LoudnessMeter.h"

class CCore;
class CRegion;
class RenderCapture;

// One line of the "Export Audio Report".
struct ExportReportLine {
    std::string file;   // the file the user gets (the encoded one for an external encoder)
    std::string result; // "OK …" or the failure
    bool ok = false;
    int64_t frames = 0; // frames rendered
    float peak = 0.0f;  // largest absolute sample rendered (before the writer's conversion)
    // A loudness export measures what it wrote: integrated loudness (LUFS) and true peak (dBTP).
    bool measured = false;
    double integrated = -LoudnessFigures::kSilence;
    double truePeak = -LoudnessFigures::kSilence;
    double gainDb = 0.0;      // the loudness gain the file was rendered with
    bool ceilingHeld = false; // the limiter's ceiling kept it short of the target
};

class ExportJob {
public:
    static constexpr const char* kVTapeEmpty =
        "List empty. Please drag some region\nto the strip at the screen bottom.";
    static constexpr const char* kNoSelection = "No region selected.";
    static constexpr const char* kReportCaption = "Export Audio Report";
    static constexpr const char* kNoAudio = "Can't read the region's audio file.";
    static constexpr const char* kCantMeasure = "Can't measure loudness at this sample rate.";
    static constexpr const char* kWouldOverwriteLibrary = "Would overwrite a library file.";
    static constexpr const char* kWouldOverwriteExport = "Would overwrite a file written earlier in this export.";

    explicit ExportJob(CCore& core);

    // Runs with the main timer off; the window passes how (false stops it, true restarts).
    void SetMainTimerHook(std::function<void(bool on)> hook) { m_mainTimer = std::move(hook); }
    // The snaps applied are the edit mode's (the current snap) or the browse mode's.
    void SetEditMode(bool on) { m_editMode = on; }

    // A loudness export renders each item through the whole chain once, to measure it, and
    // every render of its file from what that render kept ahead of the limiter (the default).
    // Off, every render runs the whole chain; the files are the same either way.
    void SetReuseRenders(bool on) { m_reuseRenders = on; }

    // The export command's checks before the form: only while the transport is stopped (else
    // nothing happens), and with regions to export (else the source's message). True when
    // the form may be shown.
    bool MayStart(ExportSource source, size_t count) const;

    // The form's "Export": prepares the output folder (its messages), then runs the item loop
    // over the regions when the transport is stopped. showReport is the "Show 'Export Audio'
    // Reports" setting; the report's check box writes its opposite back. False when nothing
    // was exported because of a message or a busy transport.
    bool Export(const ExportChoice& choice, const std::vector<CRegion*>& regions, bool& showReport);

    // "Measure Loudness": each region rendered through the chain with its snap, as an export
    // would render it, into a meter and no file, under the double progress dialog; the report
    // gets a line per region (cleared first, not shown). figures[i] is region i's, measured[i]
    // whether it was. False when nothing ran (a busy transport) or the abort was pressed.
    bool MeasureRegions(const std::vector<CRegion*>& regions, std::vector<LoudnessFigures>& figures,
                        std::vector<bool>& measured);

    // A loudness export's figures of all its files together (the album), after the export.
    const LoudnessFigures& AlbumFigures() const { return m_album; }

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

    // How close a loudness export must come to its target, and how many renders of a file (or
    // of the album) it may spend getting there.
    static constexpr double kLoudnessTolerance = 0.2;
    static constexpr int kLoudnessPasses = 6;

private:
    // meter, when given, measures what is written (a loudness export); replay, when usable,
    // is the item's capture, from which the file is rendered instead of through the chain.
    bool RenderItem(const CRegion& region, int32_t i, int32_t n, const ExportSettings& s, const ExportChoice& c,
                    ExportReportLine& line, bool& aborted, LoudnessMeter* meter = nullptr,
                    RenderCapture* replay = nullptr);
    // Renders the item through the chain at the loudness gain without writing anything, into
    // meter (integrated loudness only), and into capture when given (usable afterwards when the
    // whole item was taken). False when the abort was pressed before it began.
    bool MeasureItem(const CRegion& region, int32_t i, int32_t n, const ExportSettings& s, LoudnessMeter& meter,
                     bool& aborted, int what = kLoudnessIntegrated | kLoudnessStreaming | kLoudnessParallel,
                     RenderCapture* capture = nullptr);
    // A lossy file's figures as its decoder gives them back (its meter then holds them).
    void MeasureWritten(const ExportSettings& s, ExportReportLine& line, LoudnessMeter& meter);
    // The item loop of a loudness export, per file or as an album; lines go to m_lines.
    void ExportLoudness(const ExportChoice& c, const ExportSettings& s, const std::vector<CRegion*>& regions);
    void ExportLoudnessPerFile(const ExportChoice& c, const ExportSettings& s, const std::vector<CRegion*>& regions);
    void ExportLoudnessAlbum(const ExportChoice& c, const ExportSettings& s, const std::vector<CRegion*>& regions);
    // A capture for an item's measuring render, or null when renders are not reused.
    std::unique_ptr<RenderCapture> NewCapture() const;
    // The gain the next render applies ahead of the limiter, and the trim of the limiter's
    // ceiling (dB, at most 0).
    void SetLoudnessGain(double db, double trimDb = 0.0);
    // The ceiling the last render was held to: the limiter's, or full scale for a bypassed chain.
    double CeilingDb() const;
    // Starts a meter for an item's file: its channels and the region's rate.
    bool StartMeter(const CRegion& region, const ExportSettings& s, int what, LoudnessMeter& meter) const;
    bool RunEncoder(int32_t index, const std::string& wav, const std::string& out, int32_t kbps, std::string& report);
    // Why the item's file must not be written, or "" when it may.
    const char* Refusal(const std::string& path) const;

    CCore& m_core;
    std::function<void(bool)> m_mainTimer;
    bool m_editMode = false;
    bool m_reuseRenders = true;
    std::vector<ExportReportLine> m_lines;
    std::string m_output;
    // Nothing an export writes may land on these: the files of the library's samples (their
    // audio and peak files), and the files this export has already written.
    FileSet m_libraryFiles;
    FileSet m_written;
    LoudnessFigures m_album;
    // With "Bypass All" engaged the chain passes audio untouched; a loudness export's gain is
    // then applied by the render target itself.
    float m_targetGain = 1.0f;
};
