#pragma once
// Running an external encoder on a rendered WAV file, without a shell.
//
// The argument template is split into words first (blanks separate words; double quotes
// group blanks into a word and are removed), then each placeholder's first occurrence is
// replaced inside its word: %s by the WAV path, %d by the output path, %k by the kbit/s and
// %b by the bit/s. The program is started directly with that argument vector, so nothing in
// a path or a tag (quotes, $, backticks, ;) is ever read by a shell, and a path that itself
// holds "%d" is not replaced a second time.
//
// Threading: any thread; RunExternalEncoder blocks until the program ends. The cancel flag may
// be set from another thread.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct ExtEncoderProfile;

// Words of an argument string: runs of non-blank characters, where a double-quoted part
// (quotes removed) may hold blanks. An unclosed quote runs to the end.
std::vector<std::string> SplitArguments(const std::string& text);

// The argument vector (without the program) for the template.
std::vector<std::string> EncoderArguments(const std::string& argTemplate, const std::string& wavPath,
                                          const std::string& outPath, int32_t kbps);

// The command line as a person reads it: program path, a space, and the template with the
// two paths in double quotes and the numbers in place.
std::string EncoderCommandLine(const ExtEncoderProfile& p, const std::string& wavPath, const std::string& outPath,
                               int32_t kbps);

// RunProgram's result when the cancel flag ended the program.
constexpr int kProgramCanceled = -2;

// Starts program with args (args[0] is not the program; it is added), stdin from /dev/null
// and stdout onto stderr (the tool's report lines stay alone on stdout), and waits. Returns
// the exit status, or -1 when it could not be started or did not exit normally.
//
// The program runs as the leader of a process group of its own, so that ending it reaches
// whatever it started (a script's encoder, a pipeline). When cancel turns true while it runs,
// the group gets SIGTERM and, if still there after graceMs, SIGKILL; the result is then
// kProgramCanceled. A terminal's Ctrl+C no longer reaches the group directly: the caller turns
// it into the cancel flag.
int RunProgram(const std::string& program, const std::vector<std::string>& args,
               const std::atomic<bool>* cancel = nullptr, int graceMs = 2000);

// Runs the profile on wavPath. Success (exit status 0) deletes the WAV file and leaves
// reportText alone; otherwise reportText becomes "External encoder failed, check syntax:"
// with the program path, and the WAV file stays. Canceled through cancel, reportText becomes
// "Canceled." and the item leaves no file: the WAV file goes, and so does the output when the
// encoder had made or changed it.
bool RunExternalEncoder(const ExtEncoderProfile& p, const std::string& wavPath, const std::string& outPath,
                        int32_t kbps, std::string& reportText, const std::atomic<bool>* cancel = nullptr);
