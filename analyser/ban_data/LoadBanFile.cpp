#include "BanHandle.h"
#include "Declares.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

namespace BanHandle {
namespace {

struct ReadResult {
    std::size_t lines = 0;
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

// Reads at most maxLines lines through buffer, a chunk of its size at a time, handing line k (from 0) to
// lineAt(k) to be filled. CR LF, a lone CR and a lone LF each end a line, also when a chunk ends between
// CR and LF; a last line without a terminator counts. A stored line is cut at MaxStoredLineLength and the
// rest of it skipped, so memory stays bounded whatever the file holds.
template <class LineAt>
ReadResult ReadLines(const std::string& path, std::span<char> buffer, std::size_t maxLines, LineAt lineAt) {
    ReadResult result;
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        result.error = errno != 0 ? errno : ENOENT;
        return result;
    }
    std::string* line = nullptr; // the line being read, once it has a first character
    bool pendingCr = false;      // a CR ended the previous chunk; a LF at the next chunk's start belongs to it

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
            const char* t = FindTerminator(p, end);
            const std::size_t room = Declares::MaxStoredLineLength - line->size();
            line->append(p, std::min(room, static_cast<std::size_t>(t - p)));
            if (t == end) {
                break;
            }
            ++result.lines;
            line = nullptr;
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
        ++result.lines;
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
        // File line k goes straight into slot k + 2, reusing the storage an earlier load gave it.
        const ReadResult read = ReadLines(Declares::BanFilePath, Declares::BanFileReadBuffer, Declares::MaxBanFileLines,
                                          [](std::size_t k) -> std::string& { return BanFileLines[k + 2]; });
        if (read.error != 0) {
            outcome.kind = LoadOutcome::Kind::CannotOpen;
            outcome.reason = Describe(read.error);
        } else {
            Declares::BanFileLineCount = static_cast<std::int32_t>(read.lines) + 1;
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
    std::vector<std::string> entries{"Beginning of file", ""};
    const ReadResult read = ReadLines(Declares::BanFilePath, Declares::BanFileReadBuffer, Declares::MaxBanFileLines,
                                      [&entries](std::size_t) -> std::string& { return entries.emplace_back(); });
    if (read.error != 0) {
        return {};
    }
    return entries;
}

} // namespace BanHandle
