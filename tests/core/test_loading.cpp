// Reading the ban file into the line buffer: terminators, chunk ends, limits and files that cannot be read.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#endif

using namespace testing_support;
using BanHandle::LoadOutcome;
using Declares::BanFileLineCount;
using Declares::BanFileLines;
using namespace std::string_literals;

namespace {

TEST(Lines, TerminatorsAtAnyChunkEnd) {
    constexpr std::size_t cut = Declares::MaxStoredLineLength;
    // The viewer shows where a long line was cut and how much of it it leaves out.
    auto shown = [](const std::string& line) {
        return line.size() <= cut
                   ? line
                   : line.substr(0, cut) + "\x85 [line cut here: " + std::to_string(line.size() - cut) +
                         (line.size() - cut == 1 ? " more character" : " more characters") + " not shown]";
    };
    struct Case {
        std::string bytes;
        std::vector<std::string> lines; // as in the file
    } cases[] = {
        {"", {}},
        {"\r\n", {""}},
        {"a\r\n\r\nc\rd\n\r\n\ne\r\r\nf\n\r"s + "a\0b\xff\x80\r\nz"s,
         {"a", "", "c", "d", "", "", "e", "", "f", "", "a\0b\xff\x80"s, "z"}},
        {std::string(cut + 5, 'f') + "\r\ng", {std::string(cut + 5, 'f'), "g"}},
        {"g\n" + std::string(cut + 1, 'e'), {"g", std::string(cut + 1, 'e')}}, // cut, and at the end of the file
    };
    auto& buffer = Declares::BanFileReadBuffer;
    const std::size_t usual = buffer.size();
    // One-byte chunks end between every two bytes; the last case puts the end of the first chunk between CR and LF.
    for (std::size_t chunk : {std::size_t(1), std::size_t(2), std::size_t(3), std::size_t(7), cut, usual}) {
        buffer.assign(chunk, '\0');
        const std::string head(std::max<std::size_t>(chunk - 1, 1), 'h');
        for (const auto& c : {cases[0], cases[1], cases[2], cases[3], cases[4], Case{head + "\r\nx", {head, "x"}}}) {
            EXPECT_TRUE(LoadBytes(c.bytes).ok());
            std::vector<std::string> stored, viewer = {"Beginning of file", ""};
            for (const std::string& line : c.lines) {
                stored.push_back(line.substr(0, cut));
                viewer.push_back(shown(line));
            }
            EXPECT_EQ(std::vector(BanFileLines.begin() + 2, BanFileLines.begin() + BanFileLineCount + 1), stored)
                << "chunk " << chunk;
            EXPECT_EQ(BanHandle::ReadBanFileForViewer(), viewer) << "chunk " << chunk;
        }
    }
    buffer.assign(usual, '\0');
}

// 32766 lines: BanRecordCount, 16 bits, reaches 32767 when every line is an entry.
TEST(Capacity, TheFirst32766LinesAreLoadedAndAnalysed) {
    std::vector<std::string> lines;
    for (int k = 1; k <= 32767; ++k) {
        lines.push_back(Entry{.name = "line " + std::to_string(k)}.line());
    }
    const std::string full = CrLf({lines.begin(), lines.end() - 1});
    struct Case {
        const char* what;
        std::string bytes;
        LoadOutcome::Kind kind;
    } cases[] = {
        {"32766 lines", full, LoadOutcome::Kind::Loaded},
        {"a lone CR ends line 32766", full.substr(0, full.size() - 1), LoadOutcome::Kind::Loaded},
        {"an empty line 32767", full + "\r\n", LoadOutcome::Kind::TooManyLines},
        {"32767 lines", CrLf(lines), LoadOutcome::Kind::TooManyLines},
    };
    for (const auto& c : cases) {
        const LoadOutcome outcome = LoadBytes(c.bytes);
        EXPECT_EQ(outcome.kind, c.kind) << c.what;
        EXPECT_EQ(outcome.reason.find("32766") != std::string::npos, !outcome.ok()) << c.what;
        EXPECT_EQ(BanFileLineCount, 32767) << c.what;
        EXPECT_EQ(Declares::BanRecordCount, 32767) << c.what;
        EXPECT_EQ(Declares::BanRecordTable[32767].Name, "line 32766") << c.what;
        EXPECT_EQ(Declares::BanRecordTable[32768].Ip, "EOF") << c.what;
        EXPECT_EQ(BanHandle::ReadBanFileForViewer().size(), 2u + 32766u) << c.what;
    }
}

TEST(Failures, FilesThatCannotBeLoadedLeaveAnEmptyTable) {
    const auto dir = TempDir() / "a-directory";
    std::filesystem::create_directories(dir);
#ifndef _WIN32
    const auto fifo = (TempDir() / "a-fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto socketPath = (TempDir() / "a-socket").string();
    const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{AF_UNIX, {}};
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
#endif
    struct Case {
        std::string path;
        LoadOutcome::Kind kind;
        std::string reason;
    } cases[] = {
        {"", LoadOutcome::Kind::NoFileChosen, ""}, // a reason of its own
        {(TempDir() / "missing.txt").string(), LoadOutcome::Kind::CannotOpen, std::strerror(ENOENT)},
        {dir.string(), LoadOutcome::Kind::CannotOpen, "is a directory"},
#ifdef _WIN32
        {(WriteFile("x", "plain") / "below").string(), LoadOutcome::Kind::CannotOpen, std::strerror(ENOENT)},
#else
        {(WriteFile("x", "plain") / "below").string(), LoadOutcome::Kind::CannotOpen, std::strerror(ENOTDIR)},
        {fifo, LoadOutcome::Kind::CannotOpen, "is a FIFO"},         // with no writer: reading it would wait forever
        {socketPath, LoadOutcome::Kind::CannotOpen, "is a socket"}, // which cannot even be opened
#endif
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(LoadBytes(CrLf({Entry{}.line(), Entry{}.line()})).ok());
        Declares::BanFilePath = c.path;
        const LoadOutcome outcome = BanHandle::LoadBanFile();
        EXPECT_EQ(outcome.kind, c.kind) << c.path;
        EXPECT_TRUE(!outcome.reason.empty() && (c.reason.empty() || outcome.reason == c.reason)) << outcome.reason;
        EXPECT_EQ(BanFileLineCount, 1);
        EXPECT_EQ(BanFileLines[1], "Beginning of file");
        EXPECT_EQ(Declares::BanRecordCount, 1);
        EXPECT_EQ(Declares::BanRecordTable[2].Name, "EOF");
        EXPECT_TRUE(BanHandle::ReadBanFileForViewer().empty()) << c.path;
    }
}

} // namespace
