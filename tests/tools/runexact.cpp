// runexact.exe - start a Windows program with an exact command line and
// report its process id and exit code.
//
// Usage:
//   runexact.exe [--timeout-ms N] [--cwd DIR] [--unquote] -- <command line>
//   runexact.exe [--timeout-ms N] [--cwd DIR] --cmdline-file PATH
//
// The programs we test parse GetCommandLineW() themselves, so the text they
// receive has to be controlled byte for byte. With "--" the child's command
// line is everything in runexact's own raw command line after the "--" token
// and the single blank that follows it, passed to CreateProcessW unchanged
// (lpApplicationName NULL: the first token names the program).
//
// Caveat when started from Linux as `wine runexact.exe -- ...`: wine builds
// the Windows command line from the Unix argv: it wraps every argument that
// contains a blank in quotes and writes each double quote as \". So
//     wine runexact.exe -- 'C:\x.exe /d:"C:\Program Files\X"'
// arrives as the single token  "C:\x.exe /d:\"C:\Program Files\X\""  and that
// token, quotes and backslashes included, is what "--" passes on. Arguments
// without blanks or quotes (C:\x.exe, /s, a`b) arrive untouched, and an argument
// with blanks only ("quoted arg") arrives as the usual "quoted arg".
// For anything else use one of:
//   --cmdline-file PATH  the file holds the command line as UTF-8 (a BOM and
//                        one trailing newline are dropped). This is the only
//                        route for exact non-ASCII text, since wine converts
//                        argv with the Unix locale.
//   --unquote            decode each token after "--" with the Windows argv
//                        rules and join the results with single blanks. That
//                        undoes wine's quoting, so
//                        wine runexact.exe --unquote -- 'C:\x.exe /d:"C:\P F"'
//                        hands the child exactly  C:\x.exe /d:"C:\P F"
// Without --unquote, a rest that is one quoted token containing \" looks like
// wine's quoting and draws a warning on stderr (the line is still passed as is).
//
// Output (stdout): "pid <id>" as soon as the child runs, then "exit <code>"
// (unsigned decimal) and runexact exits with that code; on timeout (default
// 60000 ms) the child is terminated, "timeout" is printed and the exit code is
// 124. CreateProcessW failure: "error CreateProcess <GetLastError()>" on
// stderr, exit 125. Bad usage: message on stderr, exit 126.

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kExitTimeout = 124;
constexpr int kExitCreateFailed = 125;
constexpr int kExitUsage = 126;

void write_handle(DWORD which, std::string_view text) {
    HANDLE h = GetStdHandle(which);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void out(std::string_view text) {
    write_handle(STD_OUTPUT_HANDLE, text);
}
void err(std::string_view text) {
    write_handle(STD_ERROR_HANDLE, text);
}

[[noreturn]] void usage(std::string_view why) {
    err("runexact: ");
    err(why);
    err("\nusage: runexact.exe [--timeout-ms N] [--cwd DIR] [--unquote] -- <command line>\n"
        "       runexact.exe [--timeout-ms N] [--cwd DIR] --cmdline-file PATH\n");
    ExitProcess(kExitUsage);
}

bool is_blank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// One token of a command line, with where its raw text lies.
struct Token {
    std::wstring value;  // decoded with the Windows argv rules
    size_t begin = 0;    // raw text is line[begin, end)
    size_t end = 0;
};

// Splits a command line the way the Microsoft C runtime builds argv: the
// program name ends at the closing quote or the first blank; in the other
// arguments 2n backslashes before a quote give n backslashes and toggle
// quoting, 2n+1 give n backslashes and a literal quote, and "" inside quotes
// is a literal quote.
std::vector<Token> split_command_line(std::wstring_view line) {
    std::vector<Token> tokens;
    size_t i = 0;
    const size_t n = line.size();

    if (n > 0) {
        Token prog;
        prog.begin = 0;
        if (line[0] == L'"') {
            i = 1;
            while (i < n && line[i] != L'"') prog.value += line[i++];
            if (i < n) ++i;  // closing quote
        }
        while (i < n && !is_blank(line[i])) prog.value += line[i++];
        prog.end = i;
        tokens.push_back(std::move(prog));
    }

    for (;;) {
        while (i < n && is_blank(line[i])) ++i;
        if (i >= n) break;
        Token tok;
        tok.begin = i;
        bool quoted = false;
        while (i < n && (quoted || !is_blank(line[i]))) {
            if (line[i] == L'\\') {
                size_t slashes = 0;
                while (i < n && line[i] == L'\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && line[i] == L'"') {
                    tok.value.append(slashes / 2, L'\\');
                    if (slashes % 2 == 1) {
                        tok.value += L'"';
                        ++i;
                    }
                    // even count: the quote is handled on the next pass
                } else {
                    tok.value.append(slashes, L'\\');
                }
            } else if (line[i] == L'"') {
                if (quoted && i + 1 < n && line[i + 1] == L'"') {
                    tok.value += L'"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                tok.value += line[i++];
            }
        }
        tok.end = i;
        tokens.push_back(std::move(tok));
    }
    return tokens;
}

std::string narrow_ascii(std::wstring_view s) {
    std::string r;
    for (wchar_t c : s) r += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '?';
    return r;
}

DWORD parse_ms(const std::wstring& text) {
    if (text.empty() || text.size() > 10) usage("bad number: " + narrow_ascii(text));
    uint64_t v = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') usage("bad number: " + narrow_ascii(text));
        v = v * 10 + static_cast<uint64_t>(c - L'0');
    }
    if (v >= INFINITE) usage("number too large: " + narrow_ascii(text));
    return static_cast<DWORD>(v);
}

std::wstring read_cmdline_file(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) usage("cannot open --cmdline-file " + narrow_ascii(path));
    std::string bytes;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) bytes.append(buf, got);
    CloseHandle(h);

    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    if (!bytes.empty() && bytes.back() == '\n') {
        bytes.pop_back();
        if (!bytes.empty() && bytes.back() == '\r') bytes.pop_back();
    }
    if (bytes.empty()) usage("--cmdline-file is empty");

    int len = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                  static_cast<int>(bytes.size()), nullptr, 0);
    if (len <= 0) usage("--cmdline-file is not valid UTF-8");
    std::wstring wide(static_cast<size_t>(len), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                        wide.data(), len);
    return wide;
}

}  // namespace

