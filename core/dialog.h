// The dialog framework: dialogs from the program's templates, the message pumps that keep the
// user-interface thread responsive during long work, dialog units, and the optional scaling
// queries of newer systems.
//
// Windows are passed as opaque handles (HWND), dialog procedures as DLGPROC-compatible
// functions.
#pragma once

#include <cstdint>

#include "core/geometry.h"
#include "core/string.h"

#if defined(_WIN32)
#define TESSARIN_CALLBACK __stdcall
#else
#define TESSARIN_CALLBACK
#endif

namespace tessarin {

using DialogProcedure = intptr_t(TESSARIN_CALLBACK*)(void* dialog, unsigned message,
                                                     uintptr_t wParam, intptr_t lParam);

// Dialogs from a template resource named by 8-bit text; no module means the program's own.
// The UTF-16 function is called first; only when the system answers ERROR_CALL_NOT_IMPLEMENTED,
// or the name cannot be converted, is the 8-bit one used.
void* createDialog(const char* templateName, void* owner, DialogProcedure procedure,
                   intptr_t parameter, void* module = nullptr);  // modeless
intptr_t runDialog(const char* templateName, void* owner, DialogProcedure procedure,
                   intptr_t parameter, void* module = nullptr);  // modal

// The system's dialog entry points (CreateDialogParamW/A, DialogBoxParamW/A) as the framework
// calls them. Tests replace them to play a system without UTF-16 user-interface functions.
struct DialogEntryPoints {
    void*(TESSARIN_CALLBACK* createWide)(void* module, const char16_t* name, void* owner,
                                         DialogProcedure procedure, intptr_t parameter);
    void*(TESSARIN_CALLBACK* createNarrow)(void* module, const char* name, void* owner,
                                           DialogProcedure procedure, intptr_t parameter);
    intptr_t(TESSARIN_CALLBACK* runWide)(void* module, const char16_t* name, void* owner,
                                         DialogProcedure procedure, intptr_t parameter);
    intptr_t(TESSARIN_CALLBACK* runNarrow)(void* module, const char* name, void* owner,
                                           DialogProcedure procedure, intptr_t parameter);
};
DialogEntryPoints& dialogEntryPoints();
DialogEntryPoints systemDialogEntryPoints();

// Average character width and height of a dialog's font, in pixels.
struct DialogBaseUnits {
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const DialogBaseUnits&) const = default;
};
// From the pixel size that 8192 × 8192 dialog units map to.
DialogBaseUnits baseUnitsFromMapping(int32_t pixelsX, int32_t pixelsY);
// Dialog units to pixels with given base units (4 horizontal and 8 vertical units per average
// character).
int32_t dialogUnitsToPixelsX(int32_t units, const DialogBaseUnits& base);
int32_t dialogUnitsToPixelsY(int32_t units, const DialogBaseUnits& base);
DialogBaseUnits dialogBaseUnits(void* dialog);  // {0, 0} when the dialog cannot map units
DialogBaseUnits systemDialogBaseUnits();        // GetDialogBaseUnits

// One message taken from the queue.
struct PendingMessage {
    void* window = nullptr;
    unsigned message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};
using MessageFilter = bool (*)(const PendingMessage& message, void* context);

inline constexpr unsigned kMessageDestroy = 2;  // WM_DESTROY
inline constexpr unsigned kMessageQuit = 18;    // WM_QUIT

// Takes one pending message of the window (or of the thread), translates and dispatches it;
// false when there was none.
bool pumpOneMessage(void* window = nullptr);
// The same, dropping messages the filter rejects, until one is dispatched (true) or the queue
// is empty (false).
bool pumpFilteredMessage(void* window, MessageFilter filter, void* context);
// Dispatches every pending message. True as soon as a WM_DESTROY or WM_QUIT was among them
// (a WM_QUIT also sets the quit request); otherwise whether a quit was requested.
bool pumpAllMessages();
void requestQuit(bool requested = true);
bool quitRequested();

// Start-up of the framework: the program's titles for the fatal message (8-bit and UTF-16)
// and the optional libraries of newer systems.
void initializeDialogFramework(const String& title, const String& titleWide);
// Pixels per inch for the window: its own (newer systems), its monitor's, or the screen's.
uint32_t windowDpi(void* window);
// The window's visible frame where the desktop composition knows it, else its rectangle.
bool windowFrameBounds(void* window, Rect& bounds);

}  // namespace tessarin
