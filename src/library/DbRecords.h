#pragma once
// Field-by-field encoding of the records that the database file keeps: parameter blocks,
// plug-in states, snaps, markers, presets and samples. Each writer emits exactly the record's
// fixed size; each reader bounds every count and size by the bytes left and returns false on a
// cut or damaged record, leaving the reader failed.
//
// Threading: none of their own; callers run them on the main thread.

#include <cstddef>
#include <cstdint>

class ByteReader;
class ByteWriter;
class CDSPSnap;
class CDSPSnapList;
class CMarkersList;
class CPresetList;
class CParamBlock;
class CSample;
class CVSTStatus;

namespace DbRecords {

constexpr size_t kParamBlockSize = 4128;
constexpr size_t kVstHeaderSize = 1224;
constexpr size_t kSnapHeaderSize = 332;
constexpr size_t kPresetHeaderSize = 336;
constexpr size_t kMarkerSize = 148;
constexpr size_t kSampleSize = 612;
constexpr size_t kReservedBlockArea = 8192;

void WriteParamBlock(ByteWriter& w, const CParamBlock& p);
bool ReadParamBlock(ByteReader& r, CParamBlock& p);

void WriteVstStatus(ByteWriter& w, const CVSTStatus& s);
bool ReadVstStatus(ByteReader& r, CVSTStatus& s);

// One stored snap: header, parameter block, plug-in state.
void WriteSnapRecord(ByteWriter& w, const CDSPSnap& s);
bool ReadSnapRecord(ByteReader& r, CDSPSnap& s);

// The snap block of a region: every snap after the first. Only written when the list holds
// more than one snap.
void WriteSnapBlock(ByteWriter& w, const CDSPSnapList& list);
// Appends the stored snaps after the list's own first snap, then restores the stored current
// index (when it names a snap) and favourite index.
bool ReadSnapBlock(ByteReader& r, CDSPSnapList& list);

// The marker block of a region (only written when it has markers).
void WriteMarkerBlock(ByteWriter& w, const CMarkersList& list);
bool ReadMarkerBlock(ByteReader& r, CMarkersList& list);

// The presets block: the user presets only (factory presets are made at start-up).
void WritePresetsBlock(ByteWriter& w, const CPresetList& list);
// Fills list (which should hold no user presets yet) and its counter. A block version other
// than 0 reads nothing further and is not an error.
bool ReadPresetsBlock(ByteReader& r, CPresetList& list);

void WriteSampleRecord(ByteWriter& w, const CSample& s);
// False on a cut record. A record of another version is skipped and filled is false.
bool ReadSampleRecord(ByteReader& r, CSample& s, bool& filled);

} // namespace DbRecords
