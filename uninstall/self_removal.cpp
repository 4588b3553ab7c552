#include "uninstall/self_removal.h"

#include "core/format.h"
#include "core/path.h"
#include "services/protected_paths.h"

namespace tessarin {

namespace {

void dropTrailingBackslash(String& path) {
    int32_t n = path.wideLength();
    if (n > 0 && path.w_str()[n - 1] == u'\\') path.setWideLength(n - 1);
}

}  // namespace

Vector<String> uninstallFoldersDeepestFirst(const String& installDir,
                                            const String& uninstallSubdir) {
    Vector<String> folders;
    String relative = uninstallSubdir;
    while (!relative.empty() && folders.count() < kSelfRemovalMaxSubfolders) {
        folders.append(joinPath(installDir, relative));
        dropTrailingBackslash(relative);
        relative = parentFolder(relative);
    }
    return folders;
}

bool isInstalledUninstaller(const String& executable, const String& installDir,
                            const String& uninstallSubdir) {
    String folder = uninstallSubdir.empty() ? installDir : joinPath(installDir, uninstallSubdir);
    String own = comparablePath(parentFolder(executable));
    return !own.empty() && own == comparablePath(folder);
}

String selfRemovalScript(const String& executable, const String& installDir,
                         const String& uninstallSubdir, const String& scriptPath) {
    const char16_t* exe = executable.w_str();
    String text;
    // The loop lines stay as they were; the counter and the pause between attempts sit inside.
    formatAppendWide(text, u"set TessarinAttempts=0\r\n");
    formatAppendWide(text, u":Repeat\r\ndel \"%s\"\r\n", exe);
    formatAppendWide(text, u"set /a TessarinAttempts+=1\r\n");
    formatAppendWide(text, u"if %%TessarinAttempts%% GEQ %d goto GaveUp\r\n",
                     static_cast<int>(kSelfRemovalAttempts));
    formatAppendWide(text, u"if exist \"%s\" ping -n 2 127.0.0.1 >nul\r\n", exe);
    formatAppendWide(text, u"if exist \"%s\" goto Repeat\r\n", exe);
    formatAppendWide(text, u":GaveUp\r\n");
    formatAppendWide(text, u"CHOICE /T 3 /D Y\r\n");
    Vector<String> folders = uninstallFoldersDeepestFirst(installDir, uninstallSubdir);
    for (int32_t i = 0; i < folders.count(); ++i) {
        formatAppendWide(text, u"rd \"%s\"\r\n", folders[i].w_str());
    }
    formatAppendWide(text, u"rd \"%s\"\r\n", installDir.w_str());
    formatAppendWide(text, u"del \"%s\"\r\n", scriptPath.w_str());
    return text;
}

}  // namespace tessarin
