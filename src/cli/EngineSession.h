#pragma once
// What the engine commands of sonquil-cli (render, play, devices) share: the core with its
// engine running (and the program's library when a user preset is asked for), the mastering
// chain set from --set and --preset, and a file from outside the library as a transient sample
// and region that the play list can hold. Nothing is ever added to a library.
//
// Threading: main thread only; the engine's threads run inside the core.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cli/Commands.h"

class CCore;
class CRegion;
class CSample;
class CDSPPreset;
class CPresetList;
class LibrarySession;
class MainThreadPort;
class TerminalUiPort;

// One --set KIND:ID=VALUE.
struct ChainSetting {
    int kind = 0, id = 0;
    float value = 0.0f;
};

// One --vst NAME[:PROGRAM][,ID=VALUE...]: a plug-in file name (".so" may be left off), the
// program index from 0 (-1 leaves the plug-in's own), and parameter index = value (0 to 1).
struct VstSetting {
    std::string name;
    int program = -1;
    std::vector<std::pair<int, float>> params;
};

// The chain options of a command, in the order given.
struct ChainOptions {
    std::vector<ChainSetting> settings;
    std::vector<std::string> presets;
    // --vst-folder DIR: where the --vst plug-ins are looked for (else the library's VST folders).
    std::vector<std::string> vstFolders;
    // The plug-ins at the head of the chain, in signal order.
    std::vector<VstSetting> vsts;
};

// "KIND:ID=VALUE", kind 0 to 3, id 0 to 49, value a finite number.
bool ParseChainSetting(const std::string& text, ChainSetting& out);
// "NAME[:PROGRAM][,ID=VALUE...]", PROGRAM and ID whole numbers from 0, VALUE a finite number.
bool ParseVstSetting(const std::string& text, VstSetting& out);
// A whole number in [lo, hi].
bool ParseWholeNumber(const std::string& text, long lo, long hi, long& out);
// Takes "--set V", "--preset V", "--vst-folder V" or "--vst V" at args[i] (advancing i past the value). True when the
// option was one of them; error is set when its value is bad.
bool TakeChainOption(const Args& args, size_t& i, ChainOptions& chain, std::string& error);

// The preset a --preset names: "NAME", or "CATEGORY/NAME" with CATEGORY one of Stacks, EQ,
// Compressor, Stereo Imager, all without regard to case. The first match in list order wins:
// factory presets before user presets, so a plain "Flat" is the factory stack setting.
const CDSPPreset* FindPresetByName(const CPresetList& list, const std::string& name);

class EngineSession {
public:
    EngineSession();
    ~EngineSession();
    EngineSession(const EngineSession&) = delete;
    EngineSession& operator=(const EngineSession&) = delete;

    // Starts the core. A preset that is no factory preset can only be a user preset: then the
    // program's library is opened (read, never saved) to find it. Without sound cards only the
    // null device is listed.
    bool Open(const ChainOptions& chain, bool withSoundCards, std::string& error);
    // Presets first, in order, then the single settings, so a --set refines a preset; then the
    // --vst plug-ins are loaded, in order, at the head of the chain, each with its program and
    // then its parameters. A plug-in that cannot be found or loaded, a program or a parameter it
    // does not have, is an error.
    bool ApplyChain(const ChainOptions& chain, std::string& error);

    CCore& Core();
    TerminalUiPort& Ui();
    MainThreadPort& Port();

private:
    bool ApplyVsts(const ChainOptions& chain, std::string& error);

    std::unique_ptr<TerminalUiPort> m_ui;
    std::unique_ptr<MainThreadPort> m_port;
    std::unique_ptr<CCore> m_core;
    std::unique_ptr<LibrarySession> m_library;
};

// A file from outside the library as the engine plays it: a sample that no list holds and its
// whole-file region. Compressed files whose headers only estimate their length are read once
// to count their frames, as linking them does.
class TransientRegion {
public:
    TransientRegion();
    ~TransientRegion();
    bool Open(const std::string& path, std::string& error);
    CSample& Sample() { return *m_sample; }
    CRegion& Region() { return *m_region; }
    int32_t FormatCode() const { return m_code; }
    int32_t Rate() const { return m_rate; }
    uint32_t Channels() const { return m_channels; }
    int64_t Frames() const { return m_frames; }

private:
    std::unique_ptr<CSample> m_sample;
    std::unique_ptr<CRegion> m_region;
    int32_t m_code = -1, m_rate = 0;
    uint32_t m_channels = 0;
    int64_t m_frames = 0;
};
