#include "BanHandle.h"
#include "Declares.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <filesystem>
#include <string>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace BanHandle {
namespace {

struct ReadResult {
    std::size_t lines = 0;
    bool more = false;                // lines beyond the limit exist and were not read
    int error = 0;                    // errno of a failed open or read, 0 when the file was read
    const char* notRegular = nullptr; // what the path names instead of a regular file; then error is set too
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Finds the line ends in one chunk. The next LF is remembered between calls: in a file whose lines end in a
// CR alone, looking for it again from every line start would scan the rest of the chunk once per line.
class TerminatorScan {
public:
    TerminatorScan(const char* begin, const char* end) : end_(end), lf_(FindLf(begin)) {}

    // The next CR or LF in [p, end), or end.
    const char* next(const char* p) {
        if (lf_ < p) {
            lf_ = FindLf(p);
        }
        const auto* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(lf_ - p)));
        return cr ? cr : lf_;
    }

private:
    const char* FindLf(const char* p) const {
        const auto* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end_ - p)));
        return lf ? lf : end_;
    }

    const char* end_;
    const char* lf_;
};

#ifdef _WIN32
// BanFilePath is in the ANSI code page, as QFile::encodeName gives it. Opened by its wide form, so that the
// file is found by the name it has rather than by what the C library makes of the bytes. Empty when the path
// cannot be converted.
std::wstring WidePath(const std::string& path) {
    const int length = static_cast<int>(path.size());
    const int wideLength = length == 0 ? 0 : ::MultiByteToWideChar(CP_ACP, 0, path.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    if (wideLength > 0) {
        ::MultiByteToWideChar(CP_ACP, 0, path.data(), length, wide.data(), wideLength);
    }
    return wide;
}

const char* NotRegular(const std::filesystem::file_status& st) {
    using std::filesystem::file_type;
    switch (st.type()) {
    case file_type::regular:
    case file_type::not_found: // fopen says why
    case file_type::none:
    case file_type::unknown:
        return nullptr;
    case file_type::directory:
        return "is a directory";
    case file_type::fifo:
        return "is a FIFO";
    case file_type::socket:
        return "is a socket";
    case file_type::block:
    case file_type::character:
        return "is a device";
    default:
        return "is not a regular file";
    }
}
#else
const char* NotRegular(mode_t mode) {
    if (S_ISREG(mode)) {
        return nullptr;
    }
    if (S_ISDIR(mode)) {
        return "is a directory";
    }
    if (S_ISFIFO(mode)) {
        return "is a FIFO";
    }
    if (S_ISSOCK(mode)) {
        return "is a socket";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "is a device";
    }
    return "is not a regular file";
}
#endif

// Opens path for reading only if it is a regular file: reading a FIFO, a device or a socket can wait
// forever. Otherwise returns null, with notRegular set or errno telling why.
std::FILE* OpenRegularFile(const std::string& path, const char*& notRegular) {
#ifdef _WIN32
    const std::wstring wide = WidePath(path);
    if (wide.empty()) {
        errno = ENOENT;
        return nullptr;
    }
    std::error_code ec;
    notRegular = NotRegular(std::filesystem::status(std::filesystem::path(wide), ec));
    return notRegular ? nullptr : ::_wfopen(wide.c_str(), L"rb");
#else
    // Non-blocking, so that opening a FIFO without a writer returns at once.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // A socket cannot be opened at all (ENXIO, "No such device or address"): name what the path is instead.
        const int error = errno;
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) {
            notRegular = NotRegular(st.st_mode);
        }
        errno = error;
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || (notRegular = NotRegular(st.st_mode)) != nullptr) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (!file) {
        const int error = errno;
        ::close(fd);
        errno = error;
    }
    return file;
#endif
}

