// Loading, parsing, searching and comparing ban data. Every procedure works on the shared data in
// Declares and returns what it finds; the windows only display it.
#pragma once

#include "Declares.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace BanHandle {

struct LoadOutcome {
    enum class Kind {
        Loaded,       // the whole file was read and parsed
        NoFileChosen, // BanFilePath is empty; the table is empty
        CannotOpen,   // the file could not be read; the table is empty
        TooManyLines, // only the first 32766 lines were read and parsed
    };
    Kind kind = Kind::Loaded;
    std::string reason; // readable, empty when Loaded
    // How many downloads of the ban list the file holds (a game log may hold several, one after another).
    int downloads = 0;

    bool ok() const { return kind == Kind::Loaded; }
};

// The file that LoadBanFile and the viewer read, chosen at start-up and in the chooser.
void SetBanFilePath(std::string path);

// Called after each SetBanFilePath, so the window naming the chosen file follows it; one listener, none when empty.
void SetBanFilePathListener(std::function<void()> listener);

// How SearchBanTable matches; kept for the whole run.
void SetSearchMode(Declares::SearchModeKind mode);

// Reads the file named by Declares::BanFilePath into BanFileLines and parses it into BanRecordTable.
LoadOutcome LoadBanFile();

// Walks BanFileLines[1..BanFileLineCount] and rebuilds the table up to its end marker row.
void ParseBanFile();

// Cuts the fields after the head of the entry line in slot i when its date begins in columns 33 to 40.
void ParseBanEntryLine(int i);

// Cuts the fields after the head of an entry line whose date begins at column d.
void ExtractEntryFields(const std::string& line, int d);

// One search hit: the fields shown by the search window, in its list order.
struct SearchMatch {
    std::string Name;
    std::string Days;
    std::string Ip;
    std::string Date;
    std::string By;
    std::string AccessLevel;
    std::string Id;
    std::string Status; // "Expired", "Still valid", "Unknown Error" or "Unknown Error - 117"

    bool operator==(const SearchMatch&) const = default;
};

// The records matching the query under Declares::SearchMode, in table order; nothing when no mode is set.
std::vector<SearchMatch> SearchBanTable(const std::string& query);

// Report lines of bans sharing a machine id under different names. Marks reported Mid cells "REMOVED".
std::vector<std::string> FindRepeatedOffendersByMid();

// Report lines of names banned more than once.
std::vector<std::string> FindRepeatedOffendersByName();

// The raw viewer's entries: "Beginning of file", an empty line, then the file's lines as read by
// LoadBanFile (at most 32766). Empty when the file cannot be read.
std::vector<std::string> ReadBanFileForViewer();

// Lower-cases A-Z and the Windows-1252 capitals; every other byte is kept.
std::string LowerCase(std::string text);

} // namespace BanHandle
