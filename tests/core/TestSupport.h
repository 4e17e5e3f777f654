// Shared by the core tests: temporary ban files, entry lines in the layout the parser reads, table rows.
#pragma once

#include "BanHandle.h"
#include "Declares.h"

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace testing_support {

// A directory of its own for the test process, removed when it ends.
std::filesystem::path TempDir();

// Writes bytes as given into a fresh file in TempDir().
std::filesystem::path WriteFile(const std::string& bytes, const std::string& name = "bans.txt");

// The bytes of a file in examples/.
std::string ReadSample(const std::string& name);

// Writes the bytes, points BanFilePath at them and loads.
BanHandle::LoadOutcome LoadBytes(const std::string& bytes);

// Joins lines with CR LF, as the game client writes its logs.
std::string CrLf(const std::vector<std::string>& lines);

// Rows 2 to BanRecordCount of the table.
std::vector<Declares::BanRecord> Records();

// One ban entry line. The moderator is padded so that the date begins at dateColumn (0: right after the
// moderator and one separator); the IP is followed by one separator, or two when it is 12 characters or
// longer, so that every field is cut back exactly as given.
struct Entry {
    char mark = '#';
    std::string id = "12";
    char level = '2';
    std::string moderator = "Moderator";
    int dateColumn = 0;
    std::string date = "2004-05-12", days = "30", ip = "10.0.0.1", mid = "12345678", name = "Player";

    std::string line() const;
};

// Fills the table as a parse would: records in rows 2.., end marker after them.
void SetRecords(const std::vector<Declares::BanRecord>& records);

} // namespace testing_support

namespace Declares {
// Readable failures: the nine cells, quoted.
inline void PrintTo(const BanRecord& r, std::ostream* os) {
    *os << "{\"" << r.AccessLevel << "\", \"" << r.StatusMark << "\", \"" << r.Id << "\", \"" << r.By << "\", \""
        << r.Date << "\", \"" << r.Name << "\", \"" << r.Mid << "\", \"" << r.Days << "\", \"" << r.Ip << "\"}";
}
} // namespace Declares
