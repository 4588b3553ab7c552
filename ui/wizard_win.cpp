// The wizard's pages on the running system: every page shares the frame (caption, icons,
// banner, button texts, placement); each page procedure adds its own controls.
#include <windows.h>
// windows.h first
#include <commctrl.h>
#include <richedit.h>

#include "core/convert.h"
#include "core/dialog.h"
#include "core/file_system.h"
#include "core/file_time.h"
#include "core/folder_browser.h"
#include "core/format.h"
#include "core/path.h"
#include "core/process.h"
#include "core/program_label.h"
#include "core/special_folders.h"
#include "core/system_error.h"
#include "core/system_function_win.h"
#include "core/ui.h"
#include "package/install_script.h"
#include "resources/control_ids.h"
#include "services/exit.h"
#include "services/exit_codes.h"
#include "services/install_state.h"
#include "services/setup_state.h"
#include "ui/background_window.h"
#include "ui/wizard.h"
#include "ui/wizard_pages.h"

namespace tessarin {
namespace {

LPCWSTR win(const String& text) {
    return reinterpret_cast<LPCWSTR>(text.w_str());
}

InstallScript& script() {
    return installScript();
}

bool automatic() {
    return setupState().AutomaticMode;
}

String itemText(HWND dialog, int id) {
    return windowText(GetDlgItem(dialog, id));
}

void setItemText(HWND dialog, int id, const String& text) {
    SetDlgItemTextW(dialog, id, win(text));
}

void showItem(HWND dialog, int id, bool shown) {
    if (HWND item = GetDlgItem(dialog, id)) ShowWindow(item, shown ? SW_SHOW : SW_HIDE);
}

// ---- The frame every page shares -------------------------------------------------------------

// What a page puts into its frame.
struct PageFrame {
    int32_t selector = 1;
    int32_t header = 65;  // the banner's title message
    int32_t accept = 48;  // button messages; 0 keeps the template's text
    int32_t cancel = 49;
};

}  // namespace

void placeOverBackground(void* window) {
    HWND dialog = static_cast<HWND>(window);
    RECT area;
    HWND owner = static_cast<HWND>(backgroundWindow());
    if (owner == nullptr || !IsWindowVisible(owner) || IsIconic(owner) ||
        !GetWindowRect(owner, &area))
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT own;
    GetWindowRect(dialog, &own);
    int width = own.right - own.left, height = own.bottom - own.top;
    int x = area.left + ((area.right - area.left) - width) / 2;
    int y = area.top + ((area.bottom - area.top) - height) / 2;
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

String windowText(void* window) {
    HWND item = static_cast<HWND>(window);
    String text;
    int chars = item ? GetWindowTextLengthW(item) : 0;
    if (chars <= 0) return text;
    text.setWideLength(chars + 1);
    chars = GetWindowTextW(item, reinterpret_cast<LPWSTR>(text.wideData()), chars + 1);
    text.setWideLength(chars > 0 ? chars : 0);
    return text;
}

// Without BS_BITMAP: with common controls 6 a button of that style shows its image instead of
// its label, while a plain push button draws the image beside the label. One copy of each image
// serves the whole run (a button does not own the image it is given).
void setButtonImage(void* button, int image) {
    static HANDLE loaded[ID_IMAGE_RETRY + 1] = {};
    if (button == nullptr || image < ID_IMAGE_ACCEPT || image > ID_IMAGE_RETRY) return;
    HANDLE& bitmap = loaded[image];
    if (bitmap == nullptr)
        bitmap = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(image), IMAGE_BITMAP, 10,
                            10, LR_LOADTRANSPARENT | LR_LOADMAP3DCOLORS);
    if (bitmap == nullptr) return;
    SendMessageW(static_cast<HWND>(button), BM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(bitmap));
}

namespace {

// A page button's label; with button images a blank leads it and the image goes beside it.
void labelButton(HWND dialog, int id, String text, int image) {
    HWND button = GetDlgItem(dialog, id);
    if (button == nullptr) return;
    if (script().ProductFlags2 & kFlags2ButtonImages) {
        text.prependWide(u" ");
        setButtonImage(button, image);
    }
    SetWindowTextW(button, win(text));
}

// A button label from the message table; message 0 keeps the template's button as it is.
void setButtonText(HWND dialog, int id, int32_t message, int image) {
    if (message > 0) labelButton(dialog, id, Message(message), image);
}

// The page's side picture framed as the script asks.
void frameSidePicture(HWND dialog, int32_t selector) {
    HWND picture = GetDlgItem(dialog, ID_SIDE_PICTURE);
    if (picture == nullptr) return;
    switch (pictureFrame(script().PictureBorder, selector)) {
        case PictureFrame::None:
            return;
        case PictureFrame::Sunken:
            SetWindowLongPtrW(picture, GWL_EXSTYLE,
                              GetWindowLongPtrW(picture, GWL_EXSTYLE) | WS_EX_CLIENTEDGE);
            break;
        case PictureFrame::Thin:
            SetWindowLongPtrW(picture, GWL_STYLE,
                              GetWindowLongPtrW(picture, GWL_STYLE) | WS_BORDER);
            break;
    }
    SetWindowPos(picture, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

}  // namespace

void emboldenBannerTitle(void* window) {
    HWND dialog = static_cast<HWND>(window);
    HWND title = GetDlgItem(dialog, ID_BANNER_TITLE);
    if (title == nullptr) return;
    // One bold face of the dialog font serves every page of the run.
    static HFONT bold = [dialog] {
        LOGFONTW face = {};
        HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
        if (font == nullptr || GetObjectW(font, sizeof(face), &face) == 0) return HFONT();
        face.lfWeight = FW_BOLD;
        return CreateFontIndirectW(&face);
    }();
    if (bold != nullptr) SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(bold), FALSE);
}

namespace {

void fillFrame(HWND dialog, const PageFrame& frame) {
    const InstallScript& s = script();
    String caption = Message(65);
    if (caption.empty()) caption = programLabelWide();
    SetWindowTextW(dialog, win(caption));
    if (s.ProductFlags & kFlagsPageIcons) setWindowIcons(dialog, setupState().icons);
    setItemText(dialog, ID_BANNER_TITLE, Message(frame.header));
    emboldenBannerTitle(dialog);
    frameSidePicture(dialog, frame.selector);
    setItemText(dialog, ID_BANNER_SUBTITLE, s.BannerText);
    setButtonText(dialog, ID_ACCEPT, frame.accept, ID_IMAGE_ACCEPT);
    setButtonText(dialog, ID_CANCEL, frame.cancel, ID_IMAGE_CANCEL);
    placeOverBackground(dialog);
    SetForegroundWindow(dialog);
}

// The banner strip and the white panel draw their texts on white.
HBRUSH whiteBehind(HWND dialog, HDC dc, HWND control, int32_t selector) {
    int id = GetDlgCtrlID(control);
    bool onWhite = (selector == 2 && (id == ID_BANNER_TITLE || id == ID_BANNER_SUBTITLE)) ||
                   (selector == 3 && id != ID_SIDE_PICTURE) || id == ID_DOCUMENT_TEXT;
    if (!onWhite) return nullptr;
    SetBkColor(dc, RGB(255, 255, 255));
    SetTextColor(dc, RGB(0, 0, 0));
    return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

bool isAccept(uintptr_t wParam) {
    return LOWORD(wParam) == ID_ACCEPT || LOWORD(wParam) == IDOK;
}

bool isCancel(uintptr_t wParam) {
    return LOWORD(wParam) == ID_CANCEL || LOWORD(wParam) == IDCANCEL;
}

// What every page does alike, after its own messages: texts on white where its layout puts
// them, and the accepting and cancelling buttons (Enter and Esc too) ending it.
intptr_t pageMessage(HWND dialog, unsigned message, uintptr_t wParam, intptr_t lParam,
                     int32_t selector) {
    switch (message) {
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<intptr_t>(whiteBehind(
                dialog, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), selector));
        case WM_COMMAND:
            if (isAccept(wParam)) EndDialog(dialog, IDOK);
            if (isCancel(wParam)) EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
    }
}

// Runs a page template with the page's procedure; the page object lives for the call.
struct PageContext {
    PageFrame frame;
    void* page = nullptr;
};

intptr_t runPage(const char* base, int32_t layout, DialogProcedure procedure, void* page) {
    int32_t selector = layout < 0 ? 1 : script().PageLayouts[layout];
    String name = layout < 0 ? String(base) : pageTemplateName(base, selector);
    return runDialog(name.c_str(), backgroundWindow(), procedure, reinterpret_cast<intptr_t>(page));
}

template <typename Page>
Page* pageOf(HWND dialog, UINT message, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    return reinterpret_cast<Page*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

String userLanguageName() {
    wchar_t name[128] = {};
    int chars = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SLANGUAGE, name, 128);
    return chars > 1 ? String(reinterpret_cast<const char16_t*>(name), chars - 1) : String();
}

[[noreturn]] void endCancelled() {
    ExitSetup(installExitCode(InstallEnd::Cancelled, script().ProductFlags2));
}

// ---- Language page ---------------------------------------------------------------------------

struct LanguagePage {
    PageFrame frame;
};

void fillLanguageTexts(HWND dialog, LanguagePage& page) {
    page.frame.header = 94;
    fillFrame(dialog, page.frame);
    setItemText(dialog, ID_MAIN_TEXT, Message(82));
}

void chooseLanguage(HWND dialog, LanguagePage& page) {
    LRESULT index = SendDlgItemMessageW(dialog, ID_LANGUAGE_LIST, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR) return;
    script().Messages.CurrentLanguage = static_cast<int32_t>(index);
    fillLanguageTexts(dialog, page);
    if ((script().ProductFlags & kFlagsKeepProgramCaption) == 0) setProgramLabel(Message(0));
    repaintBackgroundWindow();
}

intptr_t TESSARIN_CALLBACK languageProcedure(void* window, unsigned message, uintptr_t wParam,
                                             intptr_t lParam) {
    HWND dialog = static_cast<HWND>(window);
    LanguagePage* page = pageOf<LanguagePage>(dialog, message, lParam);
    if (page == nullptr) return FALSE;
    switch (message) {
        case WM_INITDIALOG: {
            const MessageTable& table = script().Messages;
            INT tabStop = 4;
            SendDlgItemMessageW(dialog, ID_LANGUAGE_LIST, LB_SETTABSTOPS, 1,
                                reinterpret_cast<LPARAM>(&tabStop));
            for (int32_t i = 0; i < table.Languages.count(); ++i) {
                String line = languageLine(table.Languages[i]);
                SendDlgItemMessageW(dialog, ID_LANGUAGE_LIST, LB_ADDSTRING, 0,
                                    reinterpret_cast<LPARAM>(win(line)));
            }
            int32_t first = initialLanguage(table.Languages, userLanguageName());
            SendDlgItemMessageW(dialog, ID_LANGUAGE_LIST, LB_SETCURSEL, first, 0);
            chooseLanguage(dialog, *page);
            SetFocus(GetDlgItem(dialog, ID_LANGUAGE_LIST));
            return FALSE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == ID_LANGUAGE_LIST && HIWORD(wParam) == LBN_SELCHANGE) {
                chooseLanguage(dialog, *page);
                return TRUE;
            }
            if (LOWORD(wParam) == ID_LANGUAGE_LIST && HIWORD(wParam) == LBN_DBLCLK) {
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            break;
    }
    return pageMessage(dialog, message, wParam, lParam, page->frame.selector);
}

// ---- Greeting page ---------------------------------------------------------------------------

struct GreetingPage {
    PageFrame frame;
};

intptr_t TESSARIN_CALLBACK greetingProcedure(void* window, unsigned message, uintptr_t wParam,
                                             intptr_t lParam) {
    HWND dialog = static_cast<HWND>(window);
    GreetingPage* page = pageOf<GreetingPage>(dialog, message, lParam);
    if (page == nullptr) return FALSE;
    switch (message) {
        case WM_INITDIALOG: {
            fillFrame(dialog, page->frame);
            String text = Message(1);
            if (page->frame.selector == 2) text.prependWide(u"\r\n\r\n");
            setItemText(dialog, ID_MAIN_TEXT, text);
            const String& link = script().GreetingLink;
            if (link.empty()) {
                showItem(dialog, ID_GREETING_LINK, false);
            } else {
                String linkText = Message(105);
                String anchor = formatWide(u"<a href=\"%s\">", link.w_str());
                linkText.replaceAllWide(u"<a>", anchor.w_str());
                setItemText(dialog, ID_GREETING_LINK, linkText);
            }
            SetFocus(GetDlgItem(dialog, ID_ACCEPT));
            return FALSE;
        }
        case WM_NOTIFY: {
            const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom == ID_GREETING_LINK &&
                (header->code == NM_CLICK || header->code == NM_RETURN)) {
                // The greeting-link notification is sent here once notifications exist.
                shellOpen(script().GreetingLink);
            }
            return TRUE;
        }
    }
    return pageMessage(dialog, message, wParam, lParam, page->frame.selector);
}

// ---- Password page ---------------------------------------------------------------------------

intptr_t TESSARIN_CALLBACK passwordProcedure(void* window, unsigned message, uintptr_t wParam,
                                             intptr_t lParam) {
    HWND dialog = static_cast<HWND>(window);
    switch (message) {
        case WM_INITDIALOG: {
            PageFrame frame;
            frame.accept = 0;
            fillFrame(dialog, frame);
            SetWindowTextW(dialog, win(Message(75)));
            setItemText(dialog, ID_MAIN_TEXT, Message(76));
            setItemText(dialog, ID_PASSWORD_LABEL, Message(27));
            labelButton(dialog, ID_ACCEPT, String(u"OK"), ID_IMAGE_ACCEPT);
            SendDlgItemMessageW(dialog, ID_PASSWORD_EDIT, EM_LIMITTEXT, 64, 0);
            SetFocus(GetDlgItem(dialog, ID_PASSWORD_EDIT));
            return FALSE;
        }
        case WM_COMMAND:
            if (isAccept(wParam)) {
                if (itemText(dialog, ID_PASSWORD_EDIT) == script().Password) {
                    EndDialog(dialog, IDOK);
                    return TRUE;
                }
                // A wrong guess costs half a second, which makes guessing slow.
                Sleep(500);
                String caption = Message(21);
                if (caption.empty()) caption.assignWide(u"Error");
                showMessageBox(dialog, Message(102), caption, MB_OK | MB_ICONERROR);
                HWND edit = GetDlgItem(dialog, ID_PASSWORD_EDIT);
                SetFocus(edit);
                SendMessageW(edit, EM_SETSEL, 0, -1);
                return TRUE;
            }
            break;
    }
    return pageMessage(dialog, message, wParam, lParam, 1);
}

// ---- Licence and readme pages ----------------------------------------------------------------

struct DocumentPage {
    PageFrame frame;
    int32_t text = 47;
    const String* stored = nullptr;
    HWND rich = nullptr;
};

struct RichStream {
    const char* bytes;
    LONG left;
};

DWORD CALLBACK richRead(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* read) {
    RichStream* stream = reinterpret_cast<RichStream*>(cookie);
    LONG n = size < stream->left ? size : stream->left;
    memcpy(buffer, stream->bytes, static_cast<size_t>(n));
    stream->bytes += n;
    stream->left -= n;
    *read = n;
    return 0;
}

// A rich-text control in the place of the plain one, read-only, links reported.
HWND showRichText(HWND dialog, const String& stored, int32_t start) {
    static const bool loaded = loadSystemLibrary(L"msftedit.dll") != nullptr;
    HWND plain = GetDlgItem(dialog, ID_DOCUMENT_TEXT);
    RECT place;
    GetWindowRect(plain, &place);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    HWND rich = CreateWindowExW(
        WS_EX_CLIENTEDGE, loaded ? MSFTEDIT_CLASS : L"RichEdit20W", L"",
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY, place.left,
        place.top, place.right - place.left, place.bottom - place.top, dialog,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(ID_DOCUMENT_TEXT)), GetModuleHandleW(nullptr),
        nullptr);
    if (rich == nullptr) return nullptr;
    SetWindowPos(rich, plain, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    DestroyWindow(plain);
    SendMessageW(rich, WM_SETFONT, SendMessageW(dialog, WM_GETFONT, 0, 0), FALSE);
    SendMessageW(rich, EM_SETEVENTMASK, 0, ENM_LINK);
    SendMessageW(rich, EM_AUTOURLDETECT, TRUE, 0);
    RichStream stream{stored.c_str() + start, static_cast<LONG>(stored.length() - start)};
    EDITSTREAM edit = {reinterpret_cast<DWORD_PTR>(&stream), 0, richRead};
    SendMessageW(rich, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&edit));
    SendMessageW(rich, EM_SETSEL, 0, 0);
    return rich;
}

void showDocument(HWND dialog, DocumentPage& page) {
    const String& stored = *page.stored;
    int32_t start = 0;
    DocumentKind kind = documentKind(stored, start);
    if (kind == DocumentKind::Rich) {
        page.rich = showRichText(dialog, stored, start);
        if (page.rich != nullptr) return;
    }
    String text;
    if (kind == DocumentKind::Wide) {
        text.assignWide(reinterpret_cast<const char16_t*>(stored.c_str() + start),
                        (stored.length() - start) / 2);
    } else if (stored.length() >= 3 && String(stored.c_str(), 3).equals("\xEF\xBB\xBF")) {
        toWide(stored.c_str() + 3, stored.length() - 3, text, CP_UTF8);
    } else {
        toWide(stored.c_str(), stored.length(), text, 1252);
    }
    if (kind != DocumentKind::Rich) {
        text.normalizeLineEndingsWide();
        const InstallScript& s = script();
        expandScriptTokens(text, s.ProductName, s.ProductDescription, s.WindowsFolder);
    }
    setItemText(dialog, ID_DOCUMENT_TEXT, text);
}

intptr_t TESSARIN_CALLBACK documentProcedure(void* window, unsigned message, uintptr_t wParam,
                                             intptr_t lParam) {
    HWND dialog = static_cast<HWND>(window);
    DocumentPage* page = pageOf<DocumentPage>(dialog, message, lParam);
    if (page == nullptr) return FALSE;
    switch (message) {
        case WM_INITDIALOG:
            fillFrame(dialog, page->frame);
            setItemText(dialog, ID_MAIN_TEXT, Message(page->text));
            showDocument(dialog, *page);
            SetFocus(GetDlgItem(dialog, ID_ACCEPT));
            return FALSE;
        case WM_NOTIFY: {
            const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->code == EN_LINK) {
                const ENLINK* link = reinterpret_cast<const ENLINK*>(lParam);
                if (link->msg == WM_LBUTTONUP) {
                    String address;
                    address.setWideLength(link->chrg.cpMax - link->chrg.cpMin + 1);
                    TEXTRANGEW range = {link->chrg, reinterpret_cast<LPWSTR>(address.wideData())};
                    LRESULT chars = SendMessageW(header->hwndFrom, EM_GETTEXTRANGE, 0,
                                                 reinterpret_cast<LPARAM>(&range));
                    address.setWideLength(static_cast<int32_t>(chars));
                    if (!address.empty()) shellOpen(address);
                }
            }
            return TRUE;
        }
    }
    return pageMessage(dialog, message, wParam, lParam, page->frame.selector);
}

PageResult showDocumentPages(const Vector<String>& texts, int32_t introduction, bool readme) {
    if (automatic()) return PageResult::Accepted;
    Vector<String> pages = documentPages(Message(introduction), texts);
    for (int32_t i = 0; i < pages.count(); ++i) {
        DocumentPage page;
        page.frame.selector = script().PageLayouts[readme ? kLayoutReadme : kLayoutLicense];
        page.frame.header = readme ? 50 : 44;
        page.frame.accept = readme ? 48 : 45;
        page.frame.cancel = readme ? 49 : 46;
        page.text = readme ? 51 : 47;
        page.stored = &pages[i];
        if (runPage(readme ? "ReadmeDlg" : "LicenseDlg", readme ? kLayoutReadme : kLayoutLicense,
                    documentProcedure, &page) != IDOK)
            return PageResult::Cancelled;
    }
    return PageResult::Accepted;
}

// ---- Folder page -----------------------------------------------------------------------------

struct FolderPage {
    PageFrame frame;
};

String sizeTextWide(uint64_t bytes) {
    String narrow = sizeText(bytes), wide;
    toWide(narrow.c_str(), narrow.length(), wide);
    return wide;
}

// The drive a folder text names: "X:" or the share of a network path.
String driveOf(const String& folder) {
    if (folder.wideLength() >= 2 && folder.getWide(1) == u':') {
        String drive;
        folder.substringWide(drive, 0, 2);
        drive.appendWide(u"\\");
        return drive;
    }
    return String();
}

void updateSpaceLines(HWND dialog) {
    String folder = itemText(dialog, ID_FOLDER_EDIT);
    folder.trimWide();
    String drive = driveOf(folder);
    uint64_t needed = estimateSpaceFor(drive.empty() ? folder : drive);
    String line = Message(92);
    line.appendWide(u" ");
    line.append(sizeTextWide(needed));
    setItemText(dialog, ID_SPACE_NEEDED, line);
    uint64_t freeBytes = 0, total = 0;
    bool known = !drive.empty() && GetDriveTypeW(win(drive)) != DRIVE_NO_ROOT_DIR &&
                 freeSpace(drive, freeBytes, total);
    if (known) {
        line = Message(93);
        line.appendWide(u" ");
        line.append(sizeTextWide(freeBytes));
        setItemText(dialog, ID_SPACE_FREE, line);
    } else {
        setItemText(dialog, ID_SPACE_FREE, String());
    }
}

void browseInto(HWND dialog, int32_t rootKind, int32_t titleMessage) {
    BrowseRequest request;
    request.owner = dialog;
    request.title = Message(titleMessage);
    request.initialFolder = itemText(dialog, ID_FOLDER_EDIT);
    request.rootKind = rootKind;
    if (rootKind != 0) request.options = kBrowseInitialBelowRoot;
    if (!browseForFolder(request)) return;
    String chosen = request.chosen;
    if (rootKind != 0) {
        // A Start-menu folder is kept relative to the programs menu it was picked in.
        String root = specialFolder(rootKind == kBrowseRootCommonPrograms
                                        ? SpecialFolder::ProgramsMenuAllUsers
                                        : SpecialFolder::ProgramsMenu);
        if (!root.empty() && chosen.wideLength() > root.wideLength() &&
            chosen.startsWithNoCase(root.w_str()) && chosen.getWide(root.wideLength()) == u'\\')
            chosen.removeFrontWide(root.wideLength() + 1);
    }
    setItemText(dialog, ID_FOLDER_EDIT, chosen);
}

intptr_t TESSARIN_CALLBACK folderProcedure(void* window, unsigned message, uintptr_t wParam,
                                           intptr_t lParam) {
    HWND dialog = static_cast<HWND>(window);
    FolderPage* page = pageOf<FolderPage>(dialog, message, lParam);
    if (page == nullptr) return FALSE;
    switch (message) {
        case WM_INITDIALOG:
            fillFrame(dialog, page->frame);
            setItemText(dialog, ID_MAIN_TEXT, Message(11));
            setButtonText(dialog, ID_BROWSE, 52, ID_IMAGE_BROWSE);
            SendDlgItemMessageW(dialog, ID_FOLDER_EDIT, EM_LIMITTEXT, 259, 0);
            setItemText(dialog, ID_FOLDER_EDIT, script().InstallDir);
            updateSpaceLines(dialog);
            SetFocus(GetDlgItem(dialog, ID_FOLDER_EDIT));
            SendDlgItemMessageW(dialog, ID_FOLDER_EDIT, EM_SETSEL, 0, -1);
            return FALSE;
        case WM_COMMAND:
            if (LOWORD(wParam) == ID_FOLDER_EDIT) {
                if (HIWORD(wParam) == EN_CHANGE) updateSpaceLines(dialog);
                return TRUE;
            }
            if (LOWORD(wParam) == ID_BROWSE) {
                browseInto(dialog, 0, 11);
                return TRUE;
            }
            if (isAccept(wParam)) script().InstallDir = itemText(dialog, ID_FOLDER_EDIT);
            break;
    }
    return pageMessage(dialog, message, wParam, lParam, page->frame.selector);
}

class RunningFolderChecks : public FolderCheckSystem {
  public:
    bool driveExists(char16_t letter) override {
        wchar_t root[] = {static_cast<wchar_t>(letter), L':', L'\\', 0};
        return GetDriveTypeW(root) != DRIVE_NO_ROOT_DIR;
    }
    bool networkDrive(const String& path) override {
        return (driveKind(path) & kDriveNetwork) != 0;
    }
    String programFiles32() override { return specialFolder(SpecialFolder::ProgramFiles32); }
    String programFiles64() override { return specialFolder(SpecialFolder::ProgramFiles64); }
    bool volumeUsable(const String& path) override {
        VolumeInformation info;
        return volumeInformation(path, info) && (info.flags & FILE_READ_ONLY_VOLUME) == 0;
    }
    bool portableDrive(const String& path) override { return onPortableDrive(path); }
};

// Fills the message's first "%s" or "%c" (the first character of the text).
String formatWithText(int32_t message, const String& text) {
    return fillPlaceholders(Message(message), {text});
}

// The checks after the page; false shows the page again.
bool folderAccepted() {
    InstallScript& s = script();
    String folder = s.InstallDir;
    folder.trimWide();
    s.InstallDir = folder;
    s.InstallDir8 = pathText(folder);
    RunningFolderChecks checks;
    String programFiles;
    switch (checkChosenFolder(folder, s.ProductFlags, checks, programFiles)) {
        case FolderProblem::None:
            break;
        case FolderProblem::Empty:
            return false;
        case FolderProblem::Invalid:
            ShowError(formatWide(u"%s\r\n\r\n%s", Message(14).w_str(), folder.w_str()));
            return false;
        case FolderProblem::NoDrive:
            ShowError(formatWithText(16, folder));
            return false;
        case FolderProblem::Network:
            ShowError(Message(66));
            return false;
        case FolderProblem::DriveRoot:
            ShowError(Message(17));
            return false;
        case FolderProblem::ProgramFiles:
            ShowError(formatWithText(18, programFiles));
            return false;
        case FolderProblem::UnusableVolume:
            ShowError(formatWithText(96, folder));
            return false;
    }
    PreInstallState& state = preInstallState();
    String drive = driveOf(folder);
    if (spaceCheckApplies(s.ProductFlags2, folder)) {
        state.spaceEstimate = estimateSpaceFor(folder);
        state.spaceEstimated = true;
        uint64_t freeBytes = 0, total = 0;
        bool known = !drive.empty() && freeSpace(drive, freeBytes, total);
        if (spaceQuestionNeeded(state.replacingInstallation, automatic(), known, freeBytes,
                                state.spaceEstimate)) {
            String question = fillPlaceholders(
                Message(19), {sizeTextWide(state.spaceEstimate), drive, sizeTextWide(freeBytes)});
            if (!AskYesNo(question, Message(20))) return false;
        }
    }
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    bool exists = folderExists(folder);
    SetCursor(previous);
    if (s.ProductFlags & kFlagsAskCreateFolder) {
        String question = formatWithText(exists ? 22 : 23, folder);
        if (!AskYesNo(question, Message(24))) return false;
    }
    if (!exists && !CreateInstallFolder(folder)) {
        String text = Message(25);
        text.appendWide(u"\r\n");
        text.append(folder);
        text.appendWide(u"\r\n\r\n");
        text.append(systemErrorText(lastSystemError()));
        ShowError(text);
        return false;
    }
    if (!folderWritable(folder)) {
        ShowError(formatWithText(73, folder));
        return false;
    }
    return true;
}

// ---- Start-menu page -------------------------------------------------------------------------

struct StartMenuPage {
    PageFrame frame;
};

intptr_t TESSARIN_CALLBACK startMenuProcedure(void* window, unsigned message, uintptr_t wParam,
                                              intptr_t lParam) {
    HWND dialog = static_cast<HWND>(window);
    StartMenuPage* page = pageOf<StartMenuPage>(dialog, message, lParam);
    if (page == nullptr) return FALSE;
    switch (message) {
        case WM_INITDIALOG:
            fillFrame(dialog, page->frame);
            setItemText(dialog, ID_MAIN_TEXT, Message(88));
            setButtonText(dialog, ID_BROWSE, 52, ID_IMAGE_BROWSE);
            SendDlgItemMessageW(dialog, ID_FOLDER_EDIT, EM_LIMITTEXT, 259, 0);
            setItemText(dialog, ID_FOLDER_EDIT, script().ProductStartMenu);
            SetFocus(GetDlgItem(dialog, ID_FOLDER_EDIT));
            SendDlgItemMessageW(dialog, ID_FOLDER_EDIT, EM_SETSEL, 0, -1);
            return FALSE;
        case WM_COMMAND:
            if (LOWORD(wParam) == ID_FOLDER_EDIT) {
                if (HIWORD(wParam) == EN_CHANGE)
                    EnableWindow(GetDlgItem(dialog, ID_ACCEPT),
                                 startMenuNameAcceptable(itemText(dialog, ID_FOLDER_EDIT)));
                return TRUE;
            }
            if (LOWORD(wParam) == ID_BROWSE) {
                browseInto(
                    dialog,
                    script().ShortcutMode == 1 ? kBrowseRootCommonPrograms : kBrowseRootPrograms,
                    88);
                return TRUE;
            }
            // Enter reaches the accepting button's command even while the button is disabled.
            if (isAccept(wParam)) {
                if (!IsWindowEnabled(GetDlgItem(dialog, ID_ACCEPT))) return TRUE;
                script().ProductStartMenu = itemText(dialog, ID_FOLDER_EDIT);
            }
            break;
    }
    return pageMessage(dialog, message, wParam, lParam, page->frame.selector);
}

// ---- MustUninstall ---------------------------------------------------------------------------

intptr_t TESSARIN_CALLBACK mustUninstallProcedure(void* window, unsigned message, uintptr_t wParam,
                                                  intptr_t lParam) {
    HWND dialog = static_cast<HWND>(window);
    switch (message) {
        case WM_INITDIALOG: {
            PageFrame frame;
            frame.accept = 104;
            fillFrame(dialog, frame);
            String caption = Message(21);
            if (!caption.empty()) SetWindowTextW(dialog, win(caption));
            setItemText(dialog, ID_MAIN_TEXT, Message(9));
            SetFocus(GetDlgItem(dialog, ID_ACCEPT));
            return FALSE;
        }
    }
    return pageMessage(dialog, message, wParam, lParam, 1);
}

}  // namespace

