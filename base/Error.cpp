#include "base/Error.h"

#include <cstring>

namespace tidyfold {

namespace {
// "cannot remove folder /a/b: Permission denied", as a log or a terminal
// shows it; the windows compose their own text from the parts.
std::string WhatText(int number, const std::string& description, const std::string& operation,
                     const std::string& path) {
    std::string text = "Error " + std::to_string(number) + ": ";
    if (!operation.empty())
        text += operation + (path.empty() ? "" : " " + path) + ": ";
    else if (!path.empty())
        text += path + ": ";
    return text + description;
}
}  // namespace

Error::Error(Kind kind, int number, std::string description, std::string operation, std::string path)
    : std::runtime_error(WhatText(number, description, operation, path)),
      kind_(kind),
      number_(number),
      description_(std::move(description)),
      operation_(std::move(operation)),
      path_(std::move(path)) {}

Error Error::System(int errnum, std::string operation, std::string path) {
    return Error(Kind::System, errnum, SystemErrorText(errnum), std::move(operation), std::move(path));
}

Error Error::TypeMismatch() { return Error(Kind::Conversion, kTypeMismatch, "Type mismatch", {}, {}); }

Error Error::Overflow() { return Error(Kind::Conversion, kOverflow, "Overflow", {}, {}); }

Error Error::Refused(std::string description, std::string path, int number) {
    return Error(Kind::Refused, number, std::move(description), {}, std::move(path));
}

Error Error::In(std::string operation, std::string path) const {
    return Error(kind_, number_, description_, std::move(operation), std::move(path));
}

std::string SystemErrorText(int errnum) {
    char buffer[256] = {};
    // GNU strerror_r may return a static string instead of filling the buffer.
    const char* text = strerror_r(errnum, buffer, sizeof buffer);
    if (text == nullptr || *text == '\0')
        return "Unknown error " + std::to_string(errnum);
    return text;
}

}  // namespace tidyfold
