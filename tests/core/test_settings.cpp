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
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <sys/resource.h>
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

const std::string S = "Ban file path";

TEST(ProfileContent, ReadsAsTheProfileFunctions) {
    struct Case {
        const char* name;
        std::string content, section, key, expected;
    };
    const std::vector<Case> cases = {
        {"plain CR LF", "[Ban file path]\r\nPath=C:\\Logs\\Zone Banlog.txt\r\n", S, "Path",
         "C:\\Logs\\Zone Banlog.txt"},
        {"LF and no final break", "[Ban file path]\nPath=a", S, "Path", "a"},
        {"CR only", "[x]\rA=1\r[Ban file path]\rPath=a\r", S, "Path", "a"},
        {"names ignore case, asked names trimmed", "[BAN FILE PATH]\npATH=a\n", " Ban file path\t", " Path ", "a"},
        {"names in file trimmed", "  \t[  Ban file path \t]  \n  Path \t =  a  b \t\n", S, "Path", "a  b"},
        {"double quotes stripped", "[s]\nPath=\" a b \"\n", "s", "Path", " a b "},
        {"single quotes stripped", "[s]\nPath='a'\n", "s", "Path", "a"},
        {"mismatched quotes kept", "[s]\nPath=\"a'\n", "s", "Path", "\"a'"},
        {"lone quote kept", "[s]\nPath='\n", "s", "Path", "'"},
        {"quotes then trimmed value", "[s]\nPath=  'a'  \n", "s", "Path", "a"},
        {"value holding =", "[s]\nPath = a=b = c\n", "s", "Path", "a=b = c"},
        {"first key wins, even empty", "[s]\nPath=\npath=2\n", "s", "Path", ""},
        {"first section wins", "[s]\nPath=1\n[S]\nPath=2\n", "s", "Path", "1"},
        {"later duplicate section not searched", "[s]\nA=1\n[s]\nPath=2\n", "s", "Path", ""},
        {"key before any section or in another", "Path=0\n[t]\nPath=1\n[s]\nA=2\n", "s", "Path", ""},
        {"prefixes do not match", "[Ban file path 2]\nPath=1\n[Ban file path]\nPaths=1\nPat=2\n", S, "Path", ""},
        {"comment never matches", "[s]\n;Path=1\n", "s", ";Path", ""},
        {"no = or unterminated [: ignored", "[s]\nPath\n[broken\nPath=3\n", "s", "Path", "3"},
        {"name up to the last ], text after ignored", "[a]b] ; note\nPath=3\n", "a]b", "Path", "3"},
        {"header ends the section", "[s]\n[t]\nPath=3\n", "s", "Path", ""},
        {"NUL bytes are ordinary", "[s]\n\0junk\nPath=a\0b\n"s, "s", "Path", "a\0b"s},
        {"UTF-8 byte order mark", "\xEF\xBB\xBF[s]\r\nPath=a\r\n", "s", "Path", "a"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(API::ReadProfileValue(c.content, c.section, c.key), c.expected) << c.name;
    }
}

TEST(ProfileContent, WritesAsTheProfileFunctions) {
    struct Case {
        const char* name;
        std::string content, section, key, value, expected;
    };
    const std::vector<Case> cases = {
        {"creates section in empty content, names trimmed", "", " Ban file path\t", " Path ", "v",
         "[Ban file path]\r\nPath=v\r\n"},
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
        {"adds after junk of the section", "[s]\njunk\n[broken\n;c\n", "s", "Path", "v",
         "[s]\njunk\n[broken\n;c\nPath=v\r\n"},
        {"comment with the key is not replaced", "[s]\n;Path=x\n", "s", "Path", "v", "[s]\n;Path=x\nPath=v\r\n"},
        {"key before any section is not replaced", "Path=x\n", "s", "Path", "v", "Path=x\n[s]\r\nPath=v\r\n"},
        {"appends section after missing final break", "[t]\nB=2", "s", "Path", "v", "[t]\nB=2\r\n[s]\r\nPath=v\r\n"},
        {"value written as given", "[s]\n", "s", "Path", " 'a=b' ", "[s]\nPath= 'a=b' \r\n"},
        {"NUL bytes kept", "[s]\n\0x\nPath=old\n\0"s, "s", "Path", "a\0b"s, "[s]\n\0x\nPath=a\0b\n\0"s},
        {"byte order mark kept", "\xEF\xBB\xBF[s]\nPath=old\n", "s", "Path", "v", "\xEF\xBB\xBF[s]\nPath=v\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto written = API::WriteProfileValue(c.content, c.section, c.key, c.value);
        ASSERT_TRUE(written.has_value());
        EXPECT_EQ(*written, c.expected);
        // The value reads back as a lone "key=value" line would, and writing over an earlier value adds no line.
        EXPECT_EQ(API::ReadProfileValue(*written, c.section, c.key),
                  API::ReadProfileValue("[x]\n" + c.key + "=" + c.value, "x", c.key));
        const auto earlier = API::WriteProfileValue(c.content, c.section, c.key, "earlier");
        EXPECT_EQ(API::WriteProfileValue(earlier.value_or(""), c.section, c.key, c.value), written);
    }
}

TEST(ProfileContent, RefusesEntriesThatWouldNotReadBack) {
    const std::vector<std::vector<std::string>> cases = {
        {"s", "Path", "a\nb"}, {"s", "Path", "a\r"}, {"s\n", "Path", "v"}, {"s", "Pa\rth", "v"},
        {"", "Path", "v"},     {" \t", "Path", "v"}, {"s", "", "v"},       {"s", "  ", "v"},
        {"s", ";Path", "v"},   {"s", " [Path", "v"}, {"s", "Pa=th", "v"},
    };
    for (const auto& c : cases) {
        EXPECT_NE(API::ProfileEntryProblem(c[0], c[1], c[2]), "") << c[0] << "|" << c[1];
        EXPECT_FALSE(API::WriteProfileValue("[s]\nPath=old\n", c[0], c[1], c[2]).has_value());
    }
    EXPECT_EQ(API::ProfileEntryProblem("a]b", "P;ath[", "\"x\0y'"s), "");
}

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

    // Writes with a limit the test process otherwise lacks: as uid 65534 when root (so that permissions count), or
    // with a file size limit (write() then fails part way, as on a full disk). Both are undone before returning.
    API::WriteOutcome WriteLimited(const std::string& value, bool unprivileged, rlim_t sizeLimit) {
        const bool drop = unprivileged && geteuid() == 0;
        rlimit saved{};
        EXPECT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const rlimit limit{std::min(sizeLimit, saved.rlim_max), saved.rlim_max};
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        EXPECT_TRUE(setrlimit(RLIMIT_FSIZE, &limit) == 0 && (!drop || (setegid(65534) == 0 && seteuid(65534) == 0)));
        const auto outcome = Write(value);
        EXPECT_TRUE((!drop || (seteuid(0) == 0 && setegid(0) == 0)) && setrlimit(RLIMIT_FSIZE, &saved) == 0);
        std::signal(SIGXFSZ, handler);
        return outcome;
    }

    fs::path dir;
    fs::path file;
};

// A missing, empty, binary or malformed file reads empty (or what matches), a huge line or value is read whole, and a
// write keeps every byte but the key's line; a new file gets the usual permissions.
TEST_F(ProfileFileTest, AnyContentReadsAsFarAsItMatchesAndSurvivesAWrite) {
    std::string junk; // every byte value but "[", so that no header arises
    for (int i = 0; i < 4095; ++i) {
        junk += static_cast<char>(i * 131 % 256 == '[' ? '(' : i * 131 % 256);
    }
    junk += '\n';
    const std::string hugeLine(3 << 20, 'x');
    const std::string added = "[Ban file path]\r\nPath=new\r\n";
    struct Case {
        std::optional<std::string> content; // nullopt: no file
        std::string read, afterWrite;
    };
    const std::vector<Case> cases = {
        {std::nullopt, "", added},
        {"", "", added},
        {junk, "", junk + added},
        {"Path=a\nB=c\n", "", "Path=a\nB=c\n" + added},
        {"[Ban file path\nPath=a\n", "", "[Ban file path\nPath=a\n" + added},
        {hugeLine + "\n[Ban file path]\nPath=a", "a", hugeLine + "\n[Ban file path]\nPath=new"},
        {"[Ban file path]\nPath=" + hugeLine + "\n", hugeLine, "[Ban file path]\nPath=new\n"},
    };
    const auto mask = umask(022);
    umask(mask);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content ? c.content->size() : -1);
        fs::remove(file);
        if (c.content) {
            Spill(file, *c.content);
        }
        EXPECT_TRUE(Read() == c.read);
        const auto outcome = Write("new");
        EXPECT_TRUE(outcome.stored && outcome.reason.empty()) << outcome.reason;
        EXPECT_TRUE(Slurp(file) == c.afterWrite);
        EXPECT_EQ(Read(), "new");
        EXPECT_EQ(fs::status(file).permissions(), static_cast<fs::perms>(0666 & ~mask));
        EXPECT_EQ(Entries(dir), std::set<std::string>{"Config.ini"});
    }
}

