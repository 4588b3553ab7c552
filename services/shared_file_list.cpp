#include "services/shared_file_list.h"

namespace tessarin {

namespace {

// Takes a flag character off the given end of the piece; false when there is none.
bool takeFlag(String& piece, SharedFileEntry& entry, bool front) {
    if (piece.empty()) return false;
    int32_t at = front ? 0 : piece.length() - 1;
    switch (static_cast<unsigned char>(piece.c_str()[at])) {
        case '^':
            entry.comServer = true;
            break;
        case ' ':
            entry.permanent = true;
            break;
        case 0xA9:
            entry.typeLibrary = true;
            break;
        default:
            return false;
    }
    piece.replace(at, 1, nullptr, 0);
    return true;
}

}  // namespace

Vector<SharedFileEntry> parseSharedFiles(const String& text) {
    Vector<SharedFileEntry> entries;
    const char* s = text.c_str();
    int32_t n = text.length();
    for (int32_t start = 0; start <= n;) {
        int32_t end = start;
        while (end < n && s[end] != '"') ++end;
        String piece(s + start, end - start);
        start = end + 1;
        if (piece.empty() || (piece.length() == 1 && piece.c_str()[0] == ';')) continue;
        SharedFileEntry entry;
        while (takeFlag(piece, entry, true)) {
        }
        while (takeFlag(piece, entry, false)) {
        }
        if (piece.empty()) continue;
        entry.path = piece;
        entries.append(entry);
    }
    return entries;
}

}  // namespace tessarin
