#pragma once
// A file of our own making beside others: a writer's intermediate or temporary file. It is
// created exclusively, so a file that was there before (a person's own, a library file, an
// earlier export) is never opened, written over or later deleted as if it were ours.
//
// Threading: any thread; nothing here keeps state.

#include <string>

// Creates "<stem><suffix>" in folder when no file of that name is there and plainAllowed, else
// "<stem>.XXXXXX<suffix>" with a random part. The file is empty, readable like any other file
// written here (0644), and open for reading and writing: the descriptor is returned (the caller closes
// it), name gets the file's name within folder. -1 when none can be made (errno says why).
int CreateFreshFile(const std::string& folder, const std::string& stem, const std::string& suffix, bool plainAllowed,
                    std::string& name);
