// Reading the ban file into the line buffer: terminators, limits and files that cannot be read.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace testing_support;
using BanHandle::LoadOutcome;
using Declares::BanFileLineCount;
using Declares::BanFileLines;

namespace {

std::vector<std::string> LoadedLines() {
    std::vector<std::string> lines;
    for (int slot = 2; slot <= BanFileLineCount; ++slot) {
        lines.push_back(BanFileLines[slot]);
    }
    return lines;
}

void ExpectEmptyTable() {
    EXPECT_EQ(BanFileLineCount, 1);
    EXPECT_EQ(BanFileLines[1], "Beginning of file");
    EXPECT_EQ(Declares::BanRecordCount, 1);
    EXPECT_EQ(Declares::BanRecordTable[2].Ip, "EOF");
    EXPECT_EQ(Declares::BanRecordTable[2].Name, "EOF");
}

TEST(Lines, TerminatorsAndTheLastLine) {
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"empty file", "", {}},
        {"CR LF", "a\r\nb\r\n", {"a", "b"}},
        {"lone LF", "a\nb\n", {"a", "b"}},
        {"lone CR", "a\rb\r", {"a", "b"}},
        {"mixed", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"no terminator at the end", "a\r\nlast", {"a", "last"}},
        {"blank lines kept in place", "\r\n\r\na\r\n\r\n", {"", "", "a", ""}},
        {"CR CR LF is two lines", "a\r\r\n", {"a", ""}},
        {"LF CR is two terminators", "a\n\rb", {"a", "", "b"}},
        {"only a terminator", "\r\n", {""}},
        {"NUL and 8-bit bytes are characters", std::string("a\0b\xff\x80\r\n", 7), {std::string("a\0b\xff\x80", 5)}},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(LoadBytes(c.bytes).ok()) << c.what;
        EXPECT_EQ(BanFileLines[1], "Beginning of file") << c.what;
        EXPECT_EQ(LoadedLines(), c.lines) << c.what;
    }
}

TEST(Lines, ChunkEndsBetweenAnyTwoBytes) {
    // The first chunk ends between CR and LF; one-byte chunks end between every other pair of bytes, and a
    // line longer than MaxStoredLineLength is cut whatever the chunks.
    auto brief = [](std::vector<std::string> lines) { // long lines shown as their first byte and length
        for (auto& line : lines) {
            line = line.size() > 8 ? line.substr(0, 1) + "*" + std::to_string(line.size()) : line;
        }
        return lines;
    };
    auto& buffer = Declares::BanFileReadBuffer;
    const std::size_t usual = buffer.size();
    const std::size_t cut = Declares::MaxStoredLineLength;
    for (std::size_t chunk : {std::size_t(1), std::size_t(2), std::size_t(3), std::size_t(7), cut, cut + 2, usual}) {
        buffer.assign(chunk, '\0');
        const std::string head(std::max<std::size_t>(chunk - 1, 1), 'h');
        const std::string bytes = head + "\r\n\r\nc\rd\n\r\n\ne\r\r" + std::string(cut + 5, 'f') + "\r\ng";
        EXPECT_TRUE(LoadBytes(bytes).ok()) << chunk;
        EXPECT_EQ(brief(LoadedLines()),
                  brief({head.substr(0, cut), "", "c", "d", "", "", "e", "", std::string(cut, 'f'), "g"}))
            << chunk;
    }
    buffer.assign(usual, '\0');
}

TEST(Capacity, ExactlyTheBufferAndOneLineMore) {
    std::vector<std::string> lines;
    for (int k = 1; k <= 3500; ++k) {
        lines.push_back("line " + std::to_string(k));
    }
    std::vector<std::string> full(lines.begin(), lines.begin() + 2999);

    LoadOutcome outcome = LoadBytes(CrLf(full));
    EXPECT_TRUE(outcome.ok());
    EXPECT_EQ(BanFileLineCount, 3000);
    EXPECT_EQ(BanFileLines[3000], "line 2999");

    // A trailing terminator after line 2999 is not a 3000th line.
    outcome = LoadBytes(CrLf(full) + "\r\n");
    EXPECT_EQ(outcome.kind, LoadOutcome::Kind::TooManyLines) << "an empty line 3000 is a line";
    outcome = LoadBytes(CrLf(full).substr(0, CrLf(full).size() - 2) + "\r");
    EXPECT_TRUE(outcome.ok());

    std::vector<std::string> over(lines.begin(), lines.begin() + 3000);
    outcome = LoadBytes(CrLf(over));
    EXPECT_EQ(outcome.kind, LoadOutcome::Kind::TooManyLines);
    EXPECT_NE(outcome.reason.find("2999"), std::string::npos);
    EXPECT_EQ(BanFileLineCount, 3000);
    EXPECT_EQ(BanFileLines[3000], "line 2999");

    // The entries among the first 2999 lines are analysed.
    std::vector<std::string> entries(3500, Entry{}.line());
    outcome = LoadBytes(CrLf(entries));
    EXPECT_EQ(outcome.kind, LoadOutcome::Kind::TooManyLines);
    EXPECT_EQ(Declares::BanRecordCount, 3000);
    EXPECT_EQ(Declares::BanRecordTable[3001].Ip, "EOF");
}

