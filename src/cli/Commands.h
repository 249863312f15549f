#pragma once
// The commands of sonquil-cli. Each takes the arguments after its name and returns the exit
// status; errors are one line on stderr (see Fail).
#include <map>
#include <memory>
#include <string>
#include <vector>

class AudioFile;

using Args = std::vector<std::string>;

int ProbeCommand(const Args& args);
int ConvertCommand(const Args& args);
int PeaksCommand(const Args& args);
int RenderCommand(const Args& args);
int ListCommand(const Args& args);
int ImportCommand(const Args& args);
int MarkTracksCommand(const Args& args);
// The Found scan of the library's VDisk; see RecoverCommand.cpp.
int RecoverCommand(const Args& args);
// The EBU R128 loudness of audio files; see LoudnessCommand.cpp.
int LoudnessCommand(const Args& args);
// The engine commands: playback and the device lists.
int PlayCommand(const Args& args);
int DevicesCommand(const Args& args);
// Recording into the library; see RecordCommand.cpp.
int RecordCommand(const Args& args);
// The CD panel: the drive and track lists, and the import of tracks; see CdCommands.cpp.
int CdListCommand(const Args& args);
int CdImportCommand(const Args& args);

// "--name value" options and bare "--flag" switches after the positional arguments.
struct Options {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;
    std::map<std::string, bool> flags;
    bool Has(const std::string& name) const { return values.count(name) != 0; }
};
// flagNames lists the switches that take no value. False with a message on a bad option.
bool ParseOptions(const Args& args, const std::vector<std::string>& valueNames,
                  const std::vector<std::string>& flagNames, Options& out, std::string& error);
// An integer option; false with a message when it is not a whole number in [lo, hi].
bool IntOption(const Options& o, const std::string& name, int lo, int hi, int& value, std::string& error);

// Prints "sonquil-cli: message" and returns 1.
int Fail(const std::string& message);

// Splits a path into folder and name (the folder "." for a bare name); see SplitAudioPath.
void SplitPath(const std::string& path, std::string& folder, std::string& name);

// Opens an audio file for reading by its format (see ProbeAudioFile); raw input takes --rate,
// --channels, --bits, --order le|be and --float from the options. Returns null with a message
// on failure.
std::unique_ptr<AudioFile> OpenInput(const std::string& path, const Options& o, int& formatCode, std::string& error);
