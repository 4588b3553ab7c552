// Path texts: splitting, joining and validation. Paths are UTF-16 Strings with the backslash as
// separator unless a function says 8-bit; nothing here touches the file system.
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "core/string.h"

namespace tessarin {

// Index of the last backslash standing before the first ";" of the path; without one, the
// first colon if it stands before the first ";"; otherwise -1.
int32_t lastSeparator(const String& path);
// The text before the last separator; a root keeps its separator ("C:\a" gives "C:\", "C:a"
// gives "C:"). No separator gives the empty text.
String parentFolder(const String& path);
// The text after the last separator (the whole path when there is none).
String fileName(const String& path);
// Replaces the extension of the path's file name (or adds one). The new extension may be given
// with or without its dot; an empty one removes the extension with its dot.
String changeExtension(const String& path, const String& extension);
// folder + "\" + name with exactly one backslash between them; an empty folder gives name.
String joinPath(const String& folder, const String& name);
// Begins with two backslashes, or with a drive letter, a colon and a backslash.
bool isAbsolutePath(const String& path);

// Paths from this length on are handed to the system in the "\\?\" form: shorter limits apply
// to folders (MAX_PATH less room for an 8.3 name) than to files (MAX_PATH).
inline constexpr int32_t kExtendedPathFrom = 248;
// The form in which the system takes the path whatever its length: an absolute path of
// kExtendedPathFrom characters or more becomes "\\?\C:\..." or "\\?\UNC\server\...", with
// "/" read as "\", "." and ".." resolved and doubled backslashes dropped, since the system no
// longer does that for it. Shorter, relative and already extended paths are returned as given.
String extendedLengthPath(const String& path);

// Holds "*" or "?".
bool hasWildcard(const String& path);
// Removes a trailing " /s" (either case), the listing's mark for recursion, and the white space
// before it; true when there was one.
bool takeRecursiveMark(String& pattern);

// Options of validPath.
enum PathValidation : uint32_t {
    kPathAllowAsterisk = 0x1,
    kPathAllowQuestionMark = 0x2,
    kPathTrim = 0x4,  // trim blanks and line breaks at both ends instead of refusing them
    kPathMustBeAbsolute = 0x20,
    kPathNoBar = 0x40,  // 8-bit form: refuse "|" also where it opens the narrow path form
    kPathAllowTrailingBackslash = 0x80,
    kPathSlashIsBackslash = 0x800,  // 8-bit form: read "/" as "\"
};

// Whether the text is a usable path under the options above. One pair of enclosing double
// quotes is ignored.
bool validPath(const String& path, uint32_t options);
// The 8-bit form. Without kPathNoBar a text in the narrow path form ("|" and UTF-8) is decoded
// and checked as the path it stands for.
bool validPath8(const char* path, uint32_t options);

// Whether a directory-listing entry name may be reported: not empty, not "." or "..", and free
// of / " < > | * ? ;.
bool isListableEntryName(const char16_t* name);
// "thumbs.db" and "desktop.ini", in any letter case: files the shell drops into folders.
bool isShellFolderFile(const char16_t* name);

// A list of paths (UTF-16), front-coded (see PrefixList) in the UTF-8 form that also carries
// lone surrogates: an ASCII path takes a byte a character, and every path comes back unit for
// unit.
class PathList {
  public:
    void add(const String& path);
    int32_t count() const { return list_.count(); }
    // Calls visit(const String&) with each path, in the order they were added.
    template <typename Visit>
    void forEach(Visit visit) const {
        String path;
        list_.forEach([&](const String& bytes) {
            decode(bytes, path);
            visit(path);
        });
    }

  private:
    static void decode(const String& bytes, String& path);

    PrefixList list_;
};

}  // namespace tessarin
