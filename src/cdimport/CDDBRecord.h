#pragma once
// Readers of what a CDDB server (or a "cdplayer.ini" file) gives back. All of it is outside
// input: every reader bounds what it takes by the bytes really there, never fails on damaged
// text and never allocates by a number it was told.
//
// Threading: none of its own; plain functions.

#include <cstdint>
#include <string>
#include <vector>

#include "cdimport/CDDiscInfo.h"

// One answer to a disc query: the category, the disc id the server files it under, the
// artist and the title (each at most 80 characters). A match read from "cdplayer.ini" has the
// category "cdplayerini".
struct CDDBMatch {
    std::string category;
    std::string discId; // as the server spells it (8 hex digits)
    std::string artist;
    std::string title;
};

inline constexpr const char* kCDPlayerIniCategory = "cdplayerini";

// The album title of a match: its title with the artist cut from its front. Servers send the
// disc title as "artist / album"; the separator goes with the artist.
std::string AlbumTitleOfMatch(const CDDBMatch& match);

// Parses a disc record (the xmcd text, from its first line to the "." line) into info: the
// titles, the year and the genre (the album artist and title come from the match). Lines are
// taken 80 characters at a time, a longer line continuing as the next; a TTITLE line whose
// number repeats the previous one continues that title and is skipped; an empty TTITLE still
// counts its track. True when at least one title was found.
bool ParseCDDBRecord(const std::string& text, CDDiscInfo& info);

// The body of an HTTP answer. False when it is not an HTTP answer with status 200 (status holds
// the code found, 0 for none).
bool HttpAnswerBody(const std::string& answer, std::string& body, int& status);

// The record of a CDDB "read" answer body: the text after a "210" status line. False for any
// other answer.
bool CDDBReadAnswerRecord(const std::string& body, std::string& record);

// "cdplayer.ini": the entries kept for a disc, in file order. A section is an entry for the disc
// when its name is the disc id in hexadecimal (any case, with or without "0x"); it names the
// artist ("artist="), the album ("title=") and the track titles ("0=", "1=", ...).
struct CDPlayerIniEntry {
    std::string artist;
    std::string title;
    std::vector<std::string> tracks;
};
std::vector<CDPlayerIniEntry> ParseCDPlayerIni(const std::string& text, uint32_t discId);
// An entry as a disc record, so that one parser names the tracks whichever way they came.
std::string CDPlayerIniRecord(const CDPlayerIniEntry& entry);
// The match an entry offers.
CDDBMatch CDPlayerIniMatch(const CDPlayerIniEntry& entry, uint32_t discId);
