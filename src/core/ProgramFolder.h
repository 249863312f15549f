#pragma once
// Where the program keeps "AudioDB", "Encoders.dat" and "CDDBPrefs.dat": beside its executable
// while that folder is writable (a build tree, a portable folder); for an installed program in
// $XDG_DATA_HOME/Sonquil (~/.local/share/Sonquil by default). A program is installed when its
// folder is not writable, or when it is the "bin" folder of a prefix that holds the program's
// desktop entry (share/applications/sonquil.desktop): an install into ~/.local leaves bin
// writable, and the library does not belong among the executables there.
// The window and sonquil-cli find the library by this same rule.
//
// Threading: any thread; reads the environment and the file system only.

#include <filesystem>

// The folder of the running executable (/proc/self/exe); the current folder if that is unknown.
std::filesystem::path ExecutableFolder();

// Whether the effective user may create files in folder. For root, which may write anywhere,
// only while the folder's permission bits grant a write to someone (a folder made read-only
// stays read-only for root too).
bool FolderWritable(const std::filesystem::path& folder);

// exeFolder is "<prefix>/bin" and "<prefix>/share/applications/sonquil.desktop" exists.
bool InstalledLayout(const std::filesystem::path& exeFolder);

// The folder for the library of a program whose executable lies in exeFolder. Creates the
// per-user folder when it is the one chosen.
std::filesystem::path ProgramDataFolder(const std::filesystem::path& exeFolder);

// sonquil-cli's view of the program's folder: the folder of a "sonquil" executable beside the
// tool, or of the build tree's "../app/sonquil"; else the tool's own folder. The rule above
// then applies to it.
std::filesystem::path ProgramFolderForTool(const std::filesystem::path& toolFolder);
