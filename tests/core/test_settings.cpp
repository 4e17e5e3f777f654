// Config.ini reading and writing: the profile-file rules on content, the file replacement and its failures,
// and the settings procedures on the real path beside the test program.
#include "API.h"
#include "ProfileFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <tuple>
#include <vector>
#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A file named by a path as the program holds it (ANSI code page bytes on Windows, as the C runtime takes them).
std::string SlurpHeld(const std::string& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Spill(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

const std::string S = "Ban file path";

// A UTF-16 file with its byte order mark.
std::string Utf16(std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes += bigEndian ? std::string{char(unit >> 8), char(unit & 0xFF)}
                           : std::string{char(unit & 0xFF), char(unit >> 8)};
    }
    return bytes;
}

#ifdef _WIN32
#define NATIVE(windows, posix) windows
#else
#define NATIVE(windows, posix) posix
#endif

struct ContentCase {
    std::string content, read, written, section = "s";
};

// Each content is read, then written with the value "v".
const std::vector<ContentCase> ContentCases = {
    {"", "", "[s]\r\nPath=v\r\n"},
    {"[x]\rA=1\r[s]\rPath=a", "a", "[x]\rA=1\r[s]\rPath=v"},
    {"; head \n [S] \n  pATH = old \nA = 1 \n", "old", "; head \n [S] \npATH=v\nA = 1 \n"},
    {"  \t[  Ban file path \t]  \n  Path \t =  a  b \t\n", "a  b", "  \t[  Ban file path \t]  \nPath=v\n", S},
    {"[s]\nPath=\" a b \"\n", " a b ", "[s]\nPath=v\n"},
    {"[s]\nPath=\"a'\nA=  'a'  \n", "\"a'", "[s]\nPath=v\nA=  'a'  \n"},
    {"[s]\nPath=  'a=b = c'  ", "a=b = c", "[s]\nPath=v"},
    {"[s]\nPath=\npath=2\n", "", "[s]\nPath=v\npath=2\n"},
    {"[s]\r\nA=1\r\n\r\n[s]\r\nPath=2\r\n", "", "[s]\r\nA=1\r\nPath=v\r\n\r\n[s]\r\nPath=2\r\n"},
    {"Path=0\n[t]\nPath=1", "", "Path=0\n[t]\nPath=1\r\n[s]\r\nPath=v\r\n"},
    {"[s 2]\nPath=1\n[s]\nPaths=1\nPat=2", "", "[s 2]\nPath=1\n[s]\nPaths=1\nPat=2\r\nPath=v\r\n"},
    {"[s]\n;Path=1\nPath\n[broken\nPath=3\n", "", "[s]\n;Path=1\nPath=v\n[broken\nPath=3\n"},
    {"[s]\n;Path=1\nA\n[broken\nPath=3\n", "3", "[s]\n;Path=1\nA\n[broken\nPath=v\n"},
    {"[a]b] ; note\nPath=3\n", "3", "[a]b] ; note\nPath=v\n", "a]b"},
    {"[s]\n[t]\nPath=3\n", "", "[s]\nPath=v\r\n[t]\nPath=3\n"},
    {"[s]\n\0junk\nPath=a\0b\n\0"s, "a", "[s]\n\0junk\nPath=v\n\0"s},
    {"\xEF\xBB\xBF[s]\r\nPath=a\r\n", "a", "\xEF\xBB\xBF[s]\r\nPath=v\r\n"},
    {Utf16(u"[s]\r\nPath=a\r\n", false), "a", Utf16(u"[s]\r\nPath=v\r\n", false)},
    // A UTF-16 value comes as the bytes paths are held in: UTF-8 on Linux, the ANSI code page on Windows (there
    // Windows-1252 holds \u00E9 and \u20AC, "?" stands for what it cannot hold). A write keeps every other unit.
    {Utf16(u"; \u4E2D\U0001F600\n[s]\nPath = \u00E9\u20AC\u4E2D\n", true), NATIVE("\xE9\x80?", "é€中"),
     Utf16(u"; \u4E2D\U0001F600\n[s]\nPath=v\n", true)},
    {Utf16(u"[s]\r\nA=\u4E2D\r\n", false), "", Utf16(u"[s]\r\nA=\u4E2D\r\nPath=v\r\n", false)},
};

TEST(ProfileContent, ReadsAndWritesAsTheProfileFunctions) {
    for (const auto& c : ContentCases) {
        SCOPED_TRACE(c.content);
        EXPECT_EQ(API::ReadProfileValue(c.content, c.section, "Path"), c.read);
        EXPECT_EQ(API::WriteProfileValue(c.content, c.section, "Path", "v"), c.written);
        EXPECT_EQ(API::WriteProfileValue(c.written, c.section, "Path", "v"), c.written)
            << "a second write adds no line";
    }
    // Asked names are trimmed; a comment never matches.
    EXPECT_EQ(API::WriteProfileValue("", " s\t", " Path ", "v"), "[s]\r\nPath=v\r\n");
    EXPECT_EQ(API::ReadProfileValue("[s]\n;Path=1\n", "s", ";Path"), "");
}

// Values the reader would trim or unquote are stored quoted, and read back whole in bytes and in UTF-16 files,
// non-ASCII ones in the encoding paths are held in (on Linux also bytes that are no UTF-8).
const std::string NonAscii = NATIVE("C:\\b\xE4n\x80.txt", "/tmp/b\xC3\xA4n\xE2\x82\xAC.txt"),
                  Bytes = NATIVE("\xFF", "\xFF\xC3 \xED\xB2\x80");
const std::vector<std::string> RoundTrips = {" lead", "trail ", "\"both\"", "'one'", "\"", "\"a",    "b'", "\"\"",
                                             "' '",   "\t\x1a", "a;b",      "; c",   "=x", NonAscii, Bytes};

TEST(ProfileContent, EveryValueReadsBackAsWritten) {
    for (const auto& value : RoundTrips) {
        for (const auto& content : {"[s]\nPath=old\n"s, Utf16(u"[s]\r\n", false), Utf16(u"", true)}) {
            const auto written = API::WriteProfileValue(content, "s", "Path", value);
            EXPECT_TRUE(written && API::ReadProfileValue(*written, "s", "Path") == value) << value;
        }
    }
    // Stored in the file's own encoding (not the bytes of UTF-8 taken for Windows-1252).
    EXPECT_EQ(API::WriteProfileValue(Utf16(u"", false), "s", "P", NATIVE("b\xE4n", "b\xC3\xA4n")),
              Utf16(u"[s]\r\nP=b\u00E4n\r\n", false));
}

TEST(ProfileContent, RefusesEntriesThatWouldNotReadBack) {
    const std::vector<std::array<std::string, 3>> refused = {
        {"s", "Path", "a\nb"}, {"s", "Path", "a\r"}, {"s\n", "Path", "v"}, {" \t", "Path", "v"}, {"s", "  ", "v"},
        {"s", ";Path", "v"},   {"s", " [Path", "v"}, {"s", "Pa=th", "v"},  {"s", "Pa\0th"s, "v"}};
    for (const auto& [section, key, value] : refused) {
        EXPECT_NE(API::ProfileEntryProblem(section, key, value), "") << section << "|" << key;
        EXPECT_FALSE(API::WriteProfileValue("[s]\nPath=old\n", section, key, value).has_value());
    }
    EXPECT_EQ(API::ProfileEntryProblem("a]b", "P;ath[", "\"x\0y'"s), "");
}

#ifndef _WIN32
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
    std::string Read() { return API::ReadProfileFile(file.string(), S, "Path").value; }

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

// A missing, empty, binary or huge file reads empty or what matches, a huge value is read whole, and a write keeps
// every byte but the key's line; a new file gets the usual permissions, a replaced one keeps its own.
TEST_F(ProfileFileTest, AnyContentReadsAsFarAsItMatchesAndSurvivesAWrite) {
    std::string junk = "\x1a\r\r\n"; // every byte value but "[", so that no header arises
    for (int i = 0; i < 4095; ++i) {
        junk += static_cast<char>(i * 131 % 256 == '[' ? '(' : i * 131 % 256);
    }
    const std::string huge(3 << 20, 'x'), added = "\r\n[Ban file path]\r\nPath=new\r\n";
    const auto mask = umask(022);
    umask(mask);
    const std::vector<std::tuple<std::optional<std::string>, std::string, std::string, int>> cases = {
        {std::nullopt, "", added.substr(2), 0666 & ~mask},
        {"", "", added.substr(2), 0666 & ~mask},
        {junk, "", junk + added, 0606},
        {huge + "\n[Ban file path]\nPath=a", "a", huge + "\n[Ban file path]\nPath=new", 0666},
        {"[Ban file path]\nPath=" + huge + "\n", huge, "[Ban file path]\nPath=new\n", 0644},
    };
    for (const auto& [content, read, written, perms] : cases) {
        SCOPED_TRACE(perms);
        fs::remove(file);
        if (content) {
            Spill(file, *content);
            fs::permissions(file, static_cast<fs::perms>(perms));
        }
        EXPECT_TRUE(Read() == read);
        const auto outcome = Write("new");
        EXPECT_TRUE(outcome.stored && outcome.reason.empty()) << outcome.reason;
        EXPECT_TRUE(Slurp(file) == written);
        EXPECT_EQ(fs::status(file).permissions(), static_cast<fs::perms>(perms));
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1) << "a temporary file is left";
    }
    // A symbolic link stays and its target is replaced.
    fs::rename(file, dir / "real.ini");
    fs::create_symlink("real.ini", file);
    ASSERT_TRUE(Write("newer").stored);
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(Read(), "newer");
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
        EXPECT_TRUE(!outcome.stored && !outcome.reason.empty() && outcome.reason.find(c.inReason) != std::string::npos)
            << outcome.reason;
        EXPECT_EQ(Slurp(file), before);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1) << "a temporary file is left";
        fs::permissions(file, static_cast<fs::perms>(0644));
    }
}

