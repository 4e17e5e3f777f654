// The settings procedures on Windows: the kernel32 profile-string functions read and write Config.ini beside the
// program, or in %APPDATA%\Mirewatch when the program's folder cannot be written. A write edits a copy of the file
// and then swaps it in, so a failure part way leaves the old file whole.
#include "API.h"
#include "ProfileFile.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

namespace API {
namespace {

#ifdef REPLACEFILE_IGNORE_ACL_ERRORS
constexpr DWORD ReplaceFlags = REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS;
#else
constexpr DWORD ReplaceFlags = REPLACEFILE_IGNORE_MERGE_ERRORS;
#endif

// Values are read whole; past this a file is not a settings file any more.
constexpr DWORD LargestRead = 16u << 20;

std::string SystemMessage(DWORD code) {
    char* text = nullptr;
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string message = length != 0 && text != nullptr ? std::string(text, length) : std::string();
    if (text != nullptr) {
        LocalFree(text);
    }
    while (!message.empty() && (message.back() == '\r' || message.back() == '\n' || message.back() == ' ')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(code) : message;
}

WriteOutcome Failure(const std::string& what, DWORD code) {
    return {false, what + ": " + SystemMessage(code)};
}

bool HasNul(std::string_view text) {
    return text.find('\0') != std::string_view::npos;
}

// The wide path in the ANSI code page the A functions use; empty when a character has no equivalent there.
std::string ToAnsi(const std::wstring& wide) {
    if (wide.empty()) {
        return {};
    }
    const bool utf8 = GetACP() == CP_UTF8; // CP_UTF8 takes neither flags nor a default-character flag
    BOOL lossy = FALSE;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL* lossyFlag = utf8 ? nullptr : &lossy;
    const int size = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(CP_ACP, flags, wide.data(), size, nullptr, 0, nullptr, lossyFlag);
    if (length <= 0 || lossy) {
        return {};
    }
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, flags, wide.data(), size, narrow.data(), length, nullptr, lossyFlag);
    return lossy ? std::string() : narrow;
}

std::wstring ProgramDirectoryWide() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            const std::wstring program(buffer.data(), length);
            const auto separator = program.find_last_of(L"\\/");
            return separator == std::wstring::npos ? std::wstring() : program.substr(0, separator);
        }
        if (buffer.size() >= 65536) {
            return {};
        }
        buffer.resize(buffer.size() * 2); // the name was cut
    }
}

// An existing file's or directory's path for the A functions; one whose name the code page cannot hold is given by
// its short (8.3) name, which is plain ASCII when the volume keeps short names. Empty when neither fits.
std::string AnsiPath(const std::wstring& wide) {
    if (wide.empty()) {
        return {};
    }
    if (auto narrow = ToAnsi(wide); !narrow.empty()) {
        return narrow;
    }
    // A drive root such as "C:" needs its separator for GetShortPathNameW, which then keeps it.
    const std::wstring asked = wide.size() == 2 && wide[1] == L':' ? wide + L"\\" : wide;
    const DWORD length = GetShortPathNameW(asked.c_str(), nullptr, 0);
    if (length == 0) {
        return {};
    }
    std::vector<wchar_t> shortName(length);
    const DWORD written = GetShortPathNameW(asked.c_str(), shortName.data(), length);
    if (written == 0 || written >= length) {
        return {};
    }
    std::wstring result(shortName.data(), written);
    if (asked.size() != wide.size()) {
        while (!result.empty() && (result.back() == L'\\' || result.back() == L'/')) {
            result.pop_back();
        }
    }
    return ToAnsi(result);
}

// Whether a file can be created in the directory: the read-only attribute of a folder means nothing there, only
// its permissions count, so a file is tried.
bool DirectoryWritable(const std::wstring& directory) {
    const auto probe = directory + L"\\Config.ini.probe-" + std::to_wstring(GetCurrentProcessId());
    const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

std::wstring Environment(const wchar_t* name) {
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) {
        return {};
    }
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
    value.resize(length < size ? length : 0);
    return value;
}

std::string ParentOf(const std::string& path) {
    const auto separator = path.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

bool Exists(const std::string& path, DWORD& attributes, DWORD& error) {
    attributes = GetFileAttributesA(path.c_str());
    error = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_SUCCESS;
    return attributes != INVALID_FILE_ATTRIBUTES;
}

// Pushes the temporary file to the disk, so a full or failing disk shows up before the swap.
DWORD FlushToDisk(const std::string& path) {
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    DWORD error = FlushFileBuffers(file) ? ERROR_SUCCESS : GetLastError();
    if (!CloseHandle(file) && error == ERROR_SUCCESS) {
        error = GetLastError();
    }
    return error;
}

} // namespace

std::string ChooseConfigFilePath(const std::string& programDirectory, bool directoryWritable,
                                 const std::string& appData) {
    if (!programDirectory.empty() && (directoryWritable || appData.empty())) {
        return programDirectory + "\\Config.ini";
    }
    return appData.empty() ? std::string() : appData + "\\Mirewatch\\Config.ini";
}