TEST_F(ProfileFileTest, ReplacementKeepsOtherBytesPermissionsAndSymbolicLink) {
    Spill(file, "; kept\n[Other]\nPath=x\n\n[ban FILE path]\r\n  PATH =  old\r\nNext=1\r\n\x1a");
    fs::permissions(file, static_cast<fs::perms>(0640));
    ASSERT_TRUE(Write("new").stored);
    EXPECT_EQ(Slurp(file), "; kept\n[Other]\nPath=x\n\n[ban FILE path]\r\nPATH=new\r\nNext=1\r\n\x1a");
    EXPECT_EQ(fs::status(file).permissions(), static_cast<fs::perms>(0640));

    fs::rename(file, dir / "real.ini");
    fs::create_symlink("real.ini", file);
    ASSERT_TRUE(Write("newer").stored);
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(Read(), "newer");
    EXPECT_EQ(Entries(dir), (std::set<std::string>{"Config.ini", "real.ini"}));
}

// Every failure says why and leaves the file as it was, with no temporary file beside it.
TEST_F(ProfileFileTest, FailedWriteIsReportedAndLeavesTheFileAlone) {
    struct Case {
        const char* name;
        int filePerms, dirPerms;
        std::string value;
        bool unprivileged;
        rlim_t sizeLimit;
        std::string inReason; // the system's reason, when the system refused
    };
    const rlim_t none = RLIM_INFINITY;
    const std::vector<Case> cases = {
        {"entry that would not read back", 0644, 0755, "C:\\a\n[Ban file path]\nPath=injected", false, none, ""},
        {"read-only file, even for root", 0444, 0755, "new", false, none, ""},
        // Write permission for the group only: neither the owner (when not root) nor uid 65534 may write, though
        // the directory would allow the replacement.
        {"file not writable for the user", 0464, 0777, "new", true, none, ""},
        {"read-only directory", 0666, 0555, "new", true, none, std::strerror(EACCES)},
        {"full file system", 0644, 0755, std::string(5000, 'v'), false, 1024, std::strerror(EFBIG)},
    };
    const std::string before = "[Ban file path]\nPath=old\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Spill(file, before);
        fs::permissions(file, static_cast<fs::perms>(c.filePerms));
        fs::permissions(dir, static_cast<fs::perms>(c.dirPerms));
        const auto outcome = WriteLimited(c.value, c.unprivileged, c.sizeLimit);
        fs::permissions(dir, static_cast<fs::perms>(0755));
        EXPECT_FALSE(outcome.stored);
        EXPECT_NE(outcome.reason, "");
        EXPECT_NE(outcome.reason.find(c.inReason), std::string::npos) << outcome.reason;
        EXPECT_EQ(Slurp(file), before);
        EXPECT_EQ(Entries(dir), std::set<std::string>{"Config.ini"}) << "temporary file left behind";
        fs::permissions(file, static_cast<fs::perms>(0644));
    }
}

