// The search's lower-case copies of the region texts: they must never answer for a text that
// has changed, a region that moved in the list or one that was replaced at the same address,
// and the search over them must find exactly what a plain find over lower-case copies finds.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "library/CRegionList.h"
#include "library/CRegionSearch.h"
#include "library/CRegionTextIndex.h"
#include "library/CSample.h"

namespace {

std::vector<std::string> Names(const std::vector<CRegion*>& regions) {
    std::vector<std::string> out;
    for (const CRegion* r : regions) out.push_back(r->GetName());
    return out;
}

SearchSettings Words(const std::string& text, int field = SearchSettings::AllFields) {
    SearchSettings s;
    s.text = text;
    s.field = field;
    return s;
}

std::string Lower(std::string v) {
    for (char& c : v)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return v;
}

} // namespace

TEST(SearchIndexTest, ChangedTextsMovedAndReplacedRegionsAreSeenAtOnce) {
    CSample sample("a.wav", "/x", 0, 1, 1000, 2, 16, 1000000, 0, 0, 5);
    CRegionList list;
    CRegion* a = new CRegion("Alpha", 0, 10, &sample, 0, 1, 1);
    CRegion* b = new CRegion("Beta", 0, 10, &sample, 0, 2, 1);
    list.Insert(a);
    list.Insert(b);
    EXPECT_EQ(Names(CRegionSearch::Run(list, Words("alpha"), 1)), std::vector<std::string>{"Alpha"});

    // Each searched text, changed after a search, is found by the next one.
    b->SetNotes("Piano Notes");
    EXPECT_EQ(Names(CRegionSearch::Run(list, Words("piano"), 1)), std::vector<std::string>{"Beta"});
    b->SetTitle("TITLE word");
    b->SetArtist("Artist word");
    b->SetAlbum("album WORD");
    b->SetGenre("GenreWord");
    EXPECT_EQ(Names(CRegionSearch::Run(list, Words("title", SearchSettings::Title), 1)),
              std::vector<std::string>{"Beta"});
    EXPECT_EQ(Names(CRegionSearch::Run(list, Words("artist", SearchSettings::Artist), 1)),
              std::vector<std::string>{"Beta"});
    EXPECT_EQ(Names(CRegionSearch::Run(list, Words("album", SearchSettings::Album), 1)),
              std::vector<std::string>{"Beta"});
    EXPECT_EQ(Names(CRegionSearch::Run(list, Words("genreword", SearchSettings::Genre), 1)),
              std::vector<std::string>{"Beta"});
    // The old notes are gone from the copies too.
    b->SetNotes("nothing");
    EXPECT_TRUE(CRegionSearch::Run(list, Words("piano"), 1).empty());

    // Copying notes and tags from another region counts as a change.
    CRegion* c = new CRegion("Gamma", 0, 10, &sample, 0, 3, 1);
    list.Insert(c);
    EXPECT_TRUE(CRegionSearch::Run(list, Words("artist", SearchSettings::Artist), 1).size() == 1u);
    c->CopyFrom(*b);
    EXPECT_EQ(Names(CRegionSearch::Run(list, Words("artist", SearchSettings::Artist), 1)),
              (std::vector<std::string>{"Beta", "Gamma"}));

    // A region taken out and a new one put in its place: the entry at that position is made again.
    list.Delete(a);
    CRegion* d = new CRegion("Aardvark", 0, 10, &sample, 0, 4, 1);
    list.Insert(d);
    EXPECT_TRUE(CRegionSearch::Run(list, Words("alpha"), 1).empty());
    EXPECT_EQ(Names(CRegionSearch::Run(list, Words("aardvark"), 1)), std::vector<std::string>{"Aardvark"});
    // A shorter list after a deletion: no entry beyond its end is read.
    list.Delete(d);
    list.Delete(c);
    EXPECT_EQ(Names(CRegionSearch::Run(list, Words("beta"), 1)), std::vector<std::string>{"Beta"});
    EXPECT_EQ(list.Count(), 1);
}

