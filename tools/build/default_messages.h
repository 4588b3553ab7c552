// The English message table that tessarin-build writes when a manifest does not override a
// message. Texts are UTF-8 with CR LF line breaks. The installer replaces "<product>",
// "<description>" and "<os>" in every text; message 77 also carries "<file>" and message 105
// "<a>". Some texts are printf formats filled by the installer; their conversions are listed in
// MESSAGES.md beside this file ("%s" always takes a text, which the installer hands over in the
// message's own encoding).
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tessarin::build {

struct DefaultMessage {
    int number;
    const char* text;
};

// Highest number of the message table proper: a script built with the defaults holds
// kHighestMessageNumber + 1 messages per language.
inline constexpr int kHighestMessageNumber = 113;

// Not a table entry: the default of the script's banner text, which the uninstall data stores
// under this number.
inline constexpr int kBannerTextNumber = 999;

// Every default, sorted by number, the banner text last.
std::span<const DefaultMessage> defaultMessages();

// The default text of a message, or null when the number has none (numbers the installer never
// shows, and 63 and 64, whose texts add a page only when a publisher supplies them).
const char* defaultMessage(int number);

// The printf conversions of a text in order, each as written from its "%" to its conversion
// character; "%%" is a literal and not listed, a lone "%" at the end is listed as "%".
std::vector<std::string> formatConversions(std::string_view text);

// Why text cannot stand in for a format whose conversions are those of defaultText: a
// conversion missing, added or of another type (flags, width and precision aside), naming the
// first that differs. Empty when it can.
std::string conversionMismatch(std::string_view defaultText, std::string_view text);

}  // namespace tessarin::build