// The procedures on the real Config.ini beside the test program; whatever was there is put back.
TEST(ConfigFile, ProceduresReadAndWriteTheFileBesideTheProgram) {
    const fs::path path = API::ConfigFilePath();
    EXPECT_EQ(path.filename(), "Config.ini");
    EXPECT_TRUE(path.is_absolute()) << path;
    EXPECT_TRUE(fs::is_regular_file(path.parent_path() / "test_settings")) << path;
    const bool existed = fs::exists(path);
    const std::string saved = existed ? Slurp(path) : std::string();
    fs::remove(path);
    EXPECT_EQ(API::ReadConfigValue(API::BanFileSection, API::BanFileKey), "");
    const std::string value = "/home/mod/" + std::string(300, 'p') + "/Zone Banlog.txt";
    const auto outcome = API::WriteConfigValue(API::BanFileSection, API::BanFileKey, value);
    EXPECT_TRUE(outcome.stored) << outcome.reason;
    EXPECT_EQ(Slurp(path), "[Ban file path]\r\nPath=" + value + "\r\n");
    EXPECT_EQ(API::ReadConfigValue(API::BanFileSection, API::BanFileKey), value);
    const auto refused = API::WriteConfigValue(API::BanFileSection, API::BanFileKey, "a\nb");
    EXPECT_FALSE(refused.stored);
    EXPECT_NE(refused.reason, "");
    if (existed) {
        Spill(path, saved);
    } else {
        fs::remove(path);
    }
}

} // namespace

// The choice between Config.ini beside the program and the per-user file, without touching the file system.
TEST(ConfigFile, PerUserFileWhenTheProgramDirectoryCannotBeWritten) {
    struct Case {
        std::optional<std::string> directory;
        bool writable;
        const char *xdg, *home, *expected;
    };
    const std::vector<Case> cases = {
        {"/opt/mw", true, "/x", "/h", "/opt/mw/Config.ini"},
        {"", true, nullptr, "/h", "/Config.ini"},
        {"/usr/bin", false, "/x/cfg/", "/h", "/x/cfg/Mirewatch/Config.ini"},
        {"/usr/bin", false, "cfg", "/h/", "/h/.config/Mirewatch/Config.ini"},
        {std::nullopt, false, nullptr, "/", "/.config/Mirewatch/Config.ini"},
        {"/usr/bin", false, "", "h", "/usr/bin/Config.ini"},
        {std::nullopt, false, nullptr, nullptr, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(API::ChooseConfigFilePath(c.directory, c.writable, c.xdg, c.home), c.expected) << c.expected;
    }
}
