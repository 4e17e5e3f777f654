// Config.ini reading and writing: the profile-file rules on content, the file replacement and its failures,
// and the settings procedures on the real path beside the test program.
#include "API.h"
#include "ProfileFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Spill(const fs::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    ASSERT_TRUE(out.good()) << path;
}

std::set<std::string> Entries(const fs::path& directory) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// ---- Reading rules -------------------------------------------------------------------------------------------

struct ReadCase {
    const char* name;
    std::string content;
    std::string section;
    std::string key;
    std::string expected;
};

const std::string S = "Ban file path";

const std::vector<ReadCase> ReadCases = {
    {"plain CR LF", "[Ban file path]\r\nPath=C:\\Logs\\Zone Banlog.txt\r\n", S, "Path", "C:\\Logs\\Zone Banlog.txt"},
    {"LF and no final break", "[Ban file path]\nPath=a", S, "Path", "a"},
    {"CR only", "[x]\rA=1\r[Ban file path]\rPath=a\r", S, "Path", "a"},
    {"names ignore case", "[BAN FILE PATH]\npATH=a\n", S, "Path", "a"},
    {"names in file trimmed", "  \t[  Ban file path \t]  \n  Path \t =  a  b \t\n", S, "Path", "a  b"},
    {"names asked trimmed", "[Ban file path]\nPath=a\n", " Ban file path\t", " Path ", "a"},
    {"case folding is ASCII only", "[\xC4]\nPath=a\n", "\xE4", "Path", ""},
    {"double quotes stripped", "[s]\nPath=\" a b \"\n", "s", "Path", " a b "},
    {"single quotes stripped", "[s]\nPath='a'\n", "s", "Path", "a"},
    {"empty quotes", "[s]\nPath=\"\"\n", "s", "Path", ""},
    {"quote on one side kept", "[s]\nPath=\"a\n", "s", "Path", "\"a"},
    {"mismatched quotes kept", "[s]\nPath=\"a'\n", "s", "Path", "\"a'"},
    {"lone quote kept", "[s]\nPath='\n", "s", "Path", "'"},
    {"inner quotes kept", "[s]\nPath=a\"b\"\n", "s", "Path", "a\"b\""},
    {"quotes then trimmed value", "[s]\nPath=  'a'  \n", "s", "Path", "a"},
    {"value holding =", "[s]\nPath = a=b = c\n", "s", "Path", "a=b = c"},
    {"empty value", "[s]\nPath=\nPath=later\n", "s", "Path", ""},
    {"first key wins", "[s]\nPath=1\npath=2\n", "s", "Path", "1"},
    {"first section wins", "[s]\nPath=1\n[S]\nPath=2\n", "s", "Path", "1"},
    {"later duplicate section not searched", "[s]\nA=1\n[s]\nPath=2\n", "s", "Path", ""},
    {"key in another section", "[t]\nPath=1\n[s]\nA=2\n", "s", "Path", ""},
    {"key before any section", "Path=1\n[s]\n", "s", "Path", ""},
    {"empty section name", "Path=1\n[]\nPath=2\n", "", "Path", ""},
    {"empty key name", "[s]\n=1\n", "s", "", ""},
    {"prefix is not a match", "[s]\nPaths=1\nPat=2\n", "s", "Path", ""},
    {"section prefix is not a match", "[Ban file path 2]\nPath=1\n", S, "Path", ""},
    {"comment line skipped", "[s]\n;Path=1\n  ; Path=2\nPath=3\n", "s", "Path", "3"},
    {"comment never matches", "[s]\n;Path=1\n", "s", ";Path", ""},
    {"line without = ignored", "[s]\nPath\nPath=3\n", "s", "Path", "3"},
    {"unterminated [ ignored, section goes on", "[s]\n[broken\nPath=3\n", "s", "Path", "3"},
    {"unterminated [ is no key", "[s]\n[broken=1\n", "s", "[broken", ""},
    {"text after ] ignored", "[s] ; note\nPath=3\n", "s", "Path", "3"},
    {"name up to the last ]", "[a]b]\nPath=3\n", "a]b", "Path", "3"},
    {"header ends the section", "[s]\n[t]\nPath=3\n", "s", "Path", ""},
    {"NUL bytes are ordinary", "[s]\n\0junk\nPath=a\0b\n"s, "s", "Path", "a\0b"s},
    {"NUL in a name", "[s\0t]\nPa\0th=1\n"s, "s\0t"s, "Pa\0th"s, "1"},
    {"UTF-8 byte order mark", "\xEF\xBB\xBF[s]\r\nPath=a\r\n", "s", "Path", "a"},
    {"Ctrl-Z counts as blank", "[s]\r\nPath=a\x1a\r\n\x1a", "s", "Path", "a"},
    {"blank line between", "[s]\r\n\r\n   \r\nPath=a", "s", "Path", "a"},
    {"CR CR LF is two breaks", "[s]\r\r\nPath=a\r\r\n", "s", "Path", "a"},
    {"empty content", "", "s", "Path", ""},
    {"no sections", "Path=a\nA=b\n", "s", "Path", ""},
};

