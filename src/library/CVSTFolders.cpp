#include "library/CVSTFolders.h"

#include "common/ByteIO.h"
#include "common/FixedText.h"

std::string CVSTFolders::Get(int index) const {
    if (index < 0 || index >= Count()) return {};
    return m_folders[static_cast<size_t>(index)];
}

bool CVSTFolders::Add(std::string_view path) {
    if (Count() >= kMaxFolders) return false;
    size_t nul = path.find('\0');
    if (nul != std::string_view::npos) path = path.substr(0, nul);
    m_folders.push_back(CutUtf8(path, kPathSize - 1));
    return true;
}

bool CVSTFolders::Remove(int index) {
    if (index < 0 || index >= Count()) return false;
    m_folders.erase(m_folders.begin() + index);
    return true;
}

void CVSTFolders::WriteBlock(ByteWriter& w) const {
    w.I32(0);
    w.I32(Count());
    for (int i = 0; i < kMaxFolders; ++i) w.Text(i < Count() ? m_folders[static_cast<size_t>(i)] : "", kPathSize);
}

bool CVSTFolders::ReadBlock(ByteReader& r) {
    m_folders.clear();
    if (r.Left() < kBlockSize) {
        r.Fail();
        return false;
    }
    int32_t version = r.I32();
    int32_t count = r.I32();
    std::vector<std::string> paths;
    for (int i = 0; i < kMaxFolders; ++i) paths.push_back(r.Text(kPathSize));
    if (version != 0) return r.Ok();
    if (count < 0) count = 0;
    if (count > kMaxFolders) count = kMaxFolders;
    m_folders.assign(paths.begin(), paths.begin() + count);
    return r.Ok();
}