// A file that is there but cannot be read says why and where; a missing one is no fault.
TEST_F(ProfileFileTest, UnreadableFileIsReported) {
    const auto reason = [this] { return API::ReadProfileFile(file.string(), S, "Path").reason; };
    EXPECT_EQ(reason(), "");
    Spill(file, "[Ban file path]\nPath=a\n");
    fs::permissions(file, fs::perms::none);
    const bool root = geteuid() == 0;
    EXPECT_TRUE((!root || (setegid(65534) == 0 && seteuid(65534) == 0)));
    const auto denied = reason();
    EXPECT_TRUE(!root || (seteuid(0) == 0 && setegid(0) == 0));
    EXPECT_EQ(denied, "The settings file " + file.string() + " cannot be read: " + std::strerror(EACCES) + ".");
    fs::remove(file);
    fs::create_directory(file);
    EXPECT_EQ(reason(), "The settings file " + file.string() + " cannot be read: " + std::strerror(EISDIR) + ".");
}

#endif

// The procedures on the real Config.ini beside the test program (through the kernel32 profile functions on
// Windows); what was there is put back.
TEST(ConfigFile, ProceduresReadAndWriteTheFileBesideTheProgram) {
    const fs::path path = API::ConfigFilePath(), program = path.parent_path() / "test_settings";
    EXPECT_TRUE(path.filename() == "Config.ini" && (fs::exists(program) || fs::exists(program.string() + ".exe")));
    const auto saved = fs::exists(path) ? std::optional(Slurp(path)) : std::nullopt;
    fs::remove(path);
    EXPECT_TRUE(API::ReadConfigValue(S, "Path").value.empty() && API::ReadConfigValue(S, "Path").reason.empty());
    // A directory in its place is named with the reason; then values of every kind read back whole.
    fs::create_directory(path);
    const auto unreadable = API::ReadConfigValue(S, "Path").reason;
    EXPECT_TRUE(unreadable.starts_with("The settings file " + path.string() + " cannot be read: ")) << unreadable;
    fs::remove(path);
    for (const auto& value : RoundTrips) {
        EXPECT_TRUE(API::WriteConfigValue(S, "Path", value).stored);
        EXPECT_EQ(API::ReadConfigValue(S, "Path").value, value);
    }
    // A hand-written UTF-16 file naming a non-ASCII file: the path read opens it.
    const auto banFile = path.parent_path() / fs::path(u8"b\u00E4n.txt");
    Spill(banFile, "ban");
    Spill(path, Utf16(u"[Ban file path]\r\nPath=" + banFile.u16string() + u"\r\n", false));
    EXPECT_EQ(SlurpHeld(API::ReadConfigValue(S, "Path").value), "ban");
    fs::remove(banFile);
    fs::remove(path);
    // Past 254 characters, where a fixed read buffer would cut the value.
    for (const auto& value : {"/home/mod/" + std::string(300, 'p') + "/Zone Banlog.txt", "second"s}) {
        const auto outcome = API::WriteConfigValue(S, "Path", value);
        EXPECT_TRUE(outcome.stored) << outcome.reason;
        EXPECT_EQ(Slurp(path), "[Ban file path]\r\nPath=" + value + "\r\n");
        EXPECT_EQ(API::ReadConfigValue(S, "Path").value, value);
    }
    // No write bits: the read-only attribute on Windows.
    const auto writeBits = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    fs::permissions(path, writeBits, fs::perm_options::remove);
    const auto refused = API::WriteConfigValue(S, "Path", "third");
    EXPECT_TRUE(!refused.stored && !refused.reason.empty());
    EXPECT_EQ(Slurp(path), "[Ban file path]\r\nPath=second\r\n");
    for (const auto& entry : fs::directory_iterator(path.parent_path())) {
        EXPECT_FALSE(entry.path().filename().string().starts_with("Config.ini.")) << entry.path();
    }
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    // They read as the portable rules, and what they write reads as what the portable writer writes (Wine
    // rewrites the whole file in its own layout, so the bytes may differ).
    for (const auto& c : ContentCases) {
        SCOPED_TRACE(c.content);
        Spill(path, c.content);
        EXPECT_EQ(API::ReadConfigValue(c.section, "Path").value, c.read);
        EXPECT_TRUE(API::WriteConfigValue(c.section, "Path", "v").stored);
        const auto bom = [](const std::string& text) {
            return text.substr(0, text.find_first_not_of("\xEF\xBB\xBF\xFE\xFF"));
        };
        EXPECT_EQ(bom(Slurp(path)), bom(c.written)) << "the encoding is kept";
        for (const auto& [section, key] :
             {std::pair{c.section, "Path"}, {c.section, "A"}, {"x"s, "A"}, {"t"s, "Path"}}) {
            EXPECT_EQ(API::ReadProfileValue(Slurp(path), section, key), API::ReadProfileValue(c.written, section, key));
        }
    }
    saved ? Spill(path, *saved) : void(fs::remove(path));
}

