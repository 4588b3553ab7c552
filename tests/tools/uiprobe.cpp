// uiprobe.exe - read and drive the windows of another process from a test.
//
// Selecting the window (visible top-level windows only; at least one of these
// is needed except with --list):
//   --pid N          owned by Windows process id N
//   --class NAME     window class, e.g. #32770 for dialogs and message boxes
//   --title TEXT     exact caption
//   --wait-ms N      keep looking for up to N ms (default 20000)
// When several windows match, the first enabled one in z-order is taken, so
// with --pid alone a modal dialog wins over the owner it disables.
//
// Actions, applied in command-line order:
//   --dump                 one JSON line describing the window (with its client
//                          area in screen coordinates, "client": [l, t, r, b])
//                          and all its descendant controls (the default when
//                          neither an action nor --wait-gone-ms is given);
//                          buttons also give their "style" bits and whether
//                          they hold a bitmap "image"
//   --set-text ID TEXT     WM_SETTEXT on control ID
//   --check ID / --uncheck ID
//                          click the button until it has that state (falls
//                          back to BM_SETCHECK if clicking does not get there)
//   --press ID / --press-caption TEXT
//                          click a button; TEXT matches the caption as set
//                          ("&Next >") or as shown, without the mnemonic
//                          marker ("Next >"; "&&" shows as '&')
//   --select ID TEXT       select the list box line TEXT (exactly) and tell
//                          the owner, as a click on the line would
//   --key NAME             press a key (enter, escape, tab) in the control
//                          that has the keyboard focus
//   --close                post WM_CLOSE to the window
//   --sleep-ms N           pause between actions
//   --wait-gone-ms N       after the actions, wait until the window is destroyed
//   --list                 one JSON line per matching window, one scan, no wait
//
// Input actions refuse controls that are hidden or disabled, or sit in a
// disabled window (the owner of a modal dialog), since a user could not
// operate them either.
//
// Exit codes: 0 ok, 2 no window (also when an action finds it gone), 3 window
// still there, 4 control not found, 5 control hidden or disabled, 126 bad usage.
//
// Output is UTF-8 JSON written as bytes with WriteFile (or WriteConsoleW when
// stdout is a console), so no code page gets in the way.

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitNoWindow = 2;
constexpr int kExitStillThere = 3;
constexpr int kExitNoControl = 4;
constexpr int kExitControlUnusable = 5;
constexpr int kExitUsage = 126;

constexpr DWORD kPollMs = 50;
constexpr UINT kSendTimeoutMs = 5000;

// ---------------------------------------------------------------- output

void write_stdout(const std::string& utf8) {
    HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(h, &mode)) {
        int len =
            MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
        std::wstring wide(static_cast<size_t>(len), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                            len);
        WriteConsoleW(h, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    WriteFile(h, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

[[noreturn]] void usage(const std::string& why) {
    std::fprintf(stderr,
                 "uiprobe: %s\n"
                 "usage: uiprobe.exe [--pid N] [--class NAME] [--title TEXT] [--wait-ms N]\n"
                 "       [--dump] [--set-text ID TEXT] [--check ID] [--uncheck ID] [--press ID]\n"
                 "       [--press-caption TEXT] [--close] [--sleep-ms N] [--wait-gone-ms N]\n"
                 "   or: uiprobe.exe --list [--pid N] [--class NAME] [--title TEXT]\n",
                 why.c_str());
    std::fflush(stderr);
    ExitProcess(kExitUsage);
}

void append_utf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// A JSON string literal for UTF-16 text; a lone surrogate becomes U+FFFD.
std::string json_string(std::wstring_view s) {
    std::string out = "\"";
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint32_t>(s[i + 1]) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
                    out += buf;
                } else {
                    append_utf8(out, c);
                }
        }
    }
    out += '"';
    return out;
}

std::string hwnd_string(HWND h) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "\"0x%llx\"",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)));
    return buf;
}

// ---------------------------------------------------------------- windows

