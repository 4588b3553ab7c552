#include "package/install_script.h"

namespace tessarin {

InstallScript& installScript() {
    static InstallScript script;
    return script;
}

String MessageTable::text(int32_t n, int32_t language) const {
    int32_t languages = Languages.count();
    if (n < 0 || n >= MessageCount || language < 0 || language >= languages) return String();
    int64_t index = int64_t(n) * languages + language;
    if (index >= Texts.count()) return String();
    return Texts[static_cast<int32_t>(index)];
}

String InstallScript::message(int32_t n) const {
    String text = Messages.text(n, Messages.CurrentLanguage);
    expandScriptTokens(text, ProductName, ProductDescription, WindowsFolder);
    return text;
}

String Message(int32_t n) {
    return installScript().message(n);
}

namespace {

bool tokenAt(const char16_t* text, int32_t at, int32_t chars, const char16_t* token,
             int32_t tokenChars) {
    if (chars - at < tokenChars) return false;
    for (int32_t k = 0; k < tokenChars; ++k)
        if (text[at + k] != token[k]) return false;
    return true;
}

}  // namespace

void expandScriptTokens(String& text, const String& product, const String& description,
                        const String& os) {
    struct Token {
        const char16_t* name;
        int32_t chars;
        const String& value;
    };
    const Token tokens[] = {
        {u"<product>", 9, product}, {u"<description>", 13, description}, {u"<os>", 4, os}};
    const char16_t* w = text.w_str();
    int32_t chars = text.wideLength();
    String out;
    bool changed = false;
    int32_t copied = 0;  // characters of text already in out
    for (int32_t i = 0; i < chars; ++i) {
        if (w[i] != u'<') continue;
        for (const Token& t : tokens) {
            if (!tokenAt(w, i, chars, t.name, t.chars)) continue;
            out.appendWide(w + copied, i - copied);
            out.appendWide(t.value.w_str(), t.value.wideLength());
            i += t.chars - 1;
            copied = i + 1;
            changed = true;
            break;
        }
    }
    if (!changed) return;
    out.appendWide(w + copied, chars - copied);
    text = std::move(out);
}

}  // namespace tessarin
