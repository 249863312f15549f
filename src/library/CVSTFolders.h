#pragma once
// CVSTFolders: the user's list of VST plug-in folders, at most 20 paths of 255 bytes, kept
// in the VST folder block of the database file.
//
// Threading: main thread only.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class ByteReader;
class ByteWriter;

class CVSTFolders {
public:
    static constexpr int kMaxFolders = 20;
    static constexpr int kPathSize = 256;
    static constexpr size_t kBlockSize = 4 + 4 + kMaxFolders * kPathSize;

    int Count() const { return static_cast<int>(m_folders.size()); }
    // "" when index is out of range.
    std::string Get(int index) const;
    // False when 20 folders exist already; a path is cut to 255 bytes.
    bool Add(std::string_view path);
    bool Remove(int index);
    void Clear() { m_folders.clear(); }
    const std::vector<std::string>& Folders() const { return m_folders; }

    // The VST folder block: version 0, count, 20 fields of 256 bytes.
    void WriteBlock(ByteWriter& w) const;
    // Takes the count and paths only when the version word is 0; a count beyond 20 or below 0
    // is bounded to the fields really there. False only when the block is cut short.
    bool ReadBlock(ByteReader& r);

private:
    std::vector<std::string> m_folders;
};