std::wstring window_text(HWND h) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &len))
        return {};
    // WM_GETTEXTLENGTH may overestimate (it can count ANSI bytes); trust the
    // length WM_GETTEXT returns.
    std::vector<wchar_t> buf(len + 2, L'\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(h, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &got))
        return {};
    if (got > buf.size() - 1) got = buf.size() - 1;
    return std::wstring(buf.data(), got);
}

std::wstring class_name(HWND h) {
    wchar_t buf[256];
    int n = GetClassNameW(h, buf, 256);
    return std::wstring(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

DWORD window_pid(HWND h) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    return pid;
}

bool is_button(HWND h) {
    return lstrcmpiW(class_name(h).c_str(), L"Button") == 0;
}

// Buttons that hold a check state (check boxes, radio buttons, 3-state boxes).
bool is_checkable(HWND h) {
    if (!is_button(h)) return false;
    switch (GetWindowLongW(h, GWL_STYLE) & BS_TYPEMASK) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
        case BS_3STATE:
        case BS_AUTO3STATE:
            return true;
        default:
            return false;
    }
}

LRESULT send(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(h, msg, wp, lp, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
    return static_cast<LRESULT>(result);
}

struct Selector {
    bool has_pid = false;
    DWORD pid = 0;
    bool has_class = false;
    std::wstring cls;
    bool has_title = false;
    std::wstring title;
};

bool matches(HWND h, const Selector& sel) {
    if (!IsWindowVisible(h)) return false;
    if (sel.has_pid && window_pid(h) != sel.pid) return false;
    if (sel.has_class && class_name(h) != sel.cls) return false;
    if (sel.has_title && window_text(h) != sel.title) return false;
    return true;
}

struct ScanState {
    const Selector* sel;
    std::vector<HWND> found;
};

BOOL CALLBACK collect_top(HWND h, LPARAM lp) {
    auto* st = reinterpret_cast<ScanState*>(lp);
    if (matches(h, *st->sel)) st->found.push_back(h);
    return TRUE;
}

std::vector<HWND> scan(const Selector& sel) {
    ScanState st{&sel, {}};
    EnumWindows(collect_top, reinterpret_cast<LPARAM>(&st));
    return st.found;
}

BOOL CALLBACK collect_child(HWND h, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
    return TRUE;
}

std::vector<HWND> descendants(HWND h) {
    std::vector<HWND> all;
    EnumChildWindows(h, collect_child, reinterpret_cast<LPARAM>(&all));
    return all;
}

HWND find_window(const Selector& sel, DWORD wait_ms) {
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        std::vector<HWND> found = scan(sel);
        if (!found.empty()) {
            HWND pick = found.front();
            for (HWND h : found) {
                if (IsWindowEnabled(h)) {
                    pick = h;
                    break;
                }
            }
            // A dialog can be visible a moment before its controls exist.
            if (class_name(pick) == L"#32770") {
                const ULONGLONG child_deadline = GetTickCount64() + 2000;
                while (IsWindow(pick) && descendants(pick).empty() &&
                       GetTickCount64() < child_deadline)
                    Sleep(kPollMs);
            }
            if (IsWindow(pick)) return pick;
        }
        if (GetTickCount64() - start >= wait_ms) return nullptr;
        Sleep(kPollMs);
    }
}

std::string window_json(HWND h) {
    std::string s = "{\"hwnd\":" + hwnd_string(h);
    s += ",\"class\":" + json_string(class_name(h));
    s += ",\"caption\":" + json_string(window_text(h));
    s += ",\"pid\":" + std::to_string(window_pid(h));
    // The client area in screen coordinates: what a screenshot of the window shows of it also
    // where no window manager draws its frame.
    RECT client = {};
    GetClientRect(h, &client);
    POINT corners[2] = {{client.left, client.top}, {client.right, client.bottom}};
    MapWindowPoints(h, nullptr, corners, 2);
    s += ",\"client\":[" + std::to_string(corners[0].x) + "," + std::to_string(corners[0].y) + "," +
         std::to_string(corners[1].x) + "," + std::to_string(corners[1].y) + "]";
    return s;
}

