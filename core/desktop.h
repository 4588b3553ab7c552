// Thin wrappers for the pre-install steps: the single-instance mutex, the top-level windows of
// the desktop and what may be done to them and their processes, message boxes with buttons and
// a sound played from memory. Windows only (desktop_win.cpp).
#pragma once

#include <cstdint>
#include <vector>

#include "core/string.h"

namespace tessarin {

// Opens or creates the named mutex and tries to take it without waiting. Kept for the rest of
// the process once taken. True when this process holds it now; false when another one does
// (or the mutex could not be made, with the system's error).
bool takeSingleInstanceMutex(const char16_t* name);
// Lets the mutex go again (tests).
void releaseSingleInstanceMutex();

struct TopLevelWindow {
    void* window = nullptr;  // HWND
    String className;        // 8-bit
    String title;            // 8-bit
    uint32_t processId = 0;
};
// Every top-level window of the desktop, in the system's order.
std::vector<TopLevelWindow> topLevelWindows();
uint32_t currentProcessId();
bool windowExists(void* window);
// Restored when minimised, shown and brought to the front.
void bringWindowForward(void* window);
bool postCloseMessage(void* window);  // WM_CLOSE
bool postQuitMessage(void* window);   // WM_QUIT
// Opens the process with the right to end it and ends it with the exit code.
bool terminateProcessById(uint32_t processId, unsigned exitCode);

// Message-box buttons and icons (MB_*) and answers (ID*), for showMessageBox of core/ui.h.
inline constexpr unsigned kMbOkCancel = 0x1;
inline constexpr unsigned kMbRetryCancel = 0x5;
inline constexpr unsigned kMbYesNo = 0x4;
inline constexpr unsigned kMbIconQuestion = 0x20;
inline constexpr unsigned kMbIconWarning = 0x30;
inline constexpr unsigned kMbIconInformation = 0x40;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdRetry = 4;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// PlaySoundW of a wave image in memory, asynchronously and without the default sound. The
// bytes must stay alive while it plays. False without the multimedia library.
bool playSoundFromMemory(const String& wave);

}  // namespace tessarin