// ---- The pages -------------------------------------------------------------------------------

PageResult ShowLanguagePage() {
    const MessageTable& table = script().Messages;
    if (table.Languages.count() == 1 || automatic()) return PageResult::Accepted;
    LanguagePage page;
    page.frame.selector = script().PageLayouts[kLayoutLanguage];
    if (runPage("LanguageDlg", kLayoutLanguage, languageProcedure, &page) != IDOK) endCancelled();
    return PageResult::Accepted;
}

PageResult ShowGreetingPage() {
    const InstallScript& s = script();
    if (!greetingShown(s.ProductFlags, automatic())) return PageResult::Accepted;
    int32_t selector = s.PageLayouts[kLayoutGreeting];
    if (greetingIsMessageBox(selector)) {
        if (showMessageBox(backgroundWindow(), Message(1), Message(65),
                           MB_OKCANCEL | MB_ICONINFORMATION) != IDOK)
            endCancelled();
        return PageResult::Accepted;
    }
    GreetingPage page;
    page.frame.selector = selector;
    page.frame.header = selector == 2 ? 103 : 65;
    if (runPage("GreetingDlg", kLayoutGreeting, greetingProcedure, &page) != IDOK) endCancelled();
    return PageResult::Accepted;
}

PageResult AskPassword() {
    if (script().Password.empty()) return PageResult::Accepted;
    if (runPage("EnterPassword", -1, passwordProcedure, nullptr) != IDOK) CancelInstallation();
    return PageResult::Accepted;
}

