#include "library/DbRecords.h"

#include <bit>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "common/ByteIO.h"
#include "library/CDSPPreset.h"
#include "library/CDSPSnapList.h"
#include "library/CMarkersList.h"
#include "library/CParamBlock.h"
#include "library/CPresetList.h"
#include "library/CSample.h"
#include "library/CVSTStatus.h"

namespace DbRecords {

static_assert(sizeof(float) == 4 && std::numeric_limits<float>::is_iec559, "tables are copied as IEEE floats");

namespace {
int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }
} // namespace

void WriteParamBlock(ByteWriter& w, const CParamBlock& p) {
    w.I32(0);
    w.I32(p.kindCount);
    if constexpr (std::endian::native == std::endian::little) {
        // The tables are stored exactly as they sit in memory on this byte order: one copy each.
        w.Bytes(p.kinds, sizeof p.kinds);
        w.Bytes(p.reserved, sizeof p.reserved);
        w.Bytes(p.valueCounts, sizeof p.valueCounts);
        w.Bytes(p.ids, sizeof p.ids);
        w.Bytes(p.values, sizeof p.values);
    } else {
        for (int32_t v : p.kinds) w.I32(v);
        for (int32_t v : p.reserved) w.I32(v);
        for (int32_t v : p.valueCounts) w.I32(v);
        for (int32_t v : p.ids) w.I32(v);
        for (float v : p.values) w.F32(v);
    }
}

bool ReadParamBlock(ByteReader& r, CParamBlock& p) {
    if (!r.Ok() || r.Left() < kParamBlockSize) {
        p.Clear();
        r.Fail();
        return false;
    }
    // Every field is overwritten below, so the block needs no clearing first.
    r.I32();
    // Counts outside their tables would send the processors reading past them.
    p.kindCount = Clamp(r.I32(), 0, CParamBlock::kMaxKinds);
    if constexpr (std::endian::native == std::endian::little) {
        r.Bytes(p.kinds, sizeof p.kinds);
        r.Bytes(p.reserved, sizeof p.reserved);
        r.Bytes(p.valueCounts, sizeof p.valueCounts);
        r.Bytes(p.ids, sizeof p.ids);
        r.Bytes(p.values, sizeof p.values);
        for (int32_t& v : p.valueCounts) v = Clamp(v, 0, CParamBlock::kMaxValues);
    } else {
        for (int32_t& v : p.kinds) v = r.I32();
        for (int32_t& v : p.reserved) v = r.I32();
        for (int32_t& v : p.valueCounts) v = Clamp(r.I32(), 0, CParamBlock::kMaxValues);
        for (int32_t& v : p.ids) v = r.I32();
        for (float& v : p.values) v = r.F32();
    }
    return r.Ok();
}

void WriteVstStatus(ByteWriter& w, const CVSTStatus& s) {
    constexpr int n = CVSTStatus::kMaxEffects;
    w.I32(0);
    w.I32(s.GetEffectCount());
    for (int i = 0; i < n; ++i) w.Text(s.GetSlot(i).name, CVSTStatus::kNameSize);
    for (int i = 0; i < n; ++i) w.I16(s.GetSlot(i).program);
    for (int i = 0; i < n; ++i) w.I16(s.GetSlot(i).flags);
    for (int i = 0; i < n; ++i) w.I32(static_cast<int32_t>(s.GetSlot(i).params.size()));
    for (int i = 0; i < n; ++i) w.I32(static_cast<int32_t>(s.GetSlot(i).chunk.size()));
    for (int i = 0; i < n; ++i)
        for (float v : s.GetSlot(i).params) w.F32(v);
    for (int i = 0; i < n; ++i) {
        const auto& c = s.GetSlot(i).chunk;
        if (!c.empty()) w.Bytes(c.data(), c.size());
    }
}

