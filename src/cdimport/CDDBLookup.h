#pragma once
// The CDDB lookup of the disc in the selected drive: the settings go to a libcddb connection
// (server, port, query script, e-mail, client name, proxy and its credentials), the disc's table
// of contents is queried, the person picks one of the matches through the UI port, and the
// chosen disc record is fetched and parsed into the reader's disc information. When no server
// can be reached and a "cdplayer.ini" lies in the program's folder, its entries for the disc are
// offered instead.
//
// Messages (information boxes, empty caption): "Can't connect to remote server.", "No matches.",
// "Can't collect disk info from server."; the match questions are OK/Cancel boxes.
//
// Threading: main thread; the network access blocks it while it runs.

#include <string>

class CCDRip;
class UiPort;
struct CCDDBPrefs;

// Runs the lookup. iniFolder is where "cdplayer.ini" is looked for (the program's folder).
// Returns whether titles were found; without titles the disc information is cleared.
bool RunCDDBLookup(CCDRip& rip, const CCDDBPrefs& prefs, UiPort& ui, const std::string& iniFolder);

// The greeting's user and host from an e-mail address ("user@host"), as CDDB servers want them.
void CDDBHelloParts(const std::string& email, std::string& user, std::string& host);
