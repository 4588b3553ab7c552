#include "core/file.h"

namespace tessarin {
namespace {

const char* const kFileErrorTexts[] = {
    "Success.",
    "An unknown error occurred.",
    "The filename is invalid.",
    "The file was not found.",
    "The directory does not exist.",
    "The file is locked by another application.",
    "Failed to read the file into memory.",
    "Failed to write data to the file.",
    "Too many files are already open.",
    "An invalid parameter was used.",
    "The file already exists.",
    "Too many indexed files exist.",
    "Access denied.",
    "The file's Read-Only attribute is set.",
    "The file's contents are corrupted.",
    "Deletion failed.",
    "The file is too large to load into memory.",
    "Aborted by the user.",
    "Failed to create the directory.",
    "The network path is not valid.",
    "The device is not ready (usually because no disk is inserted).",
    "The drive does not exist.",
    "Erasure verification failed.",
};

}  // namespace

const char* fileErrorText(int code) {
    constexpr int count = static_cast<int>(sizeof kFileErrorTexts / sizeof kFileErrorTexts[0]);
    if (code < 0 || code >= count) return kFileErrorTexts[kFileErrorUnknown];
    return kFileErrorTexts[code];
}

}  // namespace tessarin
