// Process-wide state of the installer that the entry sets up and every later step reads.
#pragma once

#include "core/string.h"
#include "core/ui.h"
#include "package/payload.h"
#include "services/command_line.h"

namespace tessarin {

inline constexpr const char* kProgramLabel = "Tessarin Setup";
inline constexpr const char16_t* kProgramLabelWide = u"Tessarin Setup";

struct SetupState {
    String programLabel;      // 8-bit
    String programLabelWide;  // UTF-16
    void* instance = nullptr;
    ProgramIcons icons;
    bool oleInitialized = false;
    CommandLineOptions options;  // AutomaticMode, SilentMode, ... as given on the command line
    bool AutomaticMode = false;
    bool SilentMode = false;
};

SetupState& setupState();
Payload& setupPayload();

}  // namespace tessarin
