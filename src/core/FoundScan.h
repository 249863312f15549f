#pragma once
// The scan of the "Found" folder: audio files lying in the VDisk that no sample of the library
// claims (left by an aborted operation, a database restored from a backup, or a database that
// was lost) come back as stored samples whose root regions carry the Found flag. The window
// runs it when "Found" is selected; sonquil-cli's recover command runs it on a library.
//
// Nothing a reader of ours opens is ever deleted: only an unclaimed file under 1,024 bytes that
// no reader opens goes. A file that does not come back stays where it lies.
//
// Threading: main thread only.

#include <string>
#include <utility>
#include <vector>

class CCore;
class CImporter;

struct FoundScanResult {
    // False when nothing was done: an import or link is under way (its file in the VDisk has
    // no sample yet), the transport is not stopped (a recording writes into the VDisk), a take
    // is not yet a sample, or the
    // library has no VDisk folder.
    bool ran = false;
    int recovered = 0;
    // One line per file tried: its name and "OK" or the message.
    std::vector<std::pair<std::string, std::string>> lines;
};

// The scan with its progress dialog; importer makes the samples (and must not be busy).
FoundScanResult RunFoundScan(CCore& core, CImporter& importer);

// Whether a reader of ours opens the file (a raw file, whose layout only a person can name,
// counts as readable).
bool ReaderOpens(const std::string& path);