// Against the peer the benchmark measures: a plain std::string::find over lower-case copies of
// the same fields, on random texts with letter case, many edits between the searches (which
// also makes the copies' buffer drop its stale bytes) and every field choice.
TEST(SearchIndexTest, FindsWhatAPlainFindOverLowerCaseCopiesFinds) {
    const char* const vocabulary[] = {"Piano", "live", "TAKE", "drums", "Bass", "vox", "pi", "an", "o l", "LiVe"};
    std::mt19937 rng(7);
    auto phrase = [&](int words) {
        std::string s;
        for (int i = 0; i < words; ++i) {
            if (i) s += (rng() % 3 == 0) ? "" : " ";
            s += vocabulary[rng() % 10];
        }
        return s;
    };
    CSample sample("a.wav", "/x", 0, 1, 1000, 2, 16, 1000000, 0, 0, 5);
    CRegionList list;
    std::vector<CRegion*> all;
    for (int i = 0; i < 400; ++i) {
        auto* r = new CRegion(phrase(3) + " " + std::to_string(i), 0, 10, &sample, 0, i + 1, 1);
        r->SetNotes(phrase(5));
        r->SetTitle(phrase(2));
        r->SetArtist(phrase(2));
        r->SetAlbum(phrase(2));
        r->SetGenre(phrase(1));
        all.push_back(r);
    }
    list.InsertAll(all);

    auto peer = [&](const std::vector<std::string>& words, int field) {
        std::vector<std::string> out;
        list.ForEach([&](CRegion* r) {
            std::vector<std::string> texts;
            switch (field) {
            case SearchSettings::RegionName: texts = {r->GetName()}; break;
            case SearchSettings::Title: texts = {r->GetTitle()}; break;
            case SearchSettings::Artist: texts = {r->GetArtist()}; break;
            case SearchSettings::Album: texts = {r->GetAlbum()}; break;
            case SearchSettings::Notes: texts = {r->GetNotes()}; break;
            case SearchSettings::Genre: texts = {r->GetGenre()}; break;
            default: texts = {r->GetName(), r->GetNotes(), r->GetTitle(), r->GetArtist(), r->GetAlbum()};
            }
            for (const std::string& t : texts) {
                bool every = true;
                for (const std::string& w : words) every = every && Lower(t).find(w) != std::string::npos;
                if (every) {
                    out.push_back(r->GetName());
                    return;
                }
            }
        });
        return out;
    };

    const std::vector<std::string> queries = {"piano live", "PIANO", "o l", "an pi", "live take drums", "vox"};
    for (int round = 0; round < 30; ++round) {
        for (int field = SearchSettings::AllFields; field <= SearchSettings::Genre; ++field) {
            const std::string& q = queries[static_cast<size_t>(round) % queries.size()];
            const std::vector<std::string> words = CRegionSearch::Words(q);
            EXPECT_EQ(Names(CRegionSearch::Run(list, Words(q, field), 1)), peer(words, field))
                << "query " << q << " field " << field << " round " << round;
        }
        // Edits between the searches, through every setter.
        for (int k = 0; k < 60; ++k) {
            CRegion* r = list.At(static_cast<int>(rng() % static_cast<unsigned>(list.Count())));
            switch (rng() % 5) {
            case 0: r->SetNotes(phrase(4)); break;
            case 1: r->SetTitle(phrase(2)); break;
            case 2: r->SetArtist(phrase(2)); break;
            case 3: r->SetAlbum(phrase(2)); break;
            default: r->SetGenre(phrase(1)); break;
            }
        }
    }
}

// The copies also hold each region's Folder flag and search mark; a mark or flag set from
// outside the search is seen by the next one.
TEST(SearchIndexTest, MarksAndFolderFlagsSetFromOutsideAreSeen) {
    CSample sample("a.wav", "/x", 0, 1, 1000, 2, 16, 1000000, 0, 0, 5);
    CRegionList list;
    CRegion* a = new CRegion("Alpha", 0, 10, &sample, 0, 1, 1);
    CRegion* b = new CRegion("Beta", 0, 10, &sample, 0, 2, 1);
    list.Insert(a);
    list.Insert(b);
    SearchSettings add = Words("alpha");
    add.operation = SearchSettings::AddMatching;
    EXPECT_EQ(Names(CRegionSearch::Run(list, add, 1)), std::vector<std::string>{"Alpha"});
    EXPECT_EQ(a->GetSearchMark(), 1u);
    // A mark set on the region itself counts for the next "Add matching".
    b->SetSearchMark(1);
    EXPECT_EQ(Names(CRegionSearch::Run(list, add, 1)), (std::vector<std::string>{"Alpha", "Beta"}));
    a->SetSearchMark(0);
    EXPECT_EQ(Names(CRegionSearch::Run(list, Words("zzz", SearchSettings::Genre), 1)), std::vector<std::string>{});
    EXPECT_EQ(b->GetSearchMark(), 0u);
    // A record that becomes a folder is left out of the search from then on.
    b->SetFlags(b->GetFlags() | RegionFolder);
    EXPECT_TRUE(CRegionSearch::Run(list, Words("beta"), 1).empty());
    b->SetFlags(b->GetFlags() & ~static_cast<uint32_t>(RegionFolder));
    EXPECT_EQ(Names(CRegionSearch::Run(list, Words("beta"), 1)), std::vector<std::string>{"Beta"});
    // Searches that change nothing still answer from the copies.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Names(CRegionSearch::Run(list, Words("a"), 1)), (std::vector<std::string>{"Alpha", "Beta"}));
}

