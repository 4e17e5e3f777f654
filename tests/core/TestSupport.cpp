#include "TestSupport.h"

#include <fstream>
#include <unistd.h>

namespace testing_support {

std::filesystem::path TempDir() {
    static const std::filesystem::path dir = [] {
        auto path = std::filesystem::temp_directory_path() / ("mirewatch-core-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    static const struct Remover {
        ~Remover() {
            std::error_code ignored;
            std::filesystem::remove_all(dir, ignored);
        }
    } remover;
    return dir;
}

std::filesystem::path WriteFile(const std::string& bytes, const std::string& name) {
    const auto path = TempDir() / name;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return path;
}

std::string ReadSample(const std::string& name) {
    std::ifstream in(std::string(MW_EXAMPLES_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

BanHandle::LoadOutcome LoadBytes(const std::string& bytes) {
    Declares::BanFilePath = WriteFile(bytes).string();
    return BanHandle::LoadBanFile();
}

std::string CrLf(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

std::vector<Declares::BanRecord> Records() {
    return {Declares::BanRecordTable.begin() + 2, Declares::BanRecordTable.begin() + Declares::BanRecordCount + 1};
}

std::string Entry::line() const {
    std::string text = std::string("  ") + mark + id + "xxxxxxxx" + level + "yyyy" + moderator;
    if (dateColumn > 0) {
        text.resize(static_cast<std::size_t>(dateColumn - 2), ' ');
    }
    return text + ' ' + date + " 14:22:11   " + days + " " + ip + (ip.size() >= 12 ? "  " : " ") + "mid:" + mid + " " +
           name;
}

void SetRecords(const std::vector<Declares::BanRecord>& records) {
    Declares::BanRecordCount = 1;
    for (const auto& record : records) {
        Declares::BanRecordTable[++Declares::BanRecordCount] = record;
    }
    const std::string eof = "EOF";
    Declares::BanRecordTable[Declares::BanRecordCount + 1] = {eof, eof, eof, eof, eof, eof, eof, eof, eof};
}

} // namespace testing_support
