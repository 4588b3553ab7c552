// Turns the library's fatal error into a C++ exception for the duration of a test, so that a
// test can assert on the report text instead of ending the process.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

#include "core/fatal.h"

namespace tessarin::testing {

struct FatalReported : std::runtime_error {
    using std::runtime_error::runtime_error;
};

inline void throwingHandler(const char* text) {
    throw FatalReported(text);
}

// Runs body and returns the fatal error text it raised ("" when none was raised).
inline std::string captureFatal(const std::function<void()>& body) {
    resetFatalErrorState();
    setFatalErrorHandler(throwingHandler);
    std::string text;
    try {
        body();
    } catch (const FatalReported& e) {
        text = e.what();
    }
    resetFatalErrorState();
    setFatalErrorHandler(nullptr);
    return text;
}

}  // namespace tessarin::testing