// A chosen file is held by a path that opens it, also where the code page cannot hold its name (by the short name
// on Windows).
TEST(ConfigFile, ChosenPathsOpen) {
    const auto dir = fs::temp_directory_path() / "mw-held";
    for (const std::u16string_view name : {u"b\u00E4n", u"\u03A9\u6E2C\u8A66"}) {
        const auto file = dir / name / "ban_full.txt";
        fs::create_directories(file.parent_path());
        Spill(file, "ban");
        const auto held = API::HeldPath(file.u16string());
        EXPECT_TRUE(held.reason.empty() && SlurpHeld(held.path) == "ban") << held.path << held.reason;
    }
    fs::remove_all(dir);
}

} // namespace

#ifndef _WIN32
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
#else
TEST(ConfigFile, PerUserFileWhenTheProgramFolderCannotBeWritten) {
    const std::vector<std::array<std::string, 4>> cases = {
        {"C:\\MW", "1", "C:\\U\\AppData", "C:\\MW\\Config.ini"},
        {"C:\\MW", "", "C:\\U\\AppData", "C:\\U\\AppData\\Mirewatch\\Config.ini"},
        {"", "", "C:\\U\\AppData", "C:\\U\\AppData\\Mirewatch\\Config.ini"},
        {"C:\\MW", "", "", "C:\\MW\\Config.ini"},
        {"", "", "", ""},
    };
    for (const auto& [directory, writable, appData, expected] : cases) {
        EXPECT_EQ(API::ChooseConfigFilePath(directory, !writable.empty(), appData), expected);
    }
}
#endif