std::string ConfigFilePath() {
    // Chosen once, so that what is read, what is written and what the Help window names stay one file. The file
    // is replaced through a temporary file beside it, so the folder must be writable, not just the file.
    static const std::string path = [] {
        const auto wide = ProgramDirectoryWide();
        // A folder that cannot be named in the code page cannot take the file either.
        auto directory = AnsiPath(wide);
        const bool writable = !directory.empty() && DirectoryWritable(wide);
        return ChooseConfigFilePath(directory, writable, AnsiPath(Environment(L"APPDATA")));
    }();
    return path;
}

PathOutcome HeldPath(const std::u16string& path) {
    const std::wstring wide(path.begin(), path.end());
    if (auto held = AnsiPath(wide); !held.empty()) {
        return {held, {}};
    }
    return {{},
            "its name holds characters that the system's code page cannot hold, and the file has no short (8.3) name "
            "that could stand for it. Rename the file or its folder, or move it."};
}

ReadOutcome ReadConfigValue(const std::string& section, const std::string& key) {
    // Names that could never be written are not asked for, so both platforms read the same.
    if (!ProfileEntryProblem(section, key, {}).empty() || HasNul(section) || HasNul(key)) {
        return {};
    }
    const auto path = ConfigFilePath();
    if (path.empty()) {
        return {{}, "Mirewatch cannot find a place for its settings file."};
    }
    // The profile functions read a file they cannot open as a missing one: the reason is asked for here.
    const auto cannotRead = "The settings file " + path + " cannot be read: ";
    DWORD attributes = 0;
    DWORD error = ERROR_SUCCESS;
    if (!Exists(path, attributes, error)) {
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return {};
        }
        return {{}, cannotRead + SystemMessage(error)};
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return {{}, cannotRead + "it is a directory."};
    }
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {{}, cannotRead + SystemMessage(GetLastError())};
    }
    CloseHandle(file);
    std::vector<char> buffer(256);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length =
            GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(), size, path.c_str());
        // A value that fills the buffer comes back cut to size - 1 characters: grow and ask again.
        if (length + 1 < size || size >= LargestRead) {
            return {std::string(buffer.data(), length), {}};
        }
        buffer.resize(buffer.size() * 2);
    }
}

WriteOutcome WriteConfigValue(const std::string& section, const std::string& key, const std::string& value) {
    if (auto problem = ProfileEntryProblem(section, key, value); !problem.empty()) {
        return {false, problem};
    }
    if (HasNul(section) || HasNul(key) || HasNul(value)) {
        return {false, "The setting contains a NUL character."};
    }
    const auto path = ConfigFilePath();
    if (path.empty()) {
        return {false, "Cannot find the program's directory."};
    }
    const auto cannotWrite = "Cannot write " + path;
    // The per-user folder is made on the first write.
    if (const auto parent = ParentOf(path); !parent.empty()) {
        CreateDirectoryA(parent.c_str(), nullptr);
    }

    DWORD attributes = 0;
    DWORD error = ERROR_SUCCESS;
    const bool exists = Exists(path, attributes, error);
    if (!exists && error != ERROR_FILE_NOT_FOUND) {
        return Failure(cannotWrite, error);
    }
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return {false, cannotWrite + ": it is a directory."};
    }
    if (exists && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return {false, cannotWrite + ": the file is read-only."};
    }

    // The copy that is edited: the old file's bytes, or an empty file for a first write.
    static std::atomic<unsigned> serial{0};
    std::string temporary;
    bool created = false;
    for (int attempt = 0; attempt < 100 && !created; ++attempt) {
        temporary = path + ".tmp-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(serial++);
        if (exists) {
            created = CopyFileA(path.c_str(), temporary.c_str(), TRUE) != FALSE;
        } else {
            const HANDLE file =
                CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            created = file != INVALID_HANDLE_VALUE;
            if (created) {
                CloseHandle(file);
            }
        }
        if (!created) {
            error = GetLastError();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
                break;
            }
        }
    }
    if (!created) {
        return Failure("Cannot create a temporary file beside " + path, error);
    }

    error = ERROR_SUCCESS;
    const auto line = ProfileLineValue(value); // quoted where the reader would trim or unquote it
    if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), line.c_str(), temporary.c_str())) {
        error = GetLastError();
    }
    if (error == ERROR_SUCCESS) {
        // All NULL empties the profile cache for the file; its result says nothing about our write.
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, temporary.c_str());
        error = FlushToDisk(temporary);
    }
    if (error == ERROR_SUCCESS) {
        // ReplaceFile keeps the old file's attributes and security; a first write just moves the copy in.
        const BOOL swapped =
            exists ? ReplaceFileA(path.c_str(), temporary.c_str(), nullptr, ReplaceFlags, nullptr, nullptr)
                   : MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        if (!swapped) {
            error = GetLastError();
        }
    }
    if (error != ERROR_SUCCESS) {
        DeleteFileA(temporary.c_str());
        return Failure(cannotWrite, error);
    }
    return {true, {}};
}

} // namespace API