std::string dump_json(HWND top) {
    std::string s = window_json(top) + ",\"controls\":[";
    bool first = true;
    for (HWND c : descendants(top)) {
        if (!first) s += ',';
        first = false;
        s += "{\"id\":" + std::to_string(GetDlgCtrlID(c));
        s += ",\"class\":" + json_string(class_name(c));
        s += ",\"text\":" + json_string(window_text(c));
        s += ",\"visible\":";
        s += IsWindowVisible(c) ? "true" : "false";
        s += ",\"enabled\":";
        s += IsWindowEnabled(c) ? "true" : "false";
        if (is_button(c)) {
            // The style bits (BS_BITMAP and BS_ICON make a button show its image instead of
            // its label) and whether the button holds a bitmap image (BM_SETIMAGE).
            s +=
                ",\"style\":" + std::to_string(static_cast<uint32_t>(GetWindowLongW(c, GWL_STYLE)));
            s += ",\"image\":";
            s += send(c, BM_GETIMAGE, IMAGE_BITMAP, 0) != 0 ? "true" : "false";
        }
        if (is_checkable(c)) {
            LRESULT state = send(c, BM_GETCHECK, 0, 0);
            s += ",\"checked\":";
            s += state == BST_CHECKED ? "true" : "false";
            if (state == BST_INDETERMINATE) s += ",\"indeterminate\":true";
        }
        if (class_name(c) == L"ListBox") {
            LRESULT count = send(c, LB_GETCOUNT, 0, 0);
            s += ",\"lines\":[";
            for (LRESULT i = 0; i < count; ++i) {
                std::wstring line(static_cast<size_t>(send(c, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
                send(c, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()));
                line.resize(wcslen(line.c_str()));
                if (i > 0) s += ',';
                s += json_string(line);
            }
            s += "],\"selection\":" + std::to_string(send(c, LB_GETCURSEL, 0, 0));
        }
        s += '}';
    }
    s += "]}\n";
    return s;
}

// The caption as the user reads it: a single '&' marks the mnemonic and is
// dropped, "&&" stands for a literal '&'.
std::wstring strip_mnemonic(std::wstring_view text) {
    std::wstring r;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&') {
            if (i + 1 < text.size() && text[i + 1] == L'&') {
                r += L'&';
                ++i;
            }
            continue;
        }
        r += text[i];
    }
    return r;
}

// Among several candidates (pages of a wizard often reuse ids and captions),
// the first visible one is the one a user would see.
HWND prefer_visible(const std::vector<HWND>& candidates) {
    for (HWND h : candidates)
        if (IsWindowVisible(h)) return h;
    return candidates.empty() ? nullptr : candidates.front();
}

HWND control_by_id(HWND top, int id) {
    std::vector<HWND> hits;
    for (HWND c : descendants(top))
        if (GetDlgCtrlID(c) == id) hits.push_back(c);
    return prefer_visible(hits);
}

// Matches the caption as written ("&Next >") or as shown ("Next >").
HWND button_by_caption(HWND top, const std::wstring& caption) {
    std::vector<HWND> hits;
    for (HWND c : descendants(top)) {
        if (!is_button(c)) continue;
        const std::wstring text = window_text(c);
        if (text == caption || strip_mnemonic(text) == caption) hits.push_back(c);
    }
    return prefer_visible(hits);
}

// ---------------------------------------------------------------- actions

enum class Kind { Dump, SetText, Check, Uncheck, Press, PressCaption, Close, Sleep, Select, Key };

struct Action {
    explicit Action(Kind k) : kind(k) {}
    Kind kind;
    int id = 0;
    std::wstring text;
    DWORD ms = 0;
};

std::string narrow_ascii(std::wstring_view s) {
    std::string r;
    for (wchar_t c : s) r += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '?';
    return r;
}

long long parse_number(const wchar_t* text, long long min, long long max) {
    std::wstring_view v(text);
    bool neg = !v.empty() && v[0] == L'-';
    if (neg) v.remove_prefix(1);
    if (v.empty() || v.size() > 10) usage("bad number: " + narrow_ascii(text));
    long long n = 0;
    for (wchar_t c : v) {
        if (c < L'0' || c > L'9') usage("bad number: " + narrow_ascii(text));
        n = n * 10 + (c - L'0');
    }
    if (neg) n = -n;
    if (n < min || n > max) usage("number out of range: " + narrow_ascii(text));
    return n;
}

