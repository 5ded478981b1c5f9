#include "base/Error.h"

#include <cstring>

namespace tidyfold {

namespace {
std::string WhatText(int number, const std::string& description, const std::string& path) {
    std::string text = "Error " + std::to_string(number) + ": " + description;
    if (!path.empty())
        text += " (" + path + ")";
    return text;
}
}  // namespace

Error::Error(int number, std::string description, std::string path)
    : std::runtime_error(WhatText(number, description, path)),
      number_(number),
      description_(std::move(description)),
      path_(std::move(path)) {}

Error Error::FromErrno(int errnum, std::string path) {
    return Error(errnum, SystemErrorText(errnum), std::move(path));
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
