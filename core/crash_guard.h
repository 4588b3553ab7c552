// Calls into foreign code (shell dialogs, components of the product, system extensions) that
// may fail with a processor exception instead of an error code.
#pragma once

namespace tessarin {

// Runs body(context). False when a processor exception (an access violation and the like) or a
// C++ exception escaped it: the stack is unwound back to here and the program goes on.
bool runGuarded(void (*body)(void* context), void* context);

}  // namespace tessarin
