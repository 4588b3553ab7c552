// The questions before the uninstaller changes anything: the confirmation and the offer of the
// product's support address.
//
// Which addresses may be offered is portable (uninstall_questions.cpp); the question box and the
// offer dialog are uninstall_questions_win.cpp.
#pragma once

#include "core/string.h"

namespace tessarin {

// A web address (http:// or https:// with a host) or a mail address (mailto: or a plain
// name@domain.tld) that may be handed to the shell. Empty text, blanks, control characters
// and every other scheme are refused.
bool isSupportAddress(const String& address);

// The confirmation question (Yes/No); true for Yes.
bool ConfirmUninstall(const String& question, const String& caption, void* owner = nullptr);

// The support-offer dialog alone: true when "Get Support" was pressed; "Uninstall", Esc and
// closing give false, as does a dialog that cannot be shown.
bool askSupportOffer(const String& address, const String& caption, void* owner = nullptr);
// The offer; on "Get Support" the address is opened through the desktop shell and true is
// returned (the uninstallation then ends as not performed).
bool OfferSupport(const String& address, const String& caption, void* owner = nullptr);

// The dialog's template and items.
inline constexpr const char* kSupportOfferTemplate = "SupportOfferDlg";
inline constexpr int kSupportAddressItem = 1009;
inline constexpr int kGetSupportButton = 1001;
inline constexpr int kUninstallButton = 1003;

}  // namespace tessarin
