#include <windows.h>
// The shell's automation interfaces, after windows.h.
#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include "core/com_ptr_win.h"
#include "core/shell_launch.h"

namespace tessarin {
namespace {

// An owned BSTR.
class Bstr {
  public:
    explicit Bstr(const String& text)
        : b_(SysAllocString(reinterpret_cast<LPCWSTR>(text.w_str()))) {}
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return b_; }

  private:
    BSTR b_;
};

VARIANT textVariant(const Bstr& text) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = text.get();
    return v;
}

// The desktop window's shell view, as an automation object, and its application object.
bool desktopShell(ComPtr<IShellDispatch2>& shell) {
    ComPtr<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                windows.outVoid())))
        return false;
    VARIANT location;
    VariantInit(&location);
    location.vt = VT_I4;
    location.lVal = CSIDL_DESKTOP;
    VARIANT empty;
    VariantInit(&empty);
    long window = 0;
    ComPtr<IDispatch> desktop;
    if (windows->FindWindowSW(&location, &empty, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                              desktop.out()) != S_OK ||
        !desktop)
        return false;
    ComPtr<IServiceProvider> provider;
    if (FAILED(desktop->QueryInterface(IID_IServiceProvider, provider.outVoid()))) return false;
    ComPtr<IShellBrowser> browser;
    if (FAILED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.outVoid())))
        return false;
    ComPtr<IShellView> view;
    if (FAILED(browser->QueryActiveShellView(view.out()))) return false;
    ComPtr<IDispatch> background;
    if (FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.outVoid())))
        return false;
    ComPtr<IShellFolderViewDual> folderView;
    if (FAILED(background->QueryInterface(IID_IShellFolderViewDual, folderView.outVoid())))
        return false;
    ComPtr<IDispatch> application;
    if (FAILED(folderView->get_Application(application.out()))) return false;
    return SUCCEEDED(application->QueryInterface(IID_IShellDispatch2, shell.outVoid()));
}

}  // namespace

bool launchThroughDesktopShell(const String& program, const String& arguments,
                               const String& folder) {
    ComPtr<IShellDispatch2> shell;
    if (!desktopShell(shell)) return false;
    Bstr file(program), args(arguments), dir(folder), verb(String(u""));
    VARIANT show;
    VariantInit(&show);
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    return SUCCEEDED(shell->ShellExecute(file.get(), textVariant(args), textVariant(dir),
                                         textVariant(verb), show));
}

}  // namespace tessarin