bool ReadVstStatus(ByteReader& r, CVSTStatus& s) {
    constexpr int n = CVSTStatus::kMaxEffects;
    s.Clear();
    if (r.Left() < kVstHeaderSize) {
        r.Fail();
        return false;
    }
    // Only version 0 exists; another version gives no way to find the end of the block.
    if (r.I32() != 0) {
        r.Fail();
        return false;
    }
    int32_t count = r.I32();
    // The name fields are looked at where they lie (the header's size was checked above); most
    // slots are empty and need no text made for them.
    const char* names = reinterpret_cast<const char*>(r.Here());
    r.Skip(static_cast<size_t>(n) * CVSTStatus::kNameSize);
    int16_t programs[n], flags[n];
    int32_t paramCounts[n], chunkSizes[n];
    for (auto& v : programs) v = r.I16();
    for (auto& v : flags) v = r.I16();
    for (auto& v : paramCounts) v = r.I32();
    for (auto& v : chunkSizes) v = r.I32();
    s.SetEffectCount(count);
    for (int i = 0; i < n; ++i) {
        CVSTStatus::Slot* slot = s.MutableSlot(i);
        // A field filled to its end without a NUL holds no name that fits; cutting it would
        // name another plug-in, so such a slot, like an empty one, keeps the cleared name.
        const char* field = names + static_cast<size_t>(i) * CVSTStatus::kNameSize;
        const void* nul = std::memchr(field, 0, CVSTStatus::kNameSize);
        if (nul && nul != field) s.SetName(i, std::string(field, static_cast<const char*>(nul)));
        slot->program = programs[i];
        slot->flags = flags[i];
    }
    for (int i = 0; i < n; ++i) {
        if (paramCounts[i] <= 0) continue;
        size_t want = static_cast<size_t>(paramCounts[i]);
        if (want > r.Left() / 4) {
            r.Fail();
            return false;
        }
        auto& params = s.MutableSlot(i)->params;
        params.resize(want);
        for (float& v : params) v = r.F32();
    }
    for (int i = 0; i < n; ++i) {
        if (chunkSizes[i] <= 0) continue;
        size_t want = static_cast<size_t>(chunkSizes[i]);
        if (want > r.Left()) {
            r.Fail();
            return false;
        }
        auto& chunk = s.MutableSlot(i)->chunk;
        chunk.resize(want);
        r.Bytes(chunk.data(), want);
    }
    return r.Ok();
}

void WriteSnapRecord(ByteWriter& w, const CDSPSnap& s) {
    w.I32(1);
    w.Text(s.GetName(), CDSPSnap::kNameSize);
    w.I32(0);
    w.I32(s.GetReserved1());
    w.Zeros(64);
    WriteParamBlock(w, s.Params());
    WriteVstStatus(w, s.Vst());
}

bool ReadSnapRecord(ByteReader& r, CDSPSnap& s) {
    if (r.Left() < kSnapHeaderSize) {
        r.Fail();
        return false;
    }
    int32_t version = r.I32();
    s.SetName(r.Text(CDSPSnap::kNameSize));
    r.I32();
    s.SetReserved1(r.I32());
    r.Skip(64);
    if (!ReadParamBlock(r, s.Params())) return false;
    if (version <= 0) s.Vst().Clear();
    else if (!ReadVstStatus(r, s.Vst())) return false; // clears the status itself
    return r.Ok();
}

void WriteSnapBlock(ByteWriter& w, const CDSPSnapList& list) {
    int stored = list.Count() - 1;
    w.I32(1);
    w.I32(list.GetCurrent());
    w.I32(list.GetFavourite());
    w.I32(stored < 0 ? 0 : stored);
    w.Zeros(kReservedBlockArea);
    for (int i = 1; i < list.Count(); ++i) WriteSnapRecord(w, *list.At(i));
}

bool ReadSnapBlock(ByteReader& r, CDSPSnapList& list) {
    int32_t version = r.I32();
    int32_t current = r.I32();
    int32_t favourite = version > 0 ? r.I32() : -1;
    int32_t count = r.I32();
    r.Skip(kReservedBlockArea);
    if (!r.Ok()) return false;
    // Each stored snap takes at least its header and parameter block.
    if (count < 0 || static_cast<size_t>(count) > r.Left() / (kSnapHeaderSize + kParamBlockSize)) {
        r.Fail();
        return false;
    }
    for (int32_t i = 0; i < count; ++i) {
        auto snap = std::make_unique<CDSPSnap>();
        if (!ReadSnapRecord(r, *snap)) return false;
        list.Append(snap.release());
    }
    if (current >= 0 && current < list.Count()) list.SetCurrent(current);
    list.SetFavourite(favourite);
    return true;
}

void WriteMarkerBlock(ByteWriter& w, const CMarkersList& list) {
    w.I32(0);
    w.I32(list.Count());
    w.Zeros(32);
    list.List().ForEach([&](const CMarker* m) {
        w.I64(m->GetPosition());
        w.I32(m->GetRegionId());
        w.I32(m->GetReserved());
        w.I32(m->GetIcon());
        w.Text(m->GetText(), CMarker::kTextSize);
    });
}

