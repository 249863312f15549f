#pragma once
// CRegionSearch: the search panel's query over the region list. It sets or clears each
// region's search mark by the operation and hands back the regions whose mark is set, in
// region-list order, for the region browser.
//
// Threading: main thread only, like the region list it reads.

#include <cstdint>
#include <string>
#include <vector>

class CRegion;
class CRegionList;

struct SearchSettings {
    enum Scope { AllFolders = 0, CurrentFolder = 1, CurrentAndSubs = 2 };
    enum Operation {
        ShowMatching = 0,
        AddMatching = 1,
        RemoveMatching = 2,
        ShowNonMatching = 3,
        AddNonMatching = 4,
        RemoveNonMatching = 5
    };
    enum Field { AllFields = 0, RegionName = 1, Title = 2, Artist = 3, Album = 4, Notes = 5, Genre = 6 };

    int scope = AllFolders;
    int operation = ShowMatching;
    std::string text;
    int field = AllFields;
    bool afterOn = false;
    int32_t afterStamp = 0; // date stamp, year × 65536 + month × 256 + day
    bool beforeOn = false;
    int32_t beforeStamp = 0;
    bool longerOn = false;
    int longerSeconds = 0; // minutes × 60 + seconds
    bool shorterOn = false;
    int shorterSeconds = 0;
};

class CRegionSearch {
public:
    // The texts of the panel's choices, in the order of the enums above.
    static const std::vector<std::string>& ScopeNames();
    static const std::vector<std::string>& OperationNames();
    static const std::vector<std::string>& FieldNames();

    // Reads the "99m 99s" edit mask: digits before "m" are minutes, before "s" seconds; blanks
    // count as 0. False when the text is not of that shape.
    static bool ParseLength(const std::string& text, int& seconds);

    // Runs the search with selectedFolder as the current folder and returns every region
    // (folders excluded) whose search mark is set afterwards, in list order.
    static std::vector<CRegion*> Run(CRegionList& list, const SearchSettings& s, int32_t selectedFolder);

    // Whether the region passes the filters (text, dates, lengths), tested in that order.
    static bool Matches(const CRegion& region, const SearchSettings& s, const std::vector<std::string>& words);
    // The text split at spaces, in lower case, empty words dropped (they occur in any field).
    static std::vector<std::string> Words(const std::string& text);
    // The length in seconds, (end − start) ÷ sample rate; 0 without a sample or rate.
    static double LengthSeconds(const CRegion& region);
};
