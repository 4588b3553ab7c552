#include "core/temp_name.h"

#include "core/format.h"
#include "core/path.h"
#include "core/random.h"

namespace tessarin {
namespace {

constexpr int kGeneratedAttempts = 400;
constexpr int kSwitchToTempFolder = 200;
constexpr int kSwitchToRootTemp = 300;

}  // namespace

String tempNameExtension(const String& extension) {
    String e = extension;
    e.removeFrontWideChar(u'.');
    return e;
}

String privateFolderName(uint64_t number) {
    return formatWide(u"TSN%08X%08X", static_cast<unsigned>(number >> 32),
                      static_cast<unsigned>(number & 0xFFFFFFFFu));
}

String generatedTempName(TempNameSystem& system, const String& folder, const String& extension,
                         uint32_t options) {
    String ext = tempNameExtension(extension);
    if (ext.empty()) ext = String(u"tmp");
    String where = folder;
    bool moves = !(options & kTempNameKeepFolder);
    for (int attempt = 1; attempt <= kGeneratedAttempts; ++attempt) {
        if (moves && attempt == kSwitchToTempFolder) where = system.temporaryFolder();
        if (moves && attempt == kSwitchToRootTemp && system.createFolder(String(u"c:\\temp")))
            where = String(u"c:\\temp");
        unsigned number = randomNumber() & 0xFFFF;
        String name = joinPath(where, formatWide(u"OQT%4X.%s", number, ext.w_str()));
        if (!system.nameTaken(name)) return name;
    }
    return String();
}

}  // namespace tessarin
