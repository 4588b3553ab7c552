#include "core/font.h"

#include "core/chars.h"

namespace tessarin {
namespace {

constexpr int32_t kFaceNameChars = 31;  // LOGFONT's face name holds 32 with the terminator

bool isFaceBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

int32_t fontWeight(const FontRequest& request) {
    if (request.weight >= 0) return request.weight;
    return (request.style & kFontBold) ? kFontWeightBold : kFontWeightNormal;
}

void splitFaceList(const char* list, Vector<String>& faces) {
    faces.clear();
    if (!list) return;
    const char* p = list;
    while (*p) {
        const char* end = p;
        while (*end && *end != ',') ++end;
        const char* first = p;
        const char* last = end;
        while (first < last && isFaceBlank(*first)) ++first;
        while (last > first && isFaceBlank(last[-1])) --last;
        if (last > first) faces.append(String(first, static_cast<int32_t>(last - first)));
        p = *end ? end + 1 : end;
    }
}

// The key is lower-cased with ASCII rules only: the name is 8-bit text in the system code
// page, where a byte that looks like an upper-case letter may be the second half of a
// double-byte character. The system is asked with the name as given, since face matching
// there ignores case anyway.
bool FaceCache::installed(const char* name, FaceProbe probe, void* context) {
    if (!name || !*name) return false;
    int32_t n = 0;
    while (n < kFaceNameChars && name[n]) ++n;
    String face(name, n);
    String key(face);
    for (int32_t i = 0; i < key.length(); ++i)
        key.set(i, static_cast<char>(toLowerAscii(static_cast<unsigned char>(key.get(i)))));
    if (const bool* known = faces_.findValue(key)) return *known;
    bool answer = probe(face.c_str(), context);
    faces_.insert(key, answer);
    faces_.growByLoad(4, 2.5);
    return answer;
}

String FaceCache::firstInstalled(const char* list, FaceProbe probe, void* context) {
    Vector<String> faces;
    splitFaceList(list, faces);
    for (const String& face : faces)
        if (installed(face.c_str(), probe, context)) return face;
    return String("Arial");
}

}  // namespace tessarin
