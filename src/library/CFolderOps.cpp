#include "library/CFolderOps.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <unordered_set>

#include "common/FolderId.h"
#include "common/UiPort.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"
#include "library/CSample.h"

namespace fs = std::filesystem;

namespace {

bool IsUserFolderId(int32_t id) { return id > 1000; }

std::string LowerCase(const std::string& s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

} // namespace

std::vector<CRegion*> CFolderOps::Content(const CRegionList& list, int32_t folderId, int32_t today, int32_t yesterday,
                                          const std::function<bool(const CRegion&)>& present) {
    std::vector<CRegion*> out;
    auto take = [&](auto&& pick) {
        list.ForEach([&](CRegion* r) {
            if (!r->IsFolder() && pick(*r)) out.push_back(r);
        });
    };
    if (folderId == FolderId::User || IsUserFolderId(folderId)) {
        take([&](const CRegion& r) { return r.GetParentId() == folderId; });
    } else if (folderId == FolderId::Lost) {
        take([&](const CRegion& r) { return !present(r); });
    } else if (folderId == FolderId::Found) {
        take([&](const CRegion& r) { return (r.GetFlags() & RegionFound) != 0; });
    } else if (folderId == FolderId::Today) {
        take([&](const CRegion& r) { return r.GetDate() == today; });
    } else if (folderId == FolderId::Yesterday) {
        take([&](const CRegion& r) { return r.GetDate() >= yesterday; });
    }
    return out;
}

CRegion* CFolderOps::NewFolder(CRegionList& list, int32_t selectedId) {
    if (selectedId != FolderId::User && !IsUserFolderId(selectedId)) return nullptr;
    auto* folder = new CRegion("NewFolder", 0, 0, nullptr, RegionFolder, -1, selectedId);
    list.Insert(folder);
    return folder;
}

bool CFolderOps::DeleteFolder(CRegionList& list, int32_t id, bool transportStopped, UiPort& ui, int32_t& parentOut) {
    if (!transportStopped || !IsUserFolderId(id)) return false;
    CRegion* folder = list.FolderById(id);
    if (!folder) return false;
    if (!list.FolderEmpty(id)) {
        ui.Notice(kNotEmptyMessage);
        return false;
    }
    parentOut = folder->GetParentId();
    list.Delete(folder);
    return true;
}

bool CFolderOps::RenameFolder(CRegionList& list, int32_t id, const std::string& name) {
    if (!IsUserFolderId(id)) return false;
    CRegion* folder = list.FolderById(id);
    if (!folder) return false;
    folder->SetName(name);
    return true;
}

bool CFolderOps::MoveFolder(CRegionList& list, int32_t folderId, int32_t targetId) {
    if (!IsUserFolderId(targetId) || folderId == targetId) return false;
    CRegion* folder = list.FolderById(folderId);
    CRegion* target = list.FolderById(targetId);
    if (!folder || !target || folder->GetParentId() == targetId) return false;
    // Walk up from the target: meeting the folder means the target lies inside it. The walk is
    // bounded so that a damaged chain of parents cannot hold it.
    int32_t id = target->GetParentId();
    for (int steps = 0; steps <= list.Count() + 1 && id != 0; ++steps) {
        if (id == folderId) return false;
        const CRegion* up = list.FolderById(id);
        if (!up) break;
        id = up->GetParentId();
    }
    folder->SetParentId(targetId);
    return true;
}

bool CFolderOps::MoveRegions(CRegionList&, const std::vector<CRegion*>& regions, int32_t targetId) {
    if (targetId != FolderId::User && !IsUserFolderId(targetId)) return false;
    for (CRegion* r : regions) {
        if (!r || r->IsFolder()) continue;
        r->SetParentId(targetId);
        r->SetFlags(r->GetFlags() & ~static_cast<uint32_t>(RegionFound));
    }
    return true;
}

std::vector<std::string> CFolderOps::ScanUnclaimed(const CRegionList& list, const std::string& vdiskFolder,
                                                   const std::function<bool(const std::string&)>& readable) {
    std::unordered_set<std::string> claimed;
    list.ForEach([&](CRegion* r) {
        if (r->IsFolder() || !r->GetSample() || !r->GetSample()->IsStored()) return;
        claimed.insert(LowerCase(r->GetSample()->GetFileName()));
    });
    std::vector<std::string> collected;
    std::error_code ec;
    fs::directory_iterator it(vdiskFolder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code e2;
        if (it->is_directory(e2)) continue;
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '_') continue;
        if (claimed.count(LowerCase(name))) continue;
        const auto size = it->file_size(e2);
        if (e2) continue;
        if (size < 1024 && !(readable && readable(it->path().string()))) {
            fs::remove(it->path(), e2);
        } else {
            collected.push_back(name);
        }
    }
    std::sort(collected.begin(), collected.end());
    return collected;
}

int CFolderOps::RecoverFound(const std::vector<std::string>& files, const std::string& vdiskFolder, UiPort& ui,
                             const FoundImport& import, std::vector<std::pair<std::string, std::string>>* lines) {
    if (files.empty()) return 0;
    int recovered = 0;
    const int n = static_cast<int>(files.size());
    ui.ProgressOpen(true);
    for (int i = 0; i < n; ++i) {
        ui.ProgressText("Recovering file " + std::to_string(i + 1) + " of " + std::to_string(n) + "\n" + files[i]);
        ui.ProgressBar(static_cast<int>(static_cast<int64_t>(i + 1) * 100 / n));
        ui.LetEventsThrough();
        const std::string path = (fs::path(vdiskFolder) / files[i]).string();
        std::string message;
        const bool ok = import(path, message);
        if (lines) lines->emplace_back(files[i], ok ? "OK" : message.empty() ? "Can't open file." : message);
        if (ok) {
            ++recovered;
            continue;
        }
        if (ui.ProgressAborted()) break;
    }
    ui.ProgressClose();
    return recovered;
}

int CFolderIconCycle::Next() {
    m_choice = m_choice % 6 + 1;
    return m_choice;
}

bool CFolderIconCycle::Apply(CRegionList& list, int32_t id) {
    const int choice = Next();
    if (id <= 1000) return false;
    CRegion* folder = list.FolderById(id);
    if (!folder) return false;
    folder->SetFolderIcon(IconFor(choice));
    return true;
}