PageResult ShowLicensePages() {
    if (showDocumentPages(script().LicenseTexts, 63, false) != PageResult::Accepted)
        CancelInstallation();
    return PageResult::Accepted;
}

PageResult ShowReadmePages() {
    if (showDocumentPages(script().ReadmeTexts, 64, true) != PageResult::Accepted)
        CancelInstallation();
    return PageResult::Accepted;
}

PageResult ChooseFolderLoop() {
    const InstallScript& s = script();
    for (;;) {
        FolderPage page;
        page.frame.selector = s.PageLayouts[kLayoutFolder];
        page.frame.header = 24;
        page.frame.accept = (s.ProductFlags & kFlagsStartMenuPage) ? 48 : 90;
        if (runPage("ChooseDirDlg", kLayoutFolder, folderProcedure, &page) != IDOK)
            CancelInstallation();
        if (folderAccepted()) return PageResult::Accepted;
    }
}

PageResult ShowStartMenuPage() {
    const InstallScript& s = script();
    const PreInstallState& state = preInstallState();
    if (state.replacingInstallation || (s.ProductFlags & kFlagsStartMenuPage) == 0 || automatic() ||
        (state.portable && (s.ProductFlags2 & kFlags2PortableStartMenuPage)))
        return PageResult::Accepted;
    StartMenuPage page;
    page.frame.selector = s.PageLayouts[kLayoutStartMenu];
    page.frame.header = 89;
    page.frame.accept = 90;
    if (runPage("StartMenuDlg", kLayoutStartMenu, startMenuProcedure, &page) != IDOK)
        CancelInstallation();
    return PageResult::Accepted;
}

bool AskForcedUninstallation() {
    return runPage("MustUninstall", -1, mustUninstallProcedure, nullptr) == IDOK;
}

}  // namespace tessarin
