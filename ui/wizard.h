// The installer's wizard: the modal pages that confirm and adjust an installation, the
// progress window during it and the summary page at its end, and the questions every part of
// the installer asks through them. Pages run on the user-interface thread over the background
// window (or the desktop). Every page either accepts or cancels; a cancel ends the process
// through CancelInstallation. Windows only.
#pragma once

#include <cstdint>

#include "core/string.h"

namespace tessarin {

enum class PageResult { Accepted, Cancelled };

// The pages in their order; each is shown only under its own conditions (and returns Accepted
// when it is not shown).
PageResult ShowLanguagePage();
PageResult ShowGreetingPage();
PageResult AskPassword();
PageResult ShowLicensePages();
PageResult ShowReadmePages();
// The folder page until a usable folder is chosen and made; InstallDir holds it then.
PageResult ChooseFolderLoop();
PageResult ShowStartMenuPage();

// Centres a window on the background window, else on the desktop's work area.
void placeOverBackground(void* window);

// The text of a window or control (UTF-16); empty for none.
String windowText(void* window);

// Puts one of the program's 10 x 10 button images (ID_IMAGE_ACCEPT ... ID_IMAGE_RETRY) beside
// the button's label.
void setButtonImage(void* button, int image);

// The banner title of a page in the dialog font's bold face.
void emboldenBannerTitle(void* window);

// The "MustUninstall" dialog: true when the user chose to uninstall the previous version.
bool AskForcedUninstallation();

// Ends the installation (or uninstallation) as cancelled: message 98 (101 when uninstalling)
// with caption 111 unless automatic, then the cancelled exit code.
[[noreturn]] void CancelInstallation();

// Questions with the question icon, brought to the front, their buttons labelled from the
// message table. In SilentMode they answer Yes / OK without showing anything.
bool AskYesNo(const String& text, const String& caption);
bool AskOkCancel(const String& text, const String& caption);
// An error box, captioned message 21 (or "Error"); kept quiet in AutomaticMode unless
// ProductFlags high word 0x8 asks for errors.
void ShowError(const String& text);

// The modeless progress window, when the script wants it and the run is not silent; it draws
// the progress display from then on. uninstalling switches to the uninstaller's texts and
// disables Cancel.
void OpenProgressWindow(bool uninstalling = false);
void CloseProgressWindow();

// The summary page at the end of an installation: the finish options the user keeps; the
// error list (8-bit) follows the closing text when something failed.
void ShowSummaryPage(const String& errors);
// The finish options the summary page offers; all off until the page is shown.
struct FinishOptions {
    bool openReadme = false;
    bool launchProgram = false;
    bool showLog = false;
    bool openDocument = false;
};
FinishOptions& finishOptions();

}  // namespace tessarin
