// The session manager's list of reboot-time operations ("PendingFileRenameOperations"), read
// with raw Win32 calls independently of the code under test.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace tessarin::testing {

inline constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
inline constexpr wchar_t kPendingValue[] = L"PendingFileRenameOperations";

// The raw value, or nothing; restored by the destructor so that no test leaves work for the
// next start of the prefix.
class PendingOperations {
  public:
    PendingOperations() { present_ = read(saved_); }
    ~PendingOperations() {
        HKEY key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key)) return;
        if (present_) {
            RegSetValueExW(key, kPendingValue, 0, REG_MULTI_SZ,
                           reinterpret_cast<const BYTE*>(saved_.data()),
                           static_cast<DWORD>(saved_.size() * sizeof(char16_t)));
        } else {
            RegDeleteValueW(key, kPendingValue);
        }
        RegCloseKey(key);
    }

    // The (source, target) pairs now in the value.
    static std::vector<std::pair<std::u16string, std::u16string>> pairs() {
        std::vector<char16_t> raw;
        std::vector<std::u16string> strings;
        if (read(raw)) {
            std::u16string current;
            for (char16_t c : raw) {
                if (c != 0) {
                    current.push_back(c);
                } else {
                    strings.push_back(current);
                    current.clear();
                }
            }
            if (!strings.empty() && strings.back().empty()) strings.pop_back();  // the list's end
        }
        if (strings.size() % 2) strings.push_back(u"");
        std::vector<std::pair<std::u16string, std::u16string>> result;
        for (size_t i = 0; i < strings.size(); i += 2)
            result.push_back({strings[i], strings[i + 1]});
        return result;
    }

    // Whether the value holds the pair, comparing without the "\??\" and "!" prefixes and
    // without regard to case. An empty target is a deletion.
    static bool holds(const std::u16string& source, const std::u16string& target) {
        for (const auto& [s, t] : pairs()) {
            if (bare(s) == lower(source) && bare(t) == lower(target)) return true;
        }
        return false;
    }

  private:
    static std::u16string lower(std::u16string s) {
        for (char16_t& c : s)
            if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
        return s;
    }
    static std::u16string bare(const std::u16string& s) {
        size_t start = s.find_first_not_of(u"\\?!");
        return lower(start == std::u16string::npos ? std::u16string() : s.substr(start));
    }
    static bool read(std::vector<char16_t>& raw) {
        HKEY key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key))
            return false;
        DWORD size = 0, type = 0;
        bool found = RegQueryValueExW(key, kPendingValue, nullptr, &type, nullptr, &size) == 0;
        raw.assign(size / sizeof(char16_t), 0);
        if (found && size > 0)
            found = RegQueryValueExW(key, kPendingValue, nullptr, &type,
                                     reinterpret_cast<BYTE*>(raw.data()), &size) == 0;
        RegCloseKey(key);
        return found;
    }

    bool present_ = false;
    std::vector<char16_t> saved_;
};

}  // namespace tessarin::testing
