// The wizard's templates as the system lays them out: each one is created from the resources
// with common controls 6 active (as the product's manifest asks), and its real window
// rectangles are checked against the layout rules, the fixed sizes in dialog units, the
// controls each page needs, the tab order and the labels a screen reader takes.
#include <gtest/gtest.h>
#include <windows.h>
// The common controls' declarations need the system's types first.
#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "core/dialog.h"
#include "dialog_children.h"
#include "dialog_layout_rules.h"
#include "resources/control_ids.h"

namespace tessarin {

void PrintTo(const Rect& r, std::ostream* out) {
    *out << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

namespace {

using testing::DialogChild;
using testing::LaidOutControl;
using testing::windowText;

// A bitmap's pixels as 0xRRGGBB, rows from the top; empty when it is not width x height.
std::vector<uint32_t> topDownPixels(HBITMAP bitmap, int width, int height) {
    BITMAP shape = {};
    if (GetObjectW(bitmap, sizeof shape, &shape) == 0 || shape.bmWidth != width ||
        shape.bmHeight != height)
        return {};
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    HDC screen = GetDC(nullptr);
    int rows = GetDIBits(screen, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != height) return {};
    for (uint32_t& p : pixels) p &= 0xffffffu;
    return pixels;
}

intptr_t TESSARIN_CALLBACK passiveProcedure(void*, unsigned, uintptr_t, intptr_t) {
    return FALSE;
}

// The manifest the tests' resources carry as id 3, activated for the whole suite, with the
// common controls of version 6 registered in it (the SysLink class exists only there).
class ManifestContext {
  public:
    ManifestContext() {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        ACTCTXW context = {};
        context.cbSize = sizeof context;
        context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID | ACTCTX_FLAG_HMODULE_VALID;
        context.lpSource = self;
        context.hModule = GetModuleHandleW(nullptr);
        context.lpResourceName = MAKEINTRESOURCEW(3);
        handle_ = CreateActCtxW(&context);
        if (handle_ == INVALID_HANDLE_VALUE || !ActivateActCtx(handle_, &cookie_)) return;
        HMODULE controls = LoadLibraryW(L"comctl32.dll");
        auto init = reinterpret_cast<BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*)>(
            reinterpret_cast<void*>(GetProcAddress(controls, "InitCommonControlsEx")));
        INITCOMMONCONTROLSEX classes = {sizeof classes,
                                        ICC_LINK_CLASS | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
        active_ = init && init(&classes);
    }
    ~ManifestContext() {
        if (cookie_) DeactivateActCtx(0, cookie_);
        if (handle_ != INVALID_HANDLE_VALUE) ReleaseActCtx(handle_);
    }
    bool active() const { return active_; }

  private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie_ = 0;
    bool active_ = false;
};

Rect rectOf(const RECT& r) {
    return Rect{r.left, r.top, r.right, r.bottom};
}

// Dialog units to the dialog's pixels, as the system places a control: its position and its
// size are each rounded on their own.
Rect pixels(HWND dialog, int x, int y, int w, int h) {
    RECT r = {x, y, w, h};
    MapDialogRect(dialog, &r);
    return Rect{r.left, r.top, r.left + r.right, r.top + r.bottom};
}

std::wstring className(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

const DialogChild* find(const std::vector<DialogChild>& list, int id) {
    for (const DialogChild& c : list) {
        if (c.laid.id == id) return &c;
    }
    return nullptr;
}

enum class Layout { Plain, Two, Three, Four, Single };

struct Template {
    std::string name;
    Layout layout;
    std::vector<int> controls;  // besides the main text, the cancel button and the rule
    int buttonTop;              // dialog units
};

void PrintTo(const Template& t, std::ostream* out) {
    *out << t.name;
}

// Each template with its layout (from the name's suffix), the controls its page needs and
// where its buttons sit.
std::vector<Template> templates() {
    const std::pair<const char*, std::vector<int>> pages[] = {
        {"LanguageDlg", {ID_ACCEPT, ID_LANGUAGE_LIST}},
        {"GreetingDlg", {ID_ACCEPT, ID_GREETING_LINK}},
        {"LicenseDlg", {ID_ACCEPT, ID_DOCUMENT_TEXT}},
        {"ReadmeDlg", {ID_ACCEPT, ID_DOCUMENT_TEXT}},
        {"ChooseDirDlg", {ID_ACCEPT, ID_FOLDER_EDIT, ID_BROWSE, ID_SPACE_NEEDED, ID_SPACE_FREE}},
        {"StartMenuDlg", {ID_ACCEPT, ID_FOLDER_EDIT, ID_BROWSE}},
        {"ProgressDlg", {ID_PROGRESS_BAR, ID_STATUS_LINE}},
        {"SummaryDlg",
         {ID_ACCEPT, ID_OPEN_README, ID_LAUNCH_PROGRAM, ID_FOURTH_OPTION, ID_OPEN_DOCUMENT}},
        {"EnterPassword", {ID_ACCEPT, ID_PASSWORD_LABEL, ID_PASSWORD_EDIT}},
        {"MustUninstall", {ID_ACCEPT}},
    };
    std::vector<Template> list;
    for (const std::string& name : testing::wizardTemplates()) {
        for (const auto& [page, controls] : pages) {
            if (name.rfind(page, 0) != 0) continue;
            std::string suffix = name.substr(std::strlen(page));
            Layout layout = suffix == "2"   ? Layout::Two
                            : suffix == "3" ? Layout::Three
                            : suffix == "4" ? Layout::Four
                                            : Layout::Plain;
            if (name == "EnterPassword") {
                list.push_back({name, Layout::Single, controls, 71});
            } else if (name == "MustUninstall") {
                list.push_back({name, Layout::Single, controls, 57});
            } else {
                list.push_back({name, layout, controls, 163});
            }
        }
    }
    return list;
}

class DialogLayout : public ::testing::TestWithParam<Template> {
  protected:
    static void SetUpTestSuite() { context_ = new ManifestContext; }
    static void TearDownTestSuite() {
        delete context_;
        context_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(context_->active()) << "common controls 6 could not be activated";
        dialog_ =
            static_cast<HWND>(createDialog(GetParam().name.c_str(), nullptr, passiveProcedure, 0));
        ASSERT_NE(dialog_, nullptr) << GetParam().name << ": error " << GetLastError();
        controls_ = testing::dialogChildren(dialog_);
    }
    void TearDown() override {
        if (dialog_) DestroyWindow(dialog_);
    }

    void expectAt(int id, int x, int y, int w, int h) {
        const DialogChild* c = find(controls_, id);
        ASSERT_NE(c, nullptr) << "control " << id;
        EXPECT_EQ(c->laid.rect, pixels(dialog_, x, y, w, h)) << "control " << id;
    }

    static inline ManifestContext* context_ = nullptr;
    HWND dialog_ = nullptr;
    std::vector<DialogChild> controls_;
};

TEST_P(DialogLayout, ControlsStayInsideAndApart) {
    RECT client;
    GetClientRect(dialog_, &client);
    EXPECT_EQ(client.right, pixels(dialog_, 0, 0, 280, 1).right) << "a page is 280 units wide";
    for (const std::string& problem :
         testing::layoutProblems(rectOf(client), testing::laidOut(controls_)))
        ADD_FAILURE() << problem;
}

TEST_P(DialogLayout, FixedPartsHaveTheirSizes) {
    const Template& t = GetParam();
    if (find(controls_, ID_ACCEPT)) expectAt(ID_ACCEPT, 116, t.buttonTop, 78, 13);
    expectAt(ID_CANCEL, 198, t.buttonTop, 78, 13);
    const DialogChild* rule = find(controls_, ID_RULE);
    ASSERT_NE(rule, nullptr);
    EXPECT_EQ(GetWindowLongW(rule->window, GWL_STYLE) & SS_TYPEMASK, SS_ETCHEDHORZ);
    EXPECT_LT(rule->laid.rect.bottom, find(controls_, ID_CANCEL)->laid.rect.top)
        << "the rule lies above the buttons";
    switch (t.layout) {
        case Layout::Plain:
            expectAt(ID_SIDE_PICTURE, 4, 4, 86, 172);
            break;
        case Layout::Three:
            expectAt(ID_BANNER, 0, 0, 280, 26);
            break;
        case Layout::Four:
            expectAt(ID_SIDE_PICTURE, 0, 0, 90, 180);
            ASSERT_NE(find(controls_, ID_WHITE_PANEL), nullptr);
            break;
        default:
            EXPECT_EQ(find(controls_, ID_SIDE_PICTURE), nullptr);
            EXPECT_EQ(find(controls_, ID_BANNER), nullptr);
    }
    if (const DialogChild* picture = find(controls_, ID_SIDE_PICTURE)) {
        auto bitmap =
            reinterpret_cast<HBITMAP>(SendMessageW(picture->window, STM_GETIMAGE, IMAGE_BITMAP, 0));
        ASSERT_NE(bitmap, nullptr) << "the picture shows bitmap 2";
        // The run-length coded picture decodes to the drawing: the gradient's first colour at
        // the top, its last at the bottom, the white mark in the middle.
        std::vector<uint32_t> pixels = topDownPixels(bitmap, 129, 280);
        ASSERT_EQ(pixels.size(), 129u * 280u);
        EXPECT_EQ(pixels[64], 0x2654a0u) << "top";
        EXPECT_EQ(pixels[279 * 129], 0x0a1c48u) << "bottom";
        EXPECT_EQ(pixels[100 * 129 + 64], 0xffffffu) << "mark";
    }
    if (t.layout == Layout::Three) {
        ASSERT_NE(find(controls_, ID_BANNER_TITLE), nullptr);
        ASSERT_NE(find(controls_, ID_BANNER_SUBTITLE), nullptr);
    }
}

TEST_P(DialogLayout, PageHasItsControlsInTabOrder) {
    const Template& t = GetParam();
    for (int id : {ID_MAIN_TEXT, ID_CANCEL}) EXPECT_NE(find(controls_, id), nullptr) << id;
    for (int id : t.controls) EXPECT_NE(find(controls_, id), nullptr) << id;
    std::vector<int> stops;
    for (const DialogChild& c : controls_) {
        if (GetWindowLongW(c.window, GWL_STYLE) & WS_TABSTOP) stops.push_back(c.laid.id);
    }
    ASSERT_FALSE(stops.empty());
    EXPECT_EQ(stops.back(), ID_CANCEL) << "cancel is the last stop";
    if (find(controls_, ID_ACCEPT)) {
        ASSERT_GE(stops.size(), 2u);
        EXPECT_EQ(stops[stops.size() - 2], ID_ACCEPT) << "accept comes right before cancel";
    }
}

// Buttons and links carry their own text; a field, a list or a progress bar follows a static
// text that names it.
TEST_P(DialogLayout, EveryControlCanBeNamed) {
    for (size_t i = 0; i < controls_.size(); ++i) {
        const DialogChild& c = controls_[i];
        std::wstring kind = className(c.window);
        if (kind == L"Button" || kind == WC_LINK) {
            EXPECT_FALSE(windowText(c.window).empty()) << "control " << c.laid.id << " has no text";
        } else if (kind == L"Edit" || kind == L"ListBox" || kind == PROGRESS_CLASSW) {
            ASSERT_GT(i, 0u) << "control " << c.laid.id << " comes first";
            const DialogChild& label = controls_[i - 1];
            EXPECT_EQ(className(label.window), L"Static") << "before control " << c.laid.id;
            EXPECT_FALSE(windowText(label.window).empty()) << "label of control " << c.laid.id;
        }
    }
}

TEST(DialogLayoutTable, NamesEveryTemplate) {
    EXPECT_EQ(templates().size(), testing::wizardTemplates().size());
}

INSTANTIATE_TEST_SUITE_P(Templates, DialogLayout, ::testing::ValuesIn(templates()),
                         [](const ::testing::TestParamInfo<Template>& info) {
                             return info.param.name;
                         });

// The manifest in the built stub, read from its file as data, and accepted by the system's own
// manifest parser.
TEST(ApplicationManifest, StubCarriesIt) {
    const char* stub = std::getenv("TESSARIN_STUB");
    if (!stub || !*stub) GTEST_SKIP() << "TESSARIN_STUB names no stub";
    std::wstring path(stub, stub + std::strlen(stub));
    HMODULE image = LoadLibraryExW(path.c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(image, nullptr) << stub;
    HRSRC found = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(image, found)));
    std::string text(bytes, SizeofResource(image, found));
    FreeLibrary(image);
    for (const char* part :
         {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
          "level=\"requireAdministrator\" uiAccess=\"false\"", ">true</dpiAware>",
          ">PerMonitorV2, System</dpiAwareness>", "{e2011457-1546-43c5-a5fe-008deee3d3f0}",
          "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
          "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
        EXPECT_NE(text.find(part), std::string::npos) << part;
    }
    ACTCTXW context = {};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = path.c_str();
    context.lpResourceName = MAKEINTRESOURCEW(1);
    HANDLE parsed = CreateActCtxW(&context);
    EXPECT_NE(parsed, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    if (parsed != INVALID_HANDLE_VALUE) ReleaseActCtx(parsed);
}

}  // namespace
}  // namespace tessarin