int fail_control(int code, const std::string& what, const std::string& detail) {
    write_stdout("{\"error\":\"" + what + "\"," + detail + "}\n");
    return code;
}

std::string control_ref(const Action& a) {
    if (a.kind == Kind::PressCaption) return "\"caption\":" + json_string(a.text);
    return "\"id\":" + std::to_string(a.id);
}

// Clicks a push button by telling its parent it was clicked. Posting keeps us
// from blocking when the handler opens a modal dialog of its own, and does not
// depend on the window being active, which BM_CLICK does on Windows.
void press(HWND button) {
    if (is_checkable(button)) {
        send(button, BM_CLICK, 0, 0);
        return;
    }
    PostMessageW(GetParent(button), WM_COMMAND,
                 MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(button)), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

// Clicks (so the application gets its BN_CLICKED) until the state is reached.
// An auto 3-state box may need two clicks; a radio button cannot be cleared by
// clicking, and a manual check box may be left alone by its owner: for those
// set the state directly.
void set_check(HWND button, bool checked) {
    const LRESULT want = checked ? BST_CHECKED : BST_UNCHECKED;
    for (int i = 0; i < 3 && send(button, BM_GETCHECK, 0, 0) != want; ++i)
        send(button, BM_CLICK, 0, 0);
    if (send(button, BM_GETCHECK, 0, 0) != want) send(button, BM_SETCHECK, want, 0);
}

int run_action(HWND top, const Action& a) {
    if (a.kind == Kind::Sleep) {
        Sleep(a.ms);
        return kExitOk;
    }
    // An earlier action (a press, --close) may have ended the window.
    if (!IsWindow(top)) {
        write_stdout("{\"error\":\"no window\"}\n");
        return kExitNoWindow;
    }
    switch (a.kind) {
        case Kind::Dump:
            write_stdout(dump_json(top));
            return kExitOk;
        case Kind::Close:
            PostMessageW(top, WM_CLOSE, 0, 0);
            return kExitOk;
        case Kind::Key: {
            // Keys go to the focused control of the window's thread; the dialog's own
            // keyboard handling then does what the user's key press would.
            GUITHREADINFO info = {};
            info.cbSize = sizeof(info);
            HWND target = top;
            if (GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &info) && info.hwndFocus)
                target = info.hwndFocus;
            UINT key = a.text == L"enter" ? VK_RETURN : a.text == L"escape" ? VK_ESCAPE : VK_TAB;
            PostMessageW(target, WM_KEYDOWN, key, 1);
            PostMessageW(target, WM_KEYUP, key, 0xC0000001);
            return kExitOk;
        }
        default:
            break;
    }

    HWND c =
        a.kind == Kind::PressCaption ? button_by_caption(top, a.text) : control_by_id(top, a.id);
    if (!c) return fail_control(kExitNoControl, "no control", control_ref(a));
    if (!IsWindowVisible(c))
        return fail_control(kExitControlUnusable, "control hidden", control_ref(a));
    // A control counts as disabled when it or any window above it is, as with
    // the owner of a modal dialog.
    for (HWND w = c; w; w = w == top ? nullptr : GetParent(w)) {
        if (!IsWindowEnabled(w))
            return fail_control(kExitControlUnusable, "control disabled", control_ref(a));
    }
    switch (a.kind) {
        case Kind::SetText:
            send(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(a.text.c_str()));
            break;
        case Kind::Check:
        case Kind::Uncheck:
            if (!is_checkable(c))
                return fail_control(kExitNoControl, "not a check box or radio button",
                                    control_ref(a));
            set_check(c, a.kind == Kind::Check);
            break;
        case Kind::Press:
        case Kind::PressCaption:
            press(c);
            break;
        case Kind::Select: {
            LRESULT line = send(c, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                reinterpret_cast<LPARAM>(a.text.c_str()));
            if (line == LB_ERR) return fail_control(kExitNoControl, "no such line", control_ref(a));
            send(c, LB_SETCURSEL, static_cast<WPARAM>(line), 0);
            PostMessageW(GetParent(c), WM_COMMAND,
                         MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(c)), LBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(c));
            break;
        }
        default:
            break;
    }
    return kExitOk;
}

