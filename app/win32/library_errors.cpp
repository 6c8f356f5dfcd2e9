// The standard library's error raisers (std::__throw_length_error and its kin), defined by the
// program itself. The library's own versions build std::length_error and friends, whose
// messages live in a second, reference-counted string implementation: with its instantiations
// that came to some 90 KB of a stub whose limit is 320 KB. Defining every raiser here keeps
// those library objects out of the link; a missing one shows as a duplicate definition at
// link time, never as a silent change. What is thrown is still a std::exception with the
// library's message, so the application's error box shows the same text.
#include <bits/functexcept.h>

#include <exception>
#include <new>
#include <typeinfo>

namespace {

class TLibraryError : public std::exception {
 public:
  explicit TLibraryError(const char* message) : message_(message) {}
  const char* what() const noexcept override { return message_; }

 private:
  const char* message_;
};

}  // namespace

namespace std {

void __throw_bad_exception() { throw std::bad_exception(); }
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_bad_cast() { throw std::bad_cast(); }
void __throw_bad_typeid() { throw std::bad_typeid(); }
void __throw_logic_error(const char* message) { throw TLibraryError(message); }
void __throw_domain_error(const char* message) { throw TLibraryError(message); }
void __throw_invalid_argument(const char* message) { throw TLibraryError(message); }
void __throw_length_error(const char* message) { throw TLibraryError(message); }
void __throw_out_of_range(const char* message) { throw TLibraryError(message); }
// The format's placeholders stay unfilled: the library's formatter is what this file avoids.
void __throw_out_of_range_fmt(const char* format, ...) { throw TLibraryError(format); }
void __throw_runtime_error(const char* message) { throw TLibraryError(message); }
void __throw_range_error(const char* message) { throw TLibraryError(message); }
void __throw_overflow_error(const char* message) { throw TLibraryError(message); }
void __throw_underflow_error(const char* message) { throw TLibraryError(message); }
// Threads and locks that the system refuses (out of resources).
void __throw_system_error(int) { throw TLibraryError("The system refused a thread or lock"); }

}  // namespace std