// Between two searches more changes than the log of stamps keeps: every region is looked at
// again, and a change among them is not missed.
TEST(SearchIndexTest, MoreChangesThanTheLogKeeps) {
    CSample sample("a.wav", "/x", 0, 1, 1000, 2, 16, 1000000, 0, 0, 5);
    CRegionList list;
    CRegion* a = new CRegion("Alpha", 0, 10, &sample, 0, 1, 1);
    CRegion* b = new CRegion("Beta", 0, 10, &sample, 0, 2, 1);
    list.Insert(a);
    list.Insert(b);
    EXPECT_EQ(CRegionSearch::Run(list, Words("gamma", SearchSettings::Notes), 1).size(), 0u);
    a->SetNotes("gamma");
    for (int i = 0; i < 140000; ++i) b->SetTitle(i % 2 ? "x" : "y");
    EXPECT_EQ(Names(CRegionSearch::Run(list, Words("gamma", SearchSettings::Notes), 1)),
              std::vector<std::string>{"Alpha"});
    // And a few changes after that are found through the log.
    b->SetNotes("gamma too");
    EXPECT_EQ(Names(CRegionSearch::Run(list, Words("gamma", SearchSettings::Notes), 1)),
              (std::vector<std::string>{"Alpha", "Beta"}));
}

TEST(SearchIndexTest, LongTextsAreCopiedWhole) {
    CSample sample("a.wav", "/x", 0, 1, 1000, 2, 16, 1000000, 0, 0, 5);
    CRegionList list;
    auto* r = new CRegion(std::string(250, 'x') + "END", 0, 10, &sample, 0, 1, 1);
    r->SetNotes(std::string(240, 'n') + "TailWord");
    list.Insert(r);
    // The name keeps 255 bytes: "xxx…END" cut after 250 + 3 = 253 bytes, so all of it.
    EXPECT_EQ(CRegionSearch::Run(list, Words("end"), 1).size(), 1u);
    EXPECT_EQ(CRegionSearch::Run(list, Words("tailword", SearchSettings::Notes), 1).size(), 1u);
    // A word that would span the end of the notes and the start of the title is in neither.
    r->SetTitle("Extra");
    EXPECT_TRUE(CRegionSearch::Run(list, Words("wordextra"), 1).empty());
}

// The copies made once the library has loaded (before any search) answer exactly as copies made
// by the first search would, and they follow every change made after they were built: a text
// edited, a region deleted and another put at its place, a new region at the end.
TEST(SearchIndexTest, CopiesBuiltAtLoadFollowLaterChanges) {
    CSample sample("a.wav", "/x", 0, 1, 1000, 2, 16, 1000000, 0, 0, 5);
    CRegionList empty;
    empty.BuildTextIndex();
    EXPECT_TRUE(CRegionSearch::Run(empty, Words("x"), 1).empty());

    CRegionList list;
    std::vector<CRegion*> made;
    for (int i = 0; i < 200; ++i) {
        CRegion* r = new CRegion("Take " + std::to_string(i), 0, 10, &sample, 0, i + 1, 1);
        r->SetNotes(i % 3 == 0 ? "Piano LIVE" : "drums");
        made.push_back(r);
    }
    list.InsertAll(made);
    list.BuildTextIndex();
    EXPECT_EQ(CRegionSearch::Run(list, Words("piano live"), 1).size(), 67u);
    list.BuildTextIndex(); // again, with nothing changed: the same answer
    EXPECT_EQ(CRegionSearch::Run(list, Words("piano live"), 1).size(), 67u);

    list.BuildTextIndex();
    made[1]->SetNotes("live piano");
    list.Delete(made[0]);
    list.Insert(new CRegion("Yankee", 0, 10, &sample, 0, 500, 1));
    list.Insert(new CRegion("Zulu piano live", 0, 10, &sample, 0, 501, 1));
    EXPECT_EQ(CRegionSearch::Run(list, Words("piano live"), 1).size(), 68u);
    EXPECT_EQ(Names(CRegionSearch::Run(list, Words("zulu"), 1)), std::vector<std::string>{"Zulu piano live"});
    EXPECT_EQ(Names(CRegionSearch::Run(list, Words("yankee"), 1)), std::vector<std::string>{"Yankee"});
    EXPECT_EQ(CRegionSearch::Run(list, Words("take"), 1).size(), 199u);
}
