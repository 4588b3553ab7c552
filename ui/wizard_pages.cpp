#include "ui/wizard_pages.h"

#include "core/path.h"
#include "services/protected_paths.h"
#include "ui/wizard.h"

namespace tessarin {

namespace {

bool isNetworkPath(const String& path) {
    return path.getWide(0) == u'\\' && path.getWide(1) == u'\\';
}

// The same folder once both are written alike (letter case, a trailing backslash, "." and "..").
bool sameFolder(const String& a, const String& b) {
    String left = comparablePath(a);
    return !left.empty() && left == comparablePath(b);
}

// "C:\", and every other name of it ("C:\.\", "C:\Users\..").
bool namesDriveRoot(const String& folder) {
    if (folder.wideLength() < 4) return true;
    String resolved = comparablePath(folder);
    return resolved.wideLength() == 2 && resolved.getWide(1) == u':';
}

}  // namespace

String pageTemplateName(const char* page, int32_t selector) {
    String name(page);
    if (selector == 1) return name;
    name.append(selector == 0 ? "2" : selector == 3 ? "4" : "3");
    return name;
}

bool greetingShown(uint64_t productFlags, bool automatic) {
    if (productFlags & kFlagsGreetingAlways) return true;
    return !automatic && (productFlags & kFlagsGreetingNever) == 0;
}

String languageLine(const String& name) {
    String line(u"\t");
    line.append(name);
    return line;
}

int32_t initialLanguage(const Vector<String>& languages, const String& userLanguageName) {
    String wanted = userLanguageName;
    for (int32_t i = 0; i < wanted.wideLength(); ++i) {
        if (wanted.getWide(i) == u'(') {
            wanted.setWideLength(i);
            break;
        }
    }
    wanted.trimWide();
    for (const char16_t* name : {wanted.w_str(), u"English"}) {
        if (name[0] == 0) continue;
        for (int32_t i = 0; i < languages.count(); ++i) {
            if (languages[i].equalsWide(name)) return i;
        }
    }
    return 0;
}

Vector<String> documentPages(const String& introduction, const Vector<String>& texts) {
    Vector<String> pages;
    if (!introduction.empty()) {
        String page("\xFF\xFE", 2);
        page.append(introduction);
        pages.append(page);
    }
    for (int32_t i = 0; i < texts.count(); ++i) {
        if (!texts[i].empty()) pages.append(texts[i]);
    }
    return pages;
}

DocumentKind documentKind(const String& stored, int32_t& textStart) {
    textStart = 0;
    const char* s = stored.c_str();
    if (stored.length() >= 2 && uint8_t(s[0]) == 0xFF && uint8_t(s[1]) == 0xFE) {
        textStart = 2;
        return DocumentKind::Wide;
    }
    int32_t start = 0;
    if (stored.length() >= 3 && uint8_t(s[0]) == 0xEF && uint8_t(s[1]) == 0xBB &&
        uint8_t(s[2]) == 0xBF)
        start = 3;
    if (stored.length() - start >= 5 && String(s + start, 5).equals("{\\rtf")) {
        textStart = start;
        return DocumentKind::Rich;
    }
    return DocumentKind::Plain;
}

bool startMenuNameAcceptable(const String& name) {
    if (name.getWide(0) == u'\\') return false;
    char16_t previous = 0;
    for (int32_t i = 0; i < name.wideLength(); ++i) {
        char16_t c = name.getWide(i);
        switch (c) {
            case u'/':
            case u'"':
            case u'<':
            case u'>':
            case u'|':
            case u'*':
            case u'?':
            case u':':
            case u';':
                return false;
            default:
                break;
        }
        if (c == u'\\' && previous == u'\\') return false;
        previous = c;
    }
    return true;
}

FolderProblem checkChosenFolder(const String& folder, uint64_t productFlags,
                                FolderCheckSystem& system, String& programFilesFolder) {
    if (folder.empty()) return FolderProblem::Empty;
    if (!validPath(folder, kPathAllowTrailingBackslash) || !isAbsolutePath(folder))
        return FolderProblem::Invalid;
    const char16_t letter = folder.getWide(0) & ~char16_t(0x20);  // upper case
    if (!isNetworkPath(folder) && !system.driveExists(letter)) return FolderProblem::NoDrive;
    if ((productFlags & kFlagsRefuseNetworkFolder) &&
        (isNetworkPath(folder) || system.networkDrive(folder)))
        return FolderProblem::Network;
    if (namesDriveRoot(folder)) return FolderProblem::DriveRoot;
    for (const String& programFiles : {system.programFiles32(), system.programFiles64()}) {
        if (sameFolder(folder, programFiles)) {
            programFilesFolder = programFiles;
            return FolderProblem::ProgramFiles;
        }
    }
    if (!system.volumeUsable(folder)) return FolderProblem::UnusableVolume;
    if ((productFlags & kFlagsRefusePortableFolder) && system.portableDrive(folder))
        return FolderProblem::UnusableVolume;
    return FolderProblem::None;
}

Point placeWindow(const Rect& area, int32_t width, int32_t height, int32_t placement) {
    const int32_t left = area.left, right = area.right - width;
    const int32_t top = area.top, bottom = area.bottom - height;
    const int32_t middleX = area.left + (area.width() - width) / 2;
    const int32_t middleY = area.top + (area.height() - height) / 2;
    Point at;
    switch (placement) {
        case 1:
            at = {left, top};
            break;
        case 2:
            at = {right, top};
            break;
        case 3:
            at = {left, bottom};
            break;
        case 4:
            at = {right, bottom};
            break;
        case 5:
            at = {middleX, top};
            break;
        case 6:
            at = {middleX, bottom};
            break;
        default:
            at = {middleX, middleY};
            break;
    }
    if (at.x < area.left) at.x = area.left;
    if (at.y < area.top) at.y = area.top;
    return at;
}

PictureFrame pictureFrame(uint8_t border, int32_t selector) {
    switch (border) {
        case 1:
            return PictureFrame::Sunken;
        case 2:
            return PictureFrame::Thin;
        case 3:
            return selector == 1 ? PictureFrame::Sunken : PictureFrame::None;
        default:
            return PictureFrame::None;
    }
}

bool spaceQuestionNeeded(bool replacing, bool automatic, bool driveKnown, uint64_t freeBytes,
                         uint64_t estimate) {
    return !replacing && !automatic && driveKnown && freeBytes < estimate;
}

bool spaceCheckApplies(uint32_t productFlags2, const String& folder) {
    if ((productFlags2 & kFlags2SkipSpaceCheckForWideNames) == 0) return true;
    for (int32_t i = 0; i < folder.wideLength(); ++i) {
        if (folder.getWide(i) >= 0x80) return false;
    }
    return true;
}

FinishOptions& finishOptions() {
    static FinishOptions options;
    return options;
}

}  // namespace tessarin
