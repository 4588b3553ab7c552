#include "actions/rollback.h"

namespace tessarin {

InstallRollback& installRollback() {
    static InstallRollback rollback;
    return rollback;
}

Vector<FileDeletion> deletionsToTakeBack(const UninstallData& data, int32_t mark,
                                         const PathSet& kept) {
    // The list is read back as the uninstaller reads it from the file.
    const String text = data.deletionText();
    UninstallData recorded;
    readUninstallDataText(text.c_str(), text.length(), recorded);
    Vector<FileDeletion> back;
    for (int32_t i = mark < 0 ? 0 : mark; i < recorded.deletions.count(); ++i) {
        const FileDeletion& deletion = recorded.deletions[i];
        if (deletion.path.empty()) continue;
        if (deletion.kind == DeletionKind::File && kept.contains(deletionPathWide(deletion)))
            continue;
        back.append(deletion);
    }
    return back;
}

}  // namespace tessarin
