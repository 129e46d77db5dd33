// Unexpected failures of the bridge's procedures.
//
// Every service of the platform (files, the library binding, conversions)
// reports an unexpected failure by throwing RuntimeError with a number and a
// short description. Procedures catch it at their own boundary and take the
// standard failure path (log.h), or ignore it where their behaviour says so.
#pragma once

#include <stdexcept>
#include <string>

namespace veltar {

// Numbers carried by failures that do not come from errno.
namespace error_number {
inline constexpr int kInvalidArgument = 5;   // a value a procedure cannot work with
inline constexpr int kOverflow = 6;          // a number too large for its field
inline constexpr int kOutOfRange = 9;        // an index or a part of a text that is not there
inline constexpr int kDivisionByZero = 11;
inline constexpr int kTypeMismatch = 13;     // a text that does not read as the number expected
inline constexpr int kFileNotFound = 53;
inline constexpr int kLibraryMissing = 48;   // libkordal.so or one of its exports not found
}  // namespace error_number

class RuntimeError : public std::runtime_error {
public:
    RuntimeError(int number, const std::string& description, bool fromSystem = false)
        : std::runtime_error(description), number_(number), fromSystem_(fromSystem) {}
    int number() const { return number_; }
    std::string description() const { return what(); }
    // True when the number is the system's errno, whose values overlap the
    // numbers above (errno 13 is "permission denied", not a type mismatch).
    bool fromSystem() const { return fromSystem_; }
    // A text that does not read as the number expected.
    bool isTypeMismatch() const { return !fromSystem_ && number_ == error_number::kTypeMismatch; }

private:
    int number_;
    bool fromSystem_;
};

// Builds a RuntimeError from errno with the C library's description.
RuntimeError SystemError(int errnum);

}  // namespace veltar
