#pragma once

#include <stdexcept>
#include <string>

namespace tidyfold {

// The one error type of the core. A file-layer failure carries errno and the
// system's text for it; a settings value that does not convert carries 13
// ("Type mismatch") or 6 ("Overflow"). The core never shows an error: it
// throws, and the windows decide what the user sees.
class Error : public std::runtime_error {
public:
    Error(int number, std::string description, std::string path = {});

    int Number() const noexcept { return number_; }
    const std::string& Description() const noexcept { return description_; }
    // The path the failed call worked on, when there was one; empty otherwise.
    const std::string& Path() const noexcept { return path_; }

    // Builds the error for a failed system call from its errno.
    static Error FromErrno(int errnum, std::string path = {});

private:
    int number_;
    std::string description_;
    std::string path_;
};

// Conversion errors of the settings file.
inline constexpr int kTypeMismatch = 13;
inline constexpr int kOverflow = 6;

// The system's text for an errno, thread-safe and never empty.
std::string SystemErrorText(int errnum);

}  // namespace tidyfold
