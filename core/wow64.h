// WOW64 file-system redirection of the 32-bit process on 64-bit Windows. The calls exist only
// on systems with WOW64 and are looked up by name once; without them both functions fail with
// ERROR_CALL_NOT_IMPLEMENTED as the last error.
#pragma once

namespace tessarin {

// Switches redirection off for the calling thread; oldValue receives what the revert needs.
bool disableFileSystemRedirection(void*& oldValue);
bool revertFileSystemRedirection(void* oldValue);

}  // namespace tessarin