bool ReadMarkerBlock(ByteReader& r, CMarkersList& list) {
    r.I32();
    int32_t count = r.I32();
    r.Skip(32);
    if (!r.Ok()) return false;
    if (count < 0 || static_cast<size_t>(count) > r.Left() / kMarkerSize) {
        r.Fail();
        return false;
    }
    for (int32_t i = 0; i < count; ++i) {
        int64_t pos = r.I64();
        int32_t regionId = r.I32();
        int32_t reserved = r.I32();
        int32_t icon = r.I32();
        std::string text = r.Text(CMarker::kTextSize);
        list.Insert(new CMarker(pos, text, reserved, regionId, icon));
    }
    return r.Ok();
}

void WritePresetsBlock(ByteWriter& w, const CPresetList& list) {
    w.I32(0);
    w.I32(list.GetCounter());
    int users = 0;
    list.List().ForEach([&](const CDSPPreset* p) { users += p->IsFactory() ? 0 : 1; });
    w.I32(users);
    w.Zeros(kReservedBlockArea);
    list.List().ForEach([&](const CDSPPreset* p) {
        if (p->IsFactory()) return;
        w.I32(0);
        w.Text(p->GetName(), CDSPPreset::kNameSize);
        w.I32(p->GetId());
        w.I32(p->GetFolder());
        w.I32(p->GetFlags());
        w.Zeros(64);
        WriteParamBlock(w, p->Params());
    });
}

bool ReadPresetsBlock(ByteReader& r, CPresetList& list) {
    if (r.I32() != 0) return r.Ok();
    int32_t counter = r.I32();
    int32_t count = r.I32();
    r.Skip(kReservedBlockArea);
    if (!r.Ok()) return false;
    if (count < 0 || static_cast<size_t>(count) > r.Left() / (kPresetHeaderSize + kParamBlockSize)) {
        r.Fail();
        return false;
    }
    list.SetCounter(counter);
    for (int32_t i = 0; i < count; ++i) {
        auto p = std::make_unique<CDSPPreset>();
        int32_t version = r.I32();
        std::string name = r.Text(CDSPPreset::kNameSize);
        int32_t id = r.I32();
        int32_t folder = r.I32();
        int32_t flags = r.I32();
        r.Skip(64);
        if (version == 0) {
            p->SetName(name);
            p->SetId(id);
            p->SetFolder(folder);
            // A factory preset is never stored; a stray factory bit would make it unsaveable.
            p->SetFlags(flags & ~CDSPPreset::FlagFactory);
        }
        if (!ReadParamBlock(r, p->Params())) return false;
        list.InsertUser(p.release());
    }
    return r.Ok();
}

void WriteSampleRecord(ByteWriter& w, const CSample& s) {
    w.I32(0);
    w.Text(s.GetFileName(), CSample::kNameSize);
    // A stored sample's folder is always the VDisk's, found by serial; the field stays empty.
    w.Text(s.IsStored() ? std::string() : s.GetFolder(), CSample::kNameSize);
    w.I32(s.GetVDiskSerial());
    w.I32(s.GetStored());
    w.I32(s.GetReserved());
    w.I32(s.GetSampleRate());
    w.I64(s.GetFrameCount());
    w.I32(s.GetChannels());
    w.I32(s.GetBits());
    w.I32(s.GetId());
    w.I32(s.GetFormatCode());
    w.I64(s.GetFileSize());
    w.Zeros(48);
}

bool ReadSampleRecord(ByteReader& r, CSample& s, bool& filled) {
    filled = false;
    if (r.Left() < kSampleSize) {
        r.Fail();
        return false;
    }
    if (r.I32() != 0) return r.Skip(kSampleSize - 4);
    s.SetFileName(r.Text(CSample::kNameSize));
    s.SetFolder(r.Text(CSample::kNameSize));
    s.SetVDiskSerial(r.I32());
    s.SetStored(r.I32());
    s.SetReserved(r.I32());
    s.SetSampleRate(r.I32());
    s.SetFrameCount(r.I64());
    s.SetChannels(r.I32());
    s.SetBits(r.I32());
    s.SetId(r.I32());
    s.SetFormatCode(r.I32());
    s.SetFileSize(r.I64());
    r.Skip(48);
    filled = r.Ok();
    return r.Ok();
}

} // namespace DbRecords