int wmain() {
    const std::wstring own = GetCommandLineW();
    const std::vector<Token> tokens = split_command_line(own);

    DWORD timeout_ms = 60000;
    std::wstring cwd;
    std::wstring cmdline_file;
    bool unquote = false;
    bool have_rest = false;
    std::wstring rest;
    size_t rest_first_token = tokens.size();

    for (size_t i = 1; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        std::wstring_view raw(own.data() + t.begin, t.end - t.begin);
        auto value = [&]() -> const std::wstring& {
            if (i + 1 >= tokens.size()) usage("missing value for " + narrow_ascii(raw));
            return tokens[++i].value;
        };
        if (raw == L"--") {
            // The rest starts after the one blank that ends "--"; any further
            // blanks belong to the child's command line.
            have_rest = true;
            if (t.end < own.size()) rest = own.substr(t.end + 1);
            rest_first_token = i + 1;
            break;
        } else if (t.value == L"--timeout-ms") {
            timeout_ms = parse_ms(value());
        } else if (t.value == L"--cwd") {
            cwd = value();
        } else if (t.value == L"--cmdline-file") {
            cmdline_file = value();
        } else if (t.value == L"--unquote") {
            unquote = true;
        } else {
            usage("unknown option " + narrow_ascii(t.value));
        }
    }

    if (have_rest == !cmdline_file.empty())
        usage("give exactly one of -- <command line> and --cmdline-file PATH");
    if (unquote && !have_rest) usage("--unquote needs -- <command line>");

    std::wstring cmdline;
    if (!cmdline_file.empty()) {
        cmdline = read_cmdline_file(cmdline_file);
    } else if (unquote) {
        for (size_t i = rest_first_token; i < tokens.size(); ++i) {
            if (!cmdline.empty()) cmdline += L' ';
            cmdline += tokens[i].value;
        }
    } else {
        cmdline = rest;
        if (rest_first_token + 1 == tokens.size() && !rest.empty() && rest[0] == L'"' &&
            rest.find(L"\\\"") != std::wstring::npos) {
            err("runexact: warning: the command line is one quoted token with \\\" inside; "
                "if wine quoted it, use --unquote or --cmdline-file\n");
        }
    }
    if (cmdline.empty()) usage("empty command line");

    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    // CreateProcessW may write into the command line buffer, so hand it a copy.
    std::vector<wchar_t> buffer(cmdline.begin(), cmdline.end());
    buffer.push_back(L'\0');
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        cwd.empty() ? nullptr : cwd.c_str(), &si, &pi)) {
        DWORD e = GetLastError();
        err("error CreateProcess " + std::to_string(e) + "\n");
        return kExitCreateFailed;
    }
    CloseHandle(pi.hThread);
    out("pid " + std::to_string(pi.dwProcessId) + "\n");

    DWORD wait = WaitForSingleObject(pi.hProcess, timeout_ms);
    if (wait != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 5000);
        CloseHandle(pi.hProcess);
        out("timeout\n");
        return kExitTimeout;
    }
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    out("exit " + std::to_string(code) + "\n");
    // ExitProcess keeps all 32 bits, including values such as 0xC0000005.
    ExitProcess(code);
}