bool wait_gone(HWND h, DWORD ms) {
    const ULONGLONG start = GetTickCount64();
    while (IsWindow(h)) {
        if (GetTickCount64() - start >= ms) return false;
        Sleep(kPollMs);
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Selector sel;
    DWORD wait_ms = 20000;
    bool list = false;
    bool has_wait_gone = false;
    DWORD wait_gone_ms = 0;
    std::vector<Action> actions;

    for (int i = 1; i < argc; ++i) {
        const std::wstring opt = argv[i];
        auto value = [&]() -> const wchar_t* {
            if (i + 1 >= argc) usage("missing value for " + narrow_ascii(opt));
            return argv[++i];
        };
        auto ms = [&]() { return static_cast<DWORD>(parse_number(value(), 0, 0x7FFFFFFF)); };
        auto id = [&]() {
            return static_cast<int>(parse_number(value(), -0x80000000LL, 0xFFFFFFFFLL));
        };

        if (opt == L"--pid") {
            sel.has_pid = true;
            sel.pid = static_cast<DWORD>(parse_number(value(), 0, 0xFFFFFFFFLL));
        } else if (opt == L"--class") {
            sel.has_class = true;
            sel.cls = value();
        } else if (opt == L"--title") {
            sel.has_title = true;
            sel.title = value();
        } else if (opt == L"--wait-ms") {
            wait_ms = ms();
        } else if (opt == L"--list") {
            list = true;
        } else if (opt == L"--dump") {
            actions.emplace_back(Kind::Dump);
        } else if (opt == L"--set-text") {
            Action a(Kind::SetText);
            a.id = id();
            a.text = value();
            actions.push_back(a);
        } else if (opt == L"--check" || opt == L"--uncheck" || opt == L"--press") {
            Action a(opt == L"--check"     ? Kind::Check
                     : opt == L"--uncheck" ? Kind::Uncheck
                                           : Kind::Press);
            a.id = id();
            actions.push_back(a);
        } else if (opt == L"--press-caption") {
            Action a(Kind::PressCaption);
            a.text = value();
            actions.push_back(a);
        } else if (opt == L"--select") {
            Action a(Kind::Select);
            a.id = id();
            a.text = value();
            actions.push_back(a);
        } else if (opt == L"--key") {
            Action a(Kind::Key);
            a.text = value();
            if (a.text != L"enter" && a.text != L"escape" && a.text != L"tab")
                usage("unknown key " + narrow_ascii(a.text));
            actions.push_back(a);
        } else if (opt == L"--close") {
            actions.emplace_back(Kind::Close);
        } else if (opt == L"--sleep-ms") {
            Action a(Kind::Sleep);
            a.ms = ms();
            actions.push_back(a);
        } else if (opt == L"--wait-gone-ms") {
            has_wait_gone = true;
            wait_gone_ms = ms();
        } else {
            usage("unknown option " + narrow_ascii(opt));
        }
    }

    if (list) {
        if (!actions.empty() || has_wait_gone) usage("--list takes no actions");
        std::string out;
        for (HWND h : scan(sel)) out += window_json(h) + "}\n";
        write_stdout(out);
        return kExitOk;
    }
    if (!sel.has_pid && !sel.has_class && !sel.has_title)
        usage("select a window with --pid, --class or --title");
    if (actions.empty() && !has_wait_gone) actions.emplace_back(Kind::Dump);

    HWND top = find_window(sel, wait_ms);
    if (!top) {
        write_stdout("{\"error\":\"no window\"}\n");
        return kExitNoWindow;
    }
    for (const Action& a : actions) {
        int rc = run_action(top, a);
        if (rc != kExitOk) return rc;
    }
    if (has_wait_gone && !wait_gone(top, wait_gone_ms)) {
        write_stdout("{\"error\":\"still there\",\"hwnd\":" + hwnd_string(top) + "}\n");
        return kExitStillThere;
    }
    return kExitOk;
}