// Reads at most maxLines lines through buffer, a chunk of its size at a time, handing line k (from 0) to
// lineAt(k) to be filled. CR LF, a lone CR and a lone LF each end a line, also when a chunk ends between
// CR and LF; a last line without a terminator counts. A stored line is cut at MaxStoredLineLength and the
// rest of it skipped, so memory stays bounded whatever the file holds; once such a line has ended,
// wasCut(line, skipped) hears how many characters were skipped.
template <class LineAt, class WasCut>
ReadResult ReadLines(const std::string& path, std::span<char> buffer, std::size_t maxLines, LineAt lineAt,
                     WasCut wasCut) {
    ReadResult result;
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(OpenRegularFile(path, result.notRegular));
    if (!file) {
        result.error = result.notRegular ? EINVAL : errno != 0 ? errno : ENOENT;
        return result;
    }
    std::string* line = nullptr; // the line being read, once it has a first character
    std::uintmax_t skipped = 0;  // characters of that line beyond MaxStoredLineLength
    bool pendingCr = false;      // a CR ended the previous chunk; a LF at the next chunk's start belongs to it
    auto endLine = [&] {
        ++result.lines;
        if (skipped != 0) {
            wasCut(*line, skipped);
            skipped = 0;
        }
        line = nullptr;
    };

    for (;;) {
        const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), file.get());
        if (n == 0) {
            if (std::ferror(file.get())) {
                result.error = errno != 0 ? errno : EIO;
                result.lines = 0;
                return result;
            }
            break;
        }
        const char* p = buffer.data();
        const char* end = p + n;
        TerminatorScan terminators(p, end);
        if (pendingCr) {
            pendingCr = false;
            if (*p == '\n') {
                ++p;
            }
        }
        while (p < end) {
            if (result.lines >= maxLines) {
                result.more = true;
                return result;
            }
            if (!line) {
                line = &lineAt(result.lines);
                line->clear();
            }
            const char* t = terminators.next(p);
            const std::size_t room = Declares::MaxStoredLineLength - line->size();
            const std::size_t length = static_cast<std::size_t>(t - p);
            line->append(p, std::min(room, length));
            skipped += length - std::min(room, length);
            if (t == end) {
                break;
            }
            endLine();
            p = t + 1;
            if (*t == '\r') {
                if (p == end) {
                    pendingCr = true;
                } else if (*p == '\n') {
                    ++p;
                }
            }
        }
    }
    if (line) {
        endLine();
    }
    return result;
}

// Where the viewer shows a line that was cut, and how much of it it leaves out; Windows-1252, like the file.
std::string CutMarker(std::uintmax_t skipped) {
    return "\x85 [line cut here: " + std::to_string(skipped) + (skipped == 1 ? " more character" : " more characters") +
           " not shown]";
}

std::string Describe(int error) {
    return std::strerror(error);
}

} // namespace

LoadOutcome LoadBanFile() {
    using Declares::BanFileLines;
    LoadOutcome outcome;
    BanFileLines[1] = "Beginning of file";
    Declares::BanFileLineCount = 1;

    if (Declares::BanFilePath.empty()) {
        outcome.kind = LoadOutcome::Kind::NoFileChosen;
        outcome.reason = "no ban file has been chosen yet";
    } else {
        // File line k goes straight into slot k + 2, reusing the storage an earlier load gave it.
        const ReadResult read = ReadLines(
            Declares::BanFilePath, Declares::BanFileReadBuffer, Declares::MaxBanFileLines,
            [](std::size_t k) -> std::string& { return BanFileLines[k + 2]; },
            [](std::string&, std::uintmax_t) {}); // the parser reads 140 columns
        if (read.error != 0) {
            outcome.kind = LoadOutcome::Kind::CannotOpen;
            outcome.reason = read.notRegular ? read.notRegular : Describe(read.error);
        } else {
            Declares::BanFileLineCount = static_cast<std::int32_t>(read.lines) + 1;
            if (read.more) {
                outcome.kind = LoadOutcome::Kind::TooManyLines;
                outcome.reason = "has more than 32766 lines; only its first 32766 lines were loaded and analysed, "
                                 "the rest was not";
            }
        }
    }
    ParseBanFile();
    outcome.downloads = Declares::BanFileDownloads;
    return outcome;
}

std::vector<std::string> ReadBanFileForViewer() {
    if (Declares::BanFilePath.empty()) {
        return {};
    }
    std::vector<std::string> entries{"Beginning of file", ""};
    const ReadResult read = ReadLines(
        Declares::BanFilePath, Declares::BanFileReadBuffer, Declares::MaxBanFileLines,
        [&entries](std::size_t) -> std::string& { return entries.emplace_back(); },
        [](std::string& line, std::uintmax_t skipped) { line += CutMarker(skipped); });
    if (read.error != 0) {
        return {};
    }
    return entries;
}

} // namespace BanHandle
