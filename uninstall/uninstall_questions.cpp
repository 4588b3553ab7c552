#include "uninstall/uninstall_questions.h"

#include <string>

namespace tessarin {

namespace {

bool isAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isHostCharacter(char16_t c) {
    return isAsciiLetter(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.';
}

// Letters, digits, hyphens and dots, no empty label, no label starting or ending in a hyphen;
// with a dot when a top-level domain is required.
bool isHostName(const std::u16string& host, bool needsDot) {
    if (host.empty() || host.size() > 253) return false;
    size_t start = 0;
    bool dotted = false;
    while (true) {
        size_t end = host.find(u'.', start);
        std::u16string label = host.substr(start, end == std::u16string::npos ? end : end - start);
        if (label.empty() || label.size() > 63 || label.front() == u'-' || label.back() == u'-')
            return false;
        for (char16_t c : label) {
            if (!isHostCharacter(c) || c == u'.') return false;
        }
        if (end == std::u16string::npos) break;
        dotted = true;
        start = end + 1;
    }
    return dotted || !needsDot;
}

bool startsWithNoCase(const std::u16string& text, const char16_t* prefix) {
    size_t i = 0;
    for (; prefix[i] != 0; ++i) {
        if (i >= text.size()) return false;
        char16_t c = text[i];
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

// http(s)://[user@]host[:port][/path][?query][#fragment]
bool isWebAddress(const std::u16string& text, size_t schemeLength) {
    std::u16string rest = text.substr(schemeLength);
    size_t authorityEnd = rest.find_first_of(u"/?#");
    std::u16string authority = rest.substr(0, authorityEnd);
    size_t at = authority.rfind(u'@');
    if (at != std::u16string::npos) authority = authority.substr(at + 1);
    size_t colon = authority.find(u':');
    if (colon != std::u16string::npos) {
        std::u16string port = authority.substr(colon + 1);
        if (port.empty() || port.size() > 5) return false;
        for (char16_t c : port) {
            if (c < u'0' || c > u'9') return false;
        }
        authority = authority.substr(0, colon);
    }
    return isHostName(authority, false);
}

// name@domain.tld, optionally followed by "?headers" after "mailto:".
bool isMailAddress(const std::u16string& text, bool allowHeaders) {
    std::u16string address = text;
    if (allowHeaders) address = address.substr(0, address.find(u'?'));
    size_t at = address.find(u'@');
    if (at == 0 || at == std::u16string::npos) return false;
    if (address.find(u'@', at + 1) != std::u16string::npos) return false;
    for (size_t i = 0; i < at; ++i) {
        if (address[i] == u'/' || address[i] == u'\\' || address[i] == u':') return false;
    }
    return isHostName(address.substr(at + 1), true);
}

}  // namespace

bool isSupportAddress(const String& address) {
    std::u16string text(address.w_str(), static_cast<size_t>(address.wideLength()));
    if (text.empty() || text.size() > 2048) return false;
    for (char16_t c : text) {
        if (c <= u' ' || c >= 0x7F || c == u'"' || c == u'<' || c == u'>') return false;
    }
    if (startsWithNoCase(text, u"https://")) return isWebAddress(text, 8);
    if (startsWithNoCase(text, u"http://")) return isWebAddress(text, 7);
    if (startsWithNoCase(text, u"mailto:")) return isMailAddress(text.substr(7), true);
    return isMailAddress(text, false);
}

}  // namespace tessarin
