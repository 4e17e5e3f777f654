// Loading, parsing, searching and comparing ban data. Every procedure works on the shared data in
// Declares and returns what it finds; the windows only display it.
#pragma once

#include "Declares.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
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

// Walks BanFileLines[1..BanFileLineCount] and rebuilds the table up to its end marker row: one record per entry
// line, in file order, except that a ban number listed by several downloads keeps only its latest download's
// listings. Sets BanFileDownloads.
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

// The records matching the query under Declares::SearchMode, in table order; nothing when no mode is set. The
// query's blanks are dropped where the mode drops the row's: leading ones for IP, both ends for MID and Moderator.
std::vector<SearchMatch> SearchBanTable(const std::string& query);

// Lines kept back to back in one text: a report of hundreds of thousands of lines then costs two allocations
// instead of one per line, and a line that recurs (a separator, the second match of a machine id) is stored once.
class ReportLines {
public:
    // Where a line's characters are in the text; can stand for several lines.
    struct Span {
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
    };

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = std::string_view;

        const_iterator() = default;
        const_iterator(const ReportLines* lines, std::size_t k) : lines_(lines), k_(k) {}
        std::string_view operator*() const { return (*lines_)[k_]; }
        const_iterator& operator++() {
            ++k_;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++k_;
            return before;
        }
        bool operator==(const const_iterator& other) const { return k_ == other.k_; }

    private:
        const ReportLines* lines_ = nullptr;
        std::size_t k_ = 0;
    };

    std::size_t size() const { return spans_.size(); }
    bool empty() const { return spans_.empty(); }
    std::string_view operator[](std::size_t k) const { return {text_.get() + spans_[k].offset, spans_[k].length}; }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, spans_.size()}; }

    // Each line as a string of its own, for code that wants them so (a list box decodes them one by one).
    std::vector<std::string> strings() const { return {begin(), end()}; }
    bool operator==(const std::vector<std::string>& other) const {
        return std::equal(begin(), end(), other.begin(), other.end());
    }

    // Room for this many lines and characters, so that building them allocates nothing more.
    void reserve(std::size_t lines, std::size_t characters) {
        spans_.reserve(lines);
        if (characters > capacity_) {
            Regrow(characters);
        }
    }
    // Stores the characters of one line made of parts, without listing it yet. Copied part by part into room
    // made once for the line: the report stores some hundred thousand lines of a dozen parts each.
    template <class... Parts> Span store(const Parts&... parts) {
        const std::size_t length = (std::string_view(parts).size() + ...);
        if (length > capacity_ - size_) {
            Regrow(std::max(2 * capacity_, size_ + length));
        }
        char* out = text_.get() + size_;
        ((out = std::copy_n(std::string_view(parts).data(), std::string_view(parts).size(), out)), ...);
        const Span line{static_cast<std::uint32_t>(size_), static_cast<std::uint32_t>(length)};
        size_ += length;
        return line;
    }
    void push(Span line) { spans_.push_back(line); }
    template <class... Parts> void append(const Parts&... parts) { push(store(parts...)); }

private:
    void Regrow(std::size_t capacity) {
        auto larger = std::make_unique_for_overwrite<char[]>(capacity);
        std::copy_n(text_.get(), size_, larger.get());
        text_ = std::move(larger);
        capacity_ = capacity;
    }

    std::unique_ptr<char[]> text_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    std::vector<Span> spans_;
};

// Report lines of bans sharing a machine id under different names. Marks reported Mid cells "REMOVED".
ReportLines FindRepeatedOffendersByMid();

// Report lines of names banned more than once.
std::vector<std::string> FindRepeatedOffendersByName();

// The raw viewer's entries: "Beginning of file", an empty line, then the file's lines as read by
// LoadBanFile (at most 32766). A line longer than MaxStoredLineLength is shown that far, followed by
// "\x85 [line cut here: N more characters not shown]" (\x85 is Windows-1252's ellipsis). Empty when the file
// cannot be read.
std::vector<std::string> ReadBanFileForViewer();

// Lower-cases A-Z and the Windows-1252 capitals; every other byte is kept.
std::string LowerCase(std::string text);

} // namespace BanHandle
