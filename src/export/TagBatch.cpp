#include "export/TagBatch.h"

#include <cctype>
#include <cstdio>

#include "audiofile/Id3Tag.h"
#include "common/FixedText.h"
#include "library/CRegion.h"
#include "library/CRegionList.h"

std::string YearBoxText(int32_t year) {
    if (year < 1 || year > 9999) return "";
    char text[16];
    std::snprintf(text, sizeof text, "%4d", static_cast<int>(year));
    return text;
}

TagValues TakeTagBoxes(const TagDialogAnswer& a) {
    TagValues v;
    v.title = CutUtf8(a.title, 63);
    v.artist = CutUtf8(a.artist, 63);
    v.album = CutUtf8(a.album, 63);
    v.genre = CutUtf8(a.genre, 31);
    size_t i = 0;
    while (i < a.year.size() && a.year[i] == ' ') ++i;
    int32_t y = 0;
    size_t digits = 0;
    while (i < a.year.size() && std::isdigit(static_cast<unsigned char>(a.year[i])) && digits < 4) {
        y = y * 10 + (a.year[i] - '0');
        ++i;
        ++digits;
    }
    v.year = y;
    return v;
}

void WriteTags(CRegion& region, const TagValues& v) {
    region.SetTitle(v.title);
    region.SetArtist(v.artist);
    region.SetAlbum(v.album);
    region.SetGenre(v.genre);
    region.SetYear(v.year);
}

void WriteNonEmptyTags(CRegion& region, const TagValues& v) {
    if (!v.title.empty()) region.SetTitle(v.title);
    if (!v.artist.empty()) region.SetArtist(v.artist);
    if (!v.album.empty()) region.SetAlbum(v.album);
    if (!v.genre.empty()) region.SetGenre(v.genre);
    if (v.year != 0) region.SetYear(v.year);
}

TagDialogFill TagEditSession::Fill(const CRegion& region) const {
    TagDialogFill f;
    f.title = region.GetTitle();
    f.artist = region.GetArtist();
    f.album = region.GetAlbum();
    f.year = YearBoxText(region.GetYear());
    f.genre = region.GetGenre();
    if (!m_last.title.empty()) f.titleOffers.push_back(m_last.title);
    if (!m_last.artist.empty()) f.artistOffers.push_back(m_last.artist);
    if (!m_last.album.empty()) f.albumOffers.push_back(m_last.album);
    const std::string lastYear = YearBoxText(m_last.year);
    if (!lastYear.empty()) f.yearOffers.push_back(lastYear);
    if (!m_last.genre.empty()) f.genreOffers.push_back(m_last.genre);
    for (const std::string& g : GenresSorted()) f.genreOffers.push_back(g);
    return f;
}

bool TagEditSession::Run(const std::vector<CRegion*>& selection, const Ask& ask) {
    bool taken = false;
    for (size_t i = 0; i < selection.size(); ++i) {
        CRegion* r = selection[i];
        if (!r) continue;
        const TagDialogAnswer a = ask(Fill(*r), *r);
        if (a.choice == TagChoice::Cancel) break;
        if (a.choice == TagChoice::WriteToAll) {
            const TagValues v = TakeTagBoxes(a);
            m_last = v;
            for (size_t j = i; j < selection.size(); ++j)
                if (selection[j]) WriteNonEmptyTags(*selection[j], v);
            taken = true;
            break;
        }
        TagValues v;
        if (a.choice == TagChoice::Write) {
            v = TakeTagBoxes(a);
        } else {
            v = {r->GetTitle(), r->GetArtist(), r->GetAlbum(), r->GetGenre(), r->GetYear()};
        }
        m_last = v;
        WriteTags(*r, v);
        taken = true;
    }
    return taken;
}

int RenameRegions(CRegionList& list, const std::vector<CRegion*>& selection,
                  const std::function<RenameAnswer(const CRegion& region)>& ask,
                  const std::function<void(const std::string& message)>& notice) {
    int renamed = 0;
    for (CRegion* r : selection) {
        if (!r) continue;
        const RenameAnswer a = ask(*r);
        if (a.choice == RenameChoice::Cancel) break;
        if (a.choice == RenameChoice::Skip) continue;
        if (a.name.size() > kMaxRegionName) {
            notice(kNameTooLong);
            continue;
        }
        // Out of the list and in again: the list keeps its records sorted by name.
        const bool wasListed = list.Remove(r);
        r->SetName(a.name);
        if (wasListed) list.Insert(r);
        ++renamed;
    }
    return renamed;
}

void ApplyTagEdits(CRegion& region, const TagEdits& e) {
    if (e.title) region.SetTitle(CutUtf8(*e.title, 63));
    if (e.artist) region.SetArtist(CutUtf8(*e.artist, 63));
    if (e.album) region.SetAlbum(CutUtf8(*e.album, 63));
    if (e.genre) region.SetGenre(CutUtf8(*e.genre, 31));
    if (e.year) region.SetYear(*e.year);
    if (e.track) region.SetTrack(*e.track);
}

CRegion* FindRegionById(const CRegionList& list, int32_t id) {
    for (int i = 0; i < list.Count(); ++i) {
        CRegion* r = list.At(i);
        if (r && !r->IsFolder() && r->GetId() == id) return r;
    }
    return nullptr;
}

std::string TagLine(const CRegion& r) {
    return r.GetTitle() + "|" + r.GetArtist() + "|" + r.GetAlbum() + "|" + std::to_string(r.GetYear()) + "|" +
           r.GetGenre() + "|" + std::to_string(r.GetTrack());
}
