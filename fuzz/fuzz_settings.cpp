// Fuzzes the Config.ini reader and writer on content in memory. The input gives the names and values to use
// (often the program's own ones) and then the file content; after each write the invariants of the format must
// hold: the value reads back whole, every other line is kept, nothing else reads differently, writing is idempotent,
// and UTF-16 content behaves as the same content in bytes.
#include "API.h"
#include "ProfileFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The lines' texts without their breaks; a missing final break and a present one give the same lines.
// A byte order mark is no line of its own: it stays in front of whatever the first line becomes.
std::vector<std::string_view> TextLines(std::string_view content) {
    content.remove_prefix(content.starts_with("\xEF\xBB\xBF") ? 3 : 0);
    std::vector<std::string_view> lines;
    for (std::size_t pos = 0; pos < content.size();) {
        const std::size_t end = std::min(content.find_first_of("\r\n", pos), content.size());
        lines.push_back(content.substr(pos, end - pos));
        pos = end + (content.substr(end, 2) == "\r\n" ? 2 : 1);
    }
    return lines;
}

// The written content holds the original lines with one line replaced, one inserted, or two appended.
void CheckOtherLinesKept(std::string_view before, std::string_view after) {
    const auto a = TextLines(before);
    const auto b = TextLines(after);
    Check(b.size() >= a.size() && b.size() <= a.size() + 2);
    const std::size_t added = b.size() - a.size();
    std::size_t same = 0;
    while (same < a.size() && a[same] == b[same]) {
        ++same;
    }
    Check(added < 2 || same == a.size());
    for (std::size_t i = same + (added == 0 ? 1 : 0); i < a.size(); ++i) {
        Check(a[i] == b[i + added]);
    }
}

std::string Name(FuzzedDataProvider& input, const char* usual) {
    return input.ConsumeBool() ? std::string(usual) : input.ConsumeRandomLengthString(24);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const auto section = Name(input, API::BanFileSection);
    const auto key = Name(input, API::BanFileKey);
    const auto value = input.ConsumeRandomLengthString(64);
    const auto otherSection = Name(input, API::BanFileSection);
    const auto otherKey = Name(input, "Other");
    const auto content = input.ConsumeRemainingBytesAsString();

    static_cast<void>(API::ReadProfileValue(content, section, key));
    const auto written = API::WriteProfileValue(content, section, key, value);
    Check(written.has_value() == API::ProfileEntryProblem(section, key, value).empty());
    if (!written) {
        return 0;
    }
    // The value reads back as written, up to its first NUL.
    Check(API::ReadProfileValue(*written, section, key) == value.substr(0, value.find('\0')));
    const bool utf16 = content.starts_with("\xFF\xFE") || content.starts_with("\xFE\xFF");
    if (!utf16) {
        CheckOtherLinesKept(content, *written);
    }

    // Any other section/key pair reads as before.
    if (API::ReadProfileValue("[" + section + "]\n" + key + "=1", otherSection, otherKey) != "1") {
        Check(API::ReadProfileValue(*written, otherSection, otherKey) ==
              API::ReadProfileValue(content, otherSection, otherKey));
    }

    // Writing the same value again changes nothing; writing another first and then this one gives the same file.
    Check(API::WriteProfileValue(*written, section, key, value) == written);
    const auto detour = API::WriteProfileValue(content, section, key, "detour");
    Check(detour && API::WriteProfileValue(*detour, section, key, value) == written);

    // The same ASCII content in UTF-16, either byte order, reads the same and is written the same, in UTF-16.
    const auto ascii = [](const std::string& text) {
        return std::all_of(text.begin(), text.end(), [](char c) { return c > 0 && c < 0x7F; });
    };
    if (!utf16 && ascii(content + section + key + value)) {
        for (const bool bigEndian : {false, true}) {
            const auto wide = [bigEndian](const std::string& text) {
                std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
                for (const char c : text) {
                    bytes += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
                }
                return bytes;
            };
            Check(API::ReadProfileValue(wide(content), section, key) == API::ReadProfileValue(content, section, key));
            Check(API::WriteProfileValue(wide(content), section, key, value) == wide(*written));
        }
    }
    return 0;
}
