// A private folder under the prefix's temp folder for tests that work on real files, with raw
// Win32 helpers to set up and inspect its contents independently of the code under test.
#pragma once

#include <windows.h>

#include <string>

namespace tessarin::testing {

inline const wchar_t* w(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

// The "\\?\" form lets the raw helpers reach into trees deeper than MAX_PATH.
inline std::u16string anyLength(const std::u16string& path) {
    return path.size() >= 240 && path.rfind(u"\\\\", 0) != 0 ? u"\\\\?\\" + path : path;
}

inline void removeTree(const std::u16string& given) {
    std::u16string folder = anyLength(given);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(w(folder + u"\\*"), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::u16string leaf(reinterpret_cast<char16_t*>(found.cFileName));
            if (leaf == u"." || leaf == u"..") continue;
            std::u16string path = folder + u"\\" + leaf;
            SetFileAttributesW(w(path), FILE_ATTRIBUTE_NORMAL);
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                removeTree(path);
            } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveDirectoryW(w(path));
            } else {
                DeleteFileW(w(path));
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(w(folder));
}

inline bool put(const std::u16string& file, const std::string& data) {
    HANDLE h = CreateFileW(w(file), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &done, nullptr);
    CloseHandle(h);
    return done == data.size();
}

inline std::string get(const std::u16string& file) {
    HANDLE h = CreateFileW(w(file), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    std::string data(GetFileSize(h, nullptr), '\0');
    DWORD done = 0;
    ReadFile(h, data.data(), static_cast<DWORD>(data.size()), &done, nullptr);
    CloseHandle(h);
    return data;
}

inline bool present(const std::u16string& path) {
    return GetFileAttributesW(w(path)) != INVALID_FILE_ATTRIBUTES;
}

// <temp>\<prefix><process id>, created empty; removed with everything in it.
class ScratchFolder {
  public:
    explicit ScratchFolder(const std::u16string& prefix) {
        wchar_t buffer[MAX_PATH + 1];
        DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
        path_ = std::u16string(reinterpret_cast<char16_t*>(buffer), n) + prefix +
                reinterpret_cast<const char16_t*>(std::to_wstring(GetCurrentProcessId()).c_str());
        removeTree(path_);
        CreateDirectoryW(w(path_), nullptr);
    }
    ~ScratchFolder() { removeTree(path_); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::u16string& path() const { return path_; }
    std::u16string operator/(const std::u16string& leaf) const { return path_ + u"\\" + leaf; }

  private:
    std::u16string path_;
};

}  // namespace tessarin::testing
