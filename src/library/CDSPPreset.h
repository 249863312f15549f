#pragma once
// CDSPPreset: a named setting of the whole stack or of one processor, filed in the preset tree.

#include <cstdint>
#include <string>

#include "library/CParamBlock.h"

// Preset tree node ids: 1 "Stacks", 2 its "Factory", 3 its "User", 4 "EQ", 5, 6, 7 "Compressor",
// 8, 9, 10 "Stereo Imager", 11, 12.
namespace PresetNode {
constexpr int Stacks = 1, StacksFactory = 2, StacksUser = 3;
constexpr int EQ = 4, EQFactory = 5, EQUser = 6;
constexpr int Compressor = 7, CompressorFactory = 8, CompressorUser = 9;
constexpr int Imager = 10, ImagerFactory = 11, ImagerUser = 12;
// A node is a User folder when (n − 1) mod 3 = 2.
inline bool IsUserFolder(int n) { return n >= 1 && n <= 12 && (n - 1) % 3 == 2; }
// 0 stack, 1 EQ, 2 compressor, 3 stereo imager; −1 outside the tree.
inline int Category(int n) { return n >= 1 && n <= 12 ? (n - 1) / 3 : -1; }
} // namespace PresetNode

// Processor kinds of the parameter block.
namespace ParamKind {
constexpr int Valve = 0, EQ = 1, Compressor = 2, Imager = 3;
}

class CDSPPreset {
public:
    static constexpr int kNameSize = 256;
    enum : int32_t { FlagFactory = 0x01, FlagUser = 0x02 };

    CDSPPreset() : m_name("Unnamed") {}
    CDSPPreset(const std::string& name, int32_t id, int32_t folder, int32_t flags);

    const std::string& GetName() const { return m_name; }
    void SetName(const std::string& name); // cut to 255 bytes
    int32_t GetId() const { return m_id; }
    void SetId(int32_t id) { m_id = id; }
    int32_t GetFolder() const { return m_folder; }
    void SetFolder(int32_t folder) { m_folder = folder; }
    int32_t GetFlags() const { return m_flags; }
    void SetFlags(int32_t flags) { m_flags = flags; }
    bool IsFactory() const { return (m_flags & FlagFactory) != 0; }
    bool IsUser() const { return (m_flags & FlagUser) != 0; }
    CParamBlock& Params() { return m_params; }
    const CParamBlock& Params() const { return m_params; }

    // The "Flat" list of one processor kind appended to block, in its fixed order.
    static bool AppendFlat(CParamBlock& block, int kind);
    // All four "Flat" lists: the "Flat" stack setting.
    static void FillFlatStack(CParamBlock& block);

private:
    std::string m_name;
    int32_t m_id = 0;
    int32_t m_folder = 0;
    int32_t m_flags = 0;
    CParamBlock m_params;
};