TEST(Failures, FilesThatCannotBeLoadedLeaveAnEmptyTable) {
    const auto dir = TempDir() / "a-directory";
    std::filesystem::create_directories(dir);
    struct Case {
        const char* what;
        std::string path;
        LoadOutcome::Kind kind;
        std::string reason;
    } cases[] = {
        {"no path chosen", "", LoadOutcome::Kind::NoFileChosen, ""},
        {"missing file", (TempDir() / "missing.txt").string(), LoadOutcome::Kind::CannotOpen,
         "No such file or directory"},
        {"a directory", dir.string(), LoadOutcome::Kind::CannotOpen, "Is a directory"},
        {"a path through a file", (WriteFile("x", "plain") / "below").string(), LoadOutcome::Kind::CannotOpen,
         "Not a directory"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(LoadBytes(CrLf({Entry{}.line(), Entry{}.line()})).ok());
        Declares::BanFilePath = c.path;
        LoadOutcome outcome = BanHandle::LoadBanFile();
        EXPECT_EQ(outcome.kind, c.kind) << c.what;
        EXPECT_FALSE(outcome.reason.empty()) << c.what;
        if (!c.reason.empty()) {
            EXPECT_EQ(outcome.reason, c.reason) << c.what;
        }
        ExpectEmptyTable();
        EXPECT_TRUE(BanHandle::ReadBanFileForViewer().empty()) << c.what;
    }
}

TEST(Failures, NoPermissionIsReportedEvenWhenStartedAsRoot) {
    const auto path = WriteFile(CrLf({Entry{}.line()}), "secret.txt");
    std::filesystem::permissions(path, std::filesystem::perms::owner_write);
    std::filesystem::permissions(TempDir(), std::filesystem::perms::all);
    // Root reads everything, so the load runs in a child that has given up root.
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        if (getuid() == 0 && setuid(65534) != 0) {
            _exit(3);
        }
        Declares::BanFilePath = path.string();
        LoadOutcome outcome = BanHandle::LoadBanFile();
        const bool right = outcome.kind == LoadOutcome::Kind::CannotOpen && outcome.reason == "Permission denied" &&
                           Declares::BanRecordCount == 1;
        _exit(right ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(Reloading, StaleSlotsAndRowsAreLeftButNeverRowOne) {
    std::vector<std::string> longFile;
    for (int k = 0; k < 10; ++k) {
        longFile.push_back(Entry{.name = "Long" + std::to_string(k)}.line());
    }
    ASSERT_TRUE(LoadBytes(CrLf(longFile)).ok());
    ASSERT_TRUE(LoadBytes(CrLf({Entry{.name = "Short"}.line()})).ok());
    EXPECT_EQ(BanFileLineCount, 2);
    EXPECT_EQ(Declares::BanRecordCount, 2);
    EXPECT_EQ(Declares::BanRecordTable[2].Name, "Short");
    EXPECT_EQ(Declares::BanRecordTable[3].Name, "EOF");
    EXPECT_EQ(Declares::BanRecordTable[1], Declares::BanRecord{});
}

TEST(Viewer, ShowsTheFileAfterTwoHeadLines) {
    struct Case {
        std::string bytes;
        std::vector<std::string> entries;
    } cases[] = {
        {"", {"Beginning of file", ""}},
        {"a\r\n\r\nb", {"Beginning of file", "", "a", "", "b"}},
    };
    for (const auto& c : cases) {
        Declares::BanFilePath = WriteFile(c.bytes).string();
        EXPECT_EQ(BanHandle::ReadBanFileForViewer(), c.entries);
    }
    // At most the lines that were analysed.
    std::vector<std::string> lines(3100, "x");
    Declares::BanFilePath = WriteFile(CrLf(lines)).string();
    EXPECT_EQ(BanHandle::ReadBanFileForViewer().size(), 2u + 2999u);
}

} // namespace
