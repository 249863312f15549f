#pragma once
// The batch edits of the region browser's selection: "Edit Tags..." and "Rename...". This
// is what the dialogs do to the regions; the dialogs themselves (src/app) only show a fill
// and return the person's answer, so the command-line tool runs the same code.
//
// Threading: main thread only (regions and the region list are main-thread objects).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CRegion;
class CRegionList;

// What the tag dialog shows for one region.
struct TagDialogFill {
    std::string title, artist, album, year, genre; // the box texts
    // Drop-down entries: the value remembered from the last write, when there is one; the
    // genre box offers it first, above the whole genre list sorted alphabetically.
    std::vector<std::string> titleOffers, artistOffers, albumOffers, yearOffers, genreOffers;
};

enum class TagChoice { Write, Skip, Cancel, WriteToAll };

struct TagDialogAnswer {
    TagChoice choice = TagChoice::Cancel;
    std::string title, artist, album, year, genre;
};

// Tag values as the dialog takes them from its boxes.
struct TagValues {
    std::string title, artist, album, genre;
    int32_t year = 0;
};

// The box texts as values: texts cut to 63, 63, 63 and 31 bytes (on a character boundary),
// the year the number at the start of its box (0 when none or outside 0..9999).
TagValues TakeTagBoxes(const TagDialogAnswer& a);
// The year box text: "%4d" for 1..9999, else empty.
std::string YearBoxText(int32_t year);

// One run's memory of the last written values, and the batch itself.
class TagEditSession {
public:
    using Ask = std::function<TagDialogAnswer(const TagDialogFill& fill, const CRegion& region)>;

    TagDialogFill Fill(const CRegion& region) const;
    // For each region in order: Write and Skip take values (Skip the region's own) that
    // become the remembered ones; Cancel ends at once; WriteToAll writes the non-empty texts
    // and a non-zero year to this and every later region without asking. Returns whether
    // anything was taken (then the browser and the tape are redrawn).
    bool Run(const std::vector<CRegion*>& selection, const Ask& ask);

    const TagValues& Remembered() const { return m_last; }

private:
    TagValues m_last;
};

// Writes every field of v into the region (texts cut by the region's own setters).
void WriteTags(CRegion& region, const TagValues& v);
// Writes only the non-empty texts and a non-zero year.
void WriteNonEmptyTags(CRegion& region, const TagValues& v);

enum class RenameChoice { Rename, Skip, Cancel };
struct RenameAnswer {
    RenameChoice choice = RenameChoice::Cancel;
    std::string name;
};

constexpr size_t kMaxRegionName = 255;
constexpr const char* kNameTooLong = "Error: Max name size is 255 chars.";

// Asks for each region's new name in order. A name over 255 bytes is refused with notice
// (kNameTooLong) and the region keeps its name; otherwise the region is taken out of the
// list and put in again under its new name, which places it. Returns how many got a new
// name (when any did, the browser and the tape are redrawn).
int RenameRegions(CRegionList& list, const std::vector<CRegion*>& selection,
                  const std::function<RenameAnswer(const CRegion& region)>& ask,
                  const std::function<void(const std::string& message)>& notice);

// Tag changes asked for one region (the command-line tool's "tags"): each present field is
// written, cut like the dialog cuts it; absent fields stay.
struct TagEdits {
    const std::string* title = nullptr;
    const std::string* artist = nullptr;
    const std::string* album = nullptr;
    const std::string* genre = nullptr;
    const int32_t* year = nullptr;
    const int32_t* track = nullptr;
};
void ApplyTagEdits(CRegion& region, const TagEdits& edits);
// The region (not a folder) with that id, or null.
CRegion* FindRegionById(const CRegionList& list, int32_t id);
// One report line of a region's tags: "title|artist|album|year|genre|track".
std::string TagLine(const CRegion& region);
