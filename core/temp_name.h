// The generator side of temporary file names: names made up from the library's pseudo-random
// generator when the system cannot make one. The file-system side lives in file_system.h.
#pragma once

#include <cstdint>

#include "core/string.h"

namespace tessarin {

// Option of temporaryFileName and generatedTempName: stay in the given folder.
inline constexpr uint32_t kTempNameKeepFolder = 0x1;

// What the generator needs to know about the file system.
class TempNameSystem {
  public:
    virtual ~TempNameSystem() = default;
    virtual bool nameTaken(const String& path) = 0;
    virtual String temporaryFolder() = 0;
    virtual bool createFolder(const String& path) = 0;
};

// The extension a temporary name gets: one leading "." dropped.
String tempNameExtension(const String& extension);

// Up to 400 names "OQT%4X.<extension>" (low 16 bits of the generator; extension "tmp" when
// none is given) in folder, returning the first that is not taken. Unless kTempNameKeepFolder
// is set, from the 200th attempt on the names go to the temporary folder and from the 300th
// to "c:\temp" when that can be created. Empty when every name was taken. Nothing is created.
String generatedTempName(TempNameSystem& system, const String& folder, const String& extension,
                         uint32_t options);

// The name of a private folder (see createPrivateFolder) made of 64 random bits: "TSN" and
// sixteen hexadecimal digits.
String privateFolderName(uint64_t number);

}  // namespace tessarin
