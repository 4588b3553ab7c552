// The message table behind File's open results.
#include <gtest/gtest.h>

#include "core/file.h"

namespace tessarin {
namespace {

TEST(FileError, EveryCodeHasItsMessage) {
    const char* expected[] = {
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
    for (int code = 0; code < 23; ++code) {
        EXPECT_STREQ(fileErrorText(code), expected[code]) << "code " << code;
    }
}

TEST(FileError, CodesOutsideTheTableReadAsUnknown) {
    for (int code : {23, 100, -1, INT32_MIN}) {
        EXPECT_STREQ(fileErrorText(code), "An unknown error occurred.") << "code " << code;
    }
}

}  // namespace
}  // namespace tessarin
