// Slimmer forms of libstdc++ pieces that the installer links statically. Every installer carries
// the stub, so what the runtime brings along for nothing is paid in every download.
//
// The containers and std::mutex report misuse and impossible sizes through the std::__throw_*
// functions. libstdc++'s own forms build std::logic_error and std::system_error, whose messages
// live in std::string: that brings both string ABIs and the standard exception classes, about
// 80 KiB. The installer never inspects those exceptions (its handlers catch everything alike),
// so the forms here raise the same kind of failure with the library's message and no string.
// They are linked into the stub only; the tests and tools keep the library's forms.
#include <bits/functexcept.h>

#include <cstdlib>
#include <exception>
#include <new>
#include <typeinfo>

namespace tessarin {
namespace {

// A standard-library failure with its message, a static text.
class LibraryFailure : public std::exception {
  public:
    explicit LibraryFailure(const char* text) : text_(text ? text : "standard library failure") {}
    const char* what() const noexcept override { return text_; }

  private:
    const char* text_;
};

}  // namespace
}  // namespace tessarin

namespace std {

void __throw_bad_exception() {
    throw std::bad_exception();
}
void __throw_bad_alloc() {
    throw std::bad_alloc();
}
void __throw_bad_array_new_length() {
    throw std::bad_array_new_length();
}
void __throw_bad_cast() {
    throw std::bad_cast();
}
void __throw_bad_typeid() {
    throw std::bad_typeid();
}
void __throw_logic_error(const char* text) {
    throw tessarin::LibraryFailure(text);
}
void __throw_domain_error(const char* text) {
    throw tessarin::LibraryFailure(text);
}
void __throw_invalid_argument(const char* text) {
    throw tessarin::LibraryFailure(text);
}
void __throw_length_error(const char* text) {
    throw tessarin::LibraryFailure(text);
}
void __throw_out_of_range(const char* text) {
    throw tessarin::LibraryFailure(text);
}
// The message keeps its format's placeholders: nothing reads it but a debugger.
void __throw_out_of_range_fmt(const char* format, ...) {
    throw tessarin::LibraryFailure(format);
}
void __throw_runtime_error(const char* text) {
    throw tessarin::LibraryFailure(text);
}
void __throw_range_error(const char* text) {
    throw tessarin::LibraryFailure(text);
}
void __throw_overflow_error(const char* text) {
    throw tessarin::LibraryFailure(text);
}
void __throw_underflow_error(const char* text) {
    throw tessarin::LibraryFailure(text);
}
// std::mutex and std::thread report a failed system call with its error number.
void __throw_system_error(int) {
    throw tessarin::LibraryFailure("system call failed in the standard library");
}

}  // namespace std

// libstdc++'s default terminate handler writes the exception's demangled type to stderr, which a
// GUI program does not have, and brings the C++ name demangler (some 45 KiB) into every
// installer. Ending the same way without the message keeps the stub small.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx
