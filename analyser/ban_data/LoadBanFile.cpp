#include "BanHandle.h"
#include "Declares.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace BanHandle {
namespace {

struct LineRead {
    std::vector<std::string> lines;
    bool more = false; // lines beyond the limit exist and were not read
    int error = 0;     // errno of a failed open or read, 0 when the file was read
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The next CR or LF in [p, end), or end.
const char* FindTerminator(const char* p, const char* end) {
    const auto* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    const char* limit = lf ? lf : end;
    const auto* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<std::size_t>(limit - p)));
    return cr ? cr : limit;
}

// Reads at most maxLines lines. CR LF, a lone CR and a lone LF each end a line; a last line without
// a terminator counts. A stored line is cut at MaxStoredLineLength, the rest of it is skipped, so
// memory stays bounded whatever the file holds.
LineRead ReadLines(const std::string& path, std::size_t maxLines) {
    LineRead result;
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        result.error = errno != 0 ? errno : ENOENT;
        return result;
    }
    std::vector<char> buffer(1 << 20);
    std::string line;
    bool lineStarted = false;
    bool pendingCr = false; // a CR ended the previous chunk; a LF at the next chunk's start belongs to it
    bool full = maxLines == 0;

    for (;;) {
        const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), file.get());
        if (n == 0) {
            if (std::ferror(file.get())) {
                result.error = errno != 0 ? errno : EIO;
                result.lines.clear();
                return result;
            }
            break;
        }
        const char* p = buffer.data();
        const char* end = p + n;
        if (pendingCr) {
            pendingCr = false;
            if (*p == '\n') {
                ++p;
            }
        }
        while (p < end) {
            if (full) {
                result.more = true;
                return result;
            }
            const char* t = FindTerminator(p, end);
            if (t > p) {
                lineStarted = true;
                const std::size_t room = Declares::MaxStoredLineLength - line.size();
                line.append(p, std::min(room, static_cast<std::size_t>(t - p)));
            }
            if (t == end) {
                break;
            }
            result.lines.push_back(std::move(line));
            line.clear();
            lineStarted = false;
            p = t + 1;
            if (*t == '\r') {
                if (p == end) {
                    pendingCr = true;
                } else if (*p == '\n') {
                    ++p;
                }
            }
            full = result.lines.size() >= maxLines;
        }
    }
    if (lineStarted) {
        result.lines.push_back(std::move(line));
    }
    return result;
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
        LineRead read = ReadLines(Declares::BanFilePath, Declares::MaxBanFileLines);
        if (read.error != 0) {
            outcome.kind = LoadOutcome::Kind::CannotOpen;
            outcome.reason = Describe(read.error);
        } else {
            for (std::size_t k = 0; k < read.lines.size(); ++k) {
                BanFileLines[k + 2] = std::move(read.lines[k]);
            }
            Declares::BanFileLineCount = static_cast<std::int32_t>(read.lines.size()) + 1;
            if (read.more) {
                outcome.kind = LoadOutcome::Kind::TooManyLines;
                outcome.reason = "has more than 2999 lines; only its first 2999 lines were loaded and analysed, "
                                 "the rest was not";
            }
        }
    }
    ParseBanFile();
    return outcome;
}

std::vector<std::string> ReadBanFileForViewer() {
    if (Declares::BanFilePath.empty()) {
        return {};
    }
    LineRead read = ReadLines(Declares::BanFilePath, Declares::MaxBanFileLines);
    if (read.error != 0) {
        return {};
    }
    std::vector<std::string> entries;
    entries.reserve(read.lines.size() + 2);
    entries.emplace_back("Beginning of file");
    entries.emplace_back();
    for (auto& line : read.lines) {
        entries.push_back(std::move(line));
    }
    return entries;
}

} // namespace BanHandle