class ReadRules : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadRules, ReadsAsTheProfileFunctions) {
    const auto& c = GetParam();
    EXPECT_EQ(API::ReadProfileValue(c.content, c.section, c.key), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Content, ReadRules, testing::ValuesIn(ReadCases), [](const auto& info) {
    std::string name = std::to_string(info.index) + "_" + info.param.name;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
});

// ---- Writing rules -------------------------------------------------------------------------------------------

struct WriteCase {
    const char* name;
    std::string content;
    std::string section;
    std::string key;
    std::string value;
    std::string expected;
};

const std::vector<WriteCase> WriteCases = {
    {"creates section in empty content", "", S, "Path", "v", "[Ban file path]\r\nPath=v\r\n"},
    {"replaces in place keeping spelling and other lines", "; head \n [BAN FILE path] \n  pATH = old \nA = 1 \n", S,
     "Path", "new", "; head \n [BAN FILE path] \npATH=new\nA = 1 \n"},
    {"replacement keeps the line break", "[s]\rPath=old\rA=1", "s", "Path", "v", "[s]\rPath=v\rA=1"},
    {"replacement of last line without break", "[s]\r\nPath=old", "s", "Path", "v", "[s]\r\nPath=v"},
    {"replaces only the first key", "[s]\nPath=1\nPath=2\n", "s", "Path", "v", "[s]\nPath=v\nPath=2\n"},
    {"adds to section before blank lines", "[s]\r\nA=1\r\n\r\n[t]\r\nB=2\r\n", "s", "Path", "v",
     "[s]\r\nA=1\r\nPath=v\r\n\r\n[t]\r\nB=2\r\n"},
    {"adds to the first of duplicate sections", "[s]\nA=1\n[t]\n[S]\nPath=old\n", "s", "Path", "v",
     "[s]\nA=1\nPath=v\r\n[t]\n[S]\nPath=old\n"},
    {"adds to a section ending the file", "[s]\nA=1", "s", "Path", "v", "[s]\nA=1\r\nPath=v\r\n"},
    {"adds under a bare header", "[s]\n\n\n", "s", "Path", "v", "[s]\nPath=v\r\n\n\n"},
    {"adds after junk of the section", "[s]\njunk\n[broken\n;c\n", "s", "Path", "v",
     "[s]\njunk\n[broken\n;c\nPath=v\r\n"},
    {"comment with the key is not replaced", "[s]\n;Path=x\n", "s", "Path", "v", "[s]\n;Path=x\nPath=v\r\n"},
    {"key before any section is not replaced", "Path=x\n", "s", "Path", "v", "Path=x\n[s]\r\nPath=v\r\n"},
    {"appends section after final break", "[t]\nB=2\n", "s", "Path", "v", "[t]\nB=2\n[s]\r\nPath=v\r\n"},
    {"appends section after missing final break", "[t]\nB=2", "s", "Path", "v", "[t]\nB=2\r\n[s]\r\nPath=v\r\n"},
    {"asked names are trimmed", "", " s\t", " Path ", "v", "[s]\r\nPath=v\r\n"},
    {"value written as given", "[s]\n", "s", "Path", " 'a=b' ", "[s]\nPath= 'a=b' \r\n"},
    {"empty value", "[s]\nPath=old\n", "s", "Path", "", "[s]\nPath=\n"},
    {"NUL bytes kept", "[s]\n\0x\nPath=old\n\0"s, "s", "Path", "a\0b"s, "[s]\n\0x\nPath=a\0b\n\0"s},
    {"byte order mark kept", "\xEF\xBB\xBF[s]\nPath=old\n", "s", "Path", "v", "\xEF\xBB\xBF[s]\nPath=v\n"},
    {"byte order mark alone", "\xEF\xBB\xBF", "s", "Path", "v", "\xEF\xBB\xBF[s]\r\nPath=v\r\n"},
};

class WriteRules : public testing::TestWithParam<WriteCase> {};

TEST_P(WriteRules, WritesAsTheProfileFunctions) {
    const auto& c = GetParam();
    const auto written = API::WriteProfileValue(c.content, c.section, c.key, c.value);
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(*written, c.expected);
    // Whatever the file held, the value now reads back as a lone "key=value" line would.
    EXPECT_EQ(API::ReadProfileValue(*written, c.section, c.key),
              API::ReadProfileValue("[x]\n" + c.key + "=" + c.value, "x", c.key));
}

INSTANTIATE_TEST_SUITE_P(Content, WriteRules, testing::ValuesIn(WriteCases), [](const auto& info) {
    std::string name = std::to_string(info.index) + "_" + info.param.name;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
});

TEST(WriteRules, SameKeyTwiceLeavesOneLineWithTheSecondValue) {
    for (const std::string start : {"", "[Ban file path]\r\n", "[Ban file path]\r\nPath=first\r\n", "[t]\nA=1"}) {
        const auto once = API::WriteProfileValue(start, S, "Path", "first");
        ASSERT_TRUE(once);
        const auto twice = API::WriteProfileValue(*once, S, "path", "second");
        ASSERT_TRUE(twice);
        EXPECT_EQ(*twice, *API::WriteProfileValue(start, S, "Path", "second")) << start;
        EXPECT_EQ(twice->find("first"), std::string::npos);
        EXPECT_EQ(API::ReadProfileValue(*twice, S, "Path"), "second");
    }
}

struct RefusedCase {
    std::string section;
    std::string key;
    std::string value;
};

TEST(WriteRules, RefusesEntriesThatWouldNotReadBack) {
    const std::vector<RefusedCase> cases = {
        {"s", "Path", "a\nb"}, {"s", "Path", "a\r"}, {"s\n", "Path", "v"}, {"s", "Pa\rth", "v"},
        {"", "Path", "v"},     {" \t", "Path", "v"}, {"s", "", "v"},       {"s", "  ", "v"},
        {"s", ";Path", "v"},   {"s", " [Path", "v"}, {"s", "Pa=th", "v"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(API::ProfileEntryProblem(c.section, c.key, c.value).empty()) << c.section << "|" << c.key;
        EXPECT_FALSE(API::WriteProfileValue("[s]\nPath=old\n", c.section, c.key, c.value).has_value());
    }
    EXPECT_EQ(API::ProfileEntryProblem("a]b", "P;ath[", "\"x\0y'"s), "");
}

// ---- Files ---------------------------------------------------------------------------------------------------

class ProfileFileTest : public testing::Test {
protected:
    void SetUp() override {
        auto pattern = (fs::temp_directory_path() / "mw-settings-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        file = dir / "Config.ini";
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(dir, ignored);
    }

    API::WriteOutcome Write(const std::string& value) { return API::WriteProfileFile(file.string(), S, "Path", value); }
    std::string Read() { return API::ReadProfileFile(file.string(), S, "Path"); }

    // Runs a write in a child process whose limits the parent must not share: dropped to uid 65534 when root (so
    // permissions count), or with a small file size limit. The outcome comes back through a pipe.
    API::WriteOutcome WriteInChild(const std::string& value, bool dropPrivileges, rlim_t sizeLimit = RLIM_INFINITY) {
        int channel[2];
        if (pipe(channel) != 0) {
            ADD_FAILURE() << "pipe";
            return {};
        }
        const pid_t child = fork();
        if (child == 0) {
            close(channel[0]);
            if (dropPrivileges && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
                _exit(3);
            }
            if (sizeLimit != RLIM_INFINITY) {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{sizeLimit, sizeLimit};
                if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                    _exit(4);
                }
            }
            const auto outcome = Write(value);
            const std::string message = (outcome.stored ? "1" : "0") + outcome.reason;
            const bool sent = write(channel[1], message.data(), message.size()) == static_cast<ssize_t>(message.size());
            _exit(sent ? 0 : 5);
        }
        close(channel[1]);
        std::string message;
        char buffer[256];
        ssize_t count;
        while ((count = read(channel[0], buffer, sizeof buffer)) > 0) {
            message.append(buffer, static_cast<std::size_t>(count));
        }
        close(channel[0]);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
        if (message.empty()) {
            return {};
        }
        return {message[0] == '1', message.substr(1)};
    }

    void ExpectRefusedAndIntact(const API::WriteOutcome& outcome, const std::string& before) {
        EXPECT_FALSE(outcome.stored);
        EXPECT_FALSE(outcome.reason.empty());
        EXPECT_EQ(Slurp(file), before);
        EXPECT_EQ(Entries(dir), std::set<std::string>{"Config.ini"}) << "temporary file left behind";
    }

    fs::path dir;
    fs::path file;
};

TEST_F(ProfileFileTest, MissingFileReadsEmptyAndWriteCreatesIt) {
    EXPECT_EQ(Read(), "");
    const auto outcome = Write("C:\\Logs\\Zone Banlog.txt");
    EXPECT_TRUE(outcome.stored) << outcome.reason;
    EXPECT_EQ(outcome.reason, "");
    EXPECT_EQ(Slurp(file), "[Ban file path]\r\nPath=C:\\Logs\\Zone Banlog.txt\r\n");
    EXPECT_EQ(Read(), "C:\\Logs\\Zone Banlog.txt");
    EXPECT_EQ(Entries(dir), std::set<std::string>{"Config.ini"});
    const auto mask = umask(022);
    umask(mask);
    EXPECT_EQ(fs::status(file).permissions(), static_cast<fs::perms>(0666 & ~mask));
}

TEST_F(ProfileFileTest, BadContentReadsEmptyOrWhatMatchesAndSurvivesAWrite) {
    std::mt19937 random(7);
    std::string junk(4096, '\0');
    for (auto& c : junk) {
        c = static_cast<char>(random());
    }
    std::replace(junk.begin(), junk.end(), '[', '(');
    junk.back() = '\n';
    const std::string hugeLine(3 << 20, 'x');
    const std::string added = "[Ban file path]\r\nPath=new\r\n";
    struct Case {
        std::string content;
        std::string read;
        std::string afterWrite;
    };
    const std::vector<Case> cases = {
        {"", "", added},
        {junk, "", junk + added},
        {"Path=a\nB=c\n", "", "Path=a\nB=c\n" + added},
        {"[Ban file path\nPath=a\n", "", "[Ban file path\nPath=a\n" + added},
        {hugeLine + "\n[Ban file path]\nPath=a", "a", hugeLine + "\n[Ban file path]\nPath=new"},
        {"[Ban file path]\nPath=" + hugeLine + "\n", hugeLine, "[Ban file path]\nPath=new\n"},
    };
    for (const auto& c : cases) {
        Spill(file, c.content);
        EXPECT_EQ(Read(), c.read);
        ASSERT_TRUE(Write("new").stored);
        EXPECT_TRUE(Slurp(file) == c.afterWrite) << "content of " << c.content.size() << " bytes";
        EXPECT_EQ(Read(), "new");
    }
}

TEST_F(ProfileFileTest, LongValuesRoundTripWhole) {
    for (const std::size_t length : {254u, 255u, 300u, 4096u, 200000u}) {
        std::string value;
        for (std::size_t i = 0; value.size() < length; ++i) {
            value += static_cast<char>('a' + i % 26);
        }
        ASSERT_TRUE(Write(value).stored);
        EXPECT_EQ(Read(), value);
    }
}

TEST_F(ProfileFileTest, ReplacementKeepsOtherBytesAndPermissions) {
    const std::string before = "; kept\n[Other]\nPath=x\n\n[ban FILE path]\r\n  PATH =  old\r\nNext=1\r\n\x1a";
    Spill(file, before);
    fs::permissions(file, static_cast<fs::perms>(0640));
    ASSERT_TRUE(Write("new").stored);
    EXPECT_EQ(Slurp(file), "; kept\n[Other]\nPath=x\n\n[ban FILE path]\r\nPATH=new\r\nNext=1\r\n\x1a");
    EXPECT_EQ(fs::status(file).permissions(), static_cast<fs::perms>(0640));
}

TEST_F(ProfileFileTest, SymbolicLinkStaysAndItsTargetIsWritten) {
    const auto target = dir / "real.ini";
    Spill(target, "[Ban file path]\nPath=old\n");
    fs::create_symlink("real.ini", file);
    ASSERT_TRUE(Write("new").stored);
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(Slurp(target), "[Ban file path]\nPath=new\n");
    EXPECT_EQ(Read(), "new");
}

TEST_F(ProfileFileTest, RefusedEntryLeavesFileAlone) {
    Spill(file, "[Ban file path]\nPath=old\n");
    ExpectRefusedAndIntact(Write("C:\\a\n[Ban file path]\nPath=injected"), "[Ban file path]\nPath=old\n");
}

TEST_F(ProfileFileTest, ReadOnlyFileIsRefusedEvenForRoot) {
    const std::string before = "[Ban file path]\nPath=old\n";
    Spill(file, before);
    fs::permissions(file, static_cast<fs::perms>(0444));
    ExpectRefusedAndIntact(Write("new"), before);
    EXPECT_EQ(Read(), "old");
}

TEST_F(ProfileFileTest, FileNotWritableForTheUserIsRefused) {
    const std::string before = "[Ban file path]\nPath=old\n";
    Spill(file, before);
    fs::permissions(dir, static_cast<fs::perms>(0777)); // the directory would allow the replacement
    // Write permission for the group only: neither the owner (when not root) nor uid 65534 may write.
    fs::permissions(file, static_cast<fs::perms>(0464));
    ExpectRefusedAndIntact(WriteInChild("new", true), before);
}

TEST_F(ProfileFileTest, ReadOnlyDirectoryFailsAndLeavesNoTemporaryFile) {
    const std::string before = "[Ban file path]\nPath=old\n";
    Spill(file, before);
    fs::permissions(file, static_cast<fs::perms>(0666));
    fs::permissions(dir, static_cast<fs::perms>(0555));
    const auto outcome = WriteInChild("new", true);
    fs::permissions(dir, static_cast<fs::perms>(0755));
    ExpectRefusedAndIntact(outcome, before);
    EXPECT_NE(outcome.reason.find(std::strerror(EACCES)), std::string::npos) << outcome.reason;
}

TEST_F(ProfileFileTest, WriteErrorOfAFullFileSystemIsReported) {
    // A file size limit makes write() fail part way, as a full disk does.
    const std::string before = "[Ban file path]\nPath=old\n";
    Spill(file, before);
    const auto outcome = WriteInChild(std::string(5000, 'v'), false, 1024);
    ExpectRefusedAndIntact(outcome, before);
    EXPECT_NE(outcome.reason.find(std::strerror(EFBIG)), std::string::npos) << outcome.reason;
}

TEST_F(ProfileFileTest, UnusablePathsFailWithAReason) {
    Spill(dir / "plain", "x");
    fs::create_directory(dir / "Config.ini");
    const std::vector<std::pair<fs::path, int>> cases = {
        {dir / "missing" / "Config.ini", ENOENT},
        {dir / "plain" / "Config.ini", ENOTDIR},
        {dir / "Config.ini", EISDIR},
    };
    for (const auto& [path, error] : cases) {
        EXPECT_EQ(API::ReadProfileFile(path.string(), S, "Path"), "");
        const auto outcome = API::WriteProfileFile(path.string(), S, "Path", "v");
        EXPECT_FALSE(outcome.stored) << path;
        EXPECT_NE(outcome.reason.find(std::strerror(error)), std::string::npos) << outcome.reason;
    }
    EXPECT_EQ(Entries(dir), (std::set<std::string>{"Config.ini", "plain"}));
}

// ---- The settings procedures on the real Config.ini ----------------------------------------------------------

TEST(ConfigFile, LivesBesideTheRunningProgram) {
    const fs::path path = API::ConfigFilePath();
    EXPECT_EQ(path.filename(), "Config.ini");
    EXPECT_TRUE(path.is_absolute()) << path;
    EXPECT_TRUE(fs::is_regular_file(path.parent_path() / "test_settings")) << path;
}

TEST(ConfigFile, ProceduresReadAndWriteTheRealFile) {
    const fs::path path = API::ConfigFilePath();
    const bool existed = fs::exists(path);
    const std::string saved = existed ? Slurp(path) : std::string();
    struct Restore {
        std::function<void()> run;
        ~Restore() { run(); }
    } restore{[&] {
        std::error_code ignored;
        if (existed) {
            Spill(path, saved);
        } else {
            fs::remove(path, ignored);
        }
    }};
    fs::remove(path);
    EXPECT_EQ(API::ReadConfigValue(API::BanFileSection, API::BanFileKey), "");
    const std::string first = "/home/mod/Continuum/logs/Zone Banlog.txt";
    const std::string second = std::string(300, 'p') + "/Network Banlog.txt";
    for (const auto& value : {first, second}) {
        const auto outcome = API::WriteConfigValue(API::BanFileSection, API::BanFileKey, value);
        EXPECT_TRUE(outcome.stored) << outcome.reason;
        EXPECT_EQ(API::ReadConfigValue(API::BanFileSection, API::BanFileKey), value);
    }
    EXPECT_EQ(Slurp(path), "[Ban file path]\r\nPath=" + second + "\r\n");
    const auto refused = API::WriteConfigValue(API::BanFileSection, API::BanFileKey, "a\nb");
    EXPECT_FALSE(refused.stored);
    EXPECT_FALSE(refused.reason.empty());
}

} // namespace
