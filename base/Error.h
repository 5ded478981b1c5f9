#pragma once

#include <stdexcept>
#include <string>

namespace tidyfold {

// The one error type of the core. The core never shows an error: it throws,
// and the front ends decide what the user sees. Three kinds, so that a number
// never means two things:
//  - System: a system call failed; Number() is its errno, Description() the
//    system's text, Operation() what Tidyfold was doing ("cannot remove
//    folder") and Path() what it worked on.
//  - Conversion: a settings text did not convert; Number() is 13 ("Type
//    mismatch") or 6 ("Overflow"), Operation() names the key and the file.
//  - Refused: Tidyfold will not go on (a setting that would be unsafe, an
//    unsafe folder); Description() says why, Number() is an errno-like code.
class Error : public std::runtime_error {
public:
    enum class Kind { System, Conversion, Refused };

    static Error System(int errnum, std::string operation, std::string path = {});
    static Error TypeMismatch();
    static Error Overflow();
    static Error Refused(std::string description, std::string path = {}, int number = 22 /* EINVAL */);

    Kind What() const noexcept { return kind_; }
    bool IsSystem(int errnum) const noexcept { return kind_ == Kind::System && number_ == errnum; }
    bool IsConversion() const noexcept { return kind_ == Kind::Conversion; }

    int Number() const noexcept { return number_; }
    const std::string& Description() const noexcept { return description_; }
    // What was being done when it failed, without the path; may be empty.
    const std::string& Operation() const noexcept { return operation_; }
    // The path the failed step worked on, when there was one; empty otherwise.
    const std::string& Path() const noexcept { return path_; }

    // The same error with what was being done filled in, for a caller that
    // knows more than the step that failed ("cannot read the setting X in").
    Error In(std::string operation, std::string path) const;

private:
    Error(Kind kind, int number, std::string description, std::string operation, std::string path);

    Kind kind_;
    int number_;
    std::string description_;
    std::string operation_;
    std::string path_;
};

// The numbers of the two conversion errors.
inline constexpr int kTypeMismatch = 13;
inline constexpr int kOverflow = 6;

// The system's text for an errno, thread-safe and never empty.
std::string SystemErrorText(int errnum);

}  // namespace tidyfold
