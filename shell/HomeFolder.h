#pragma once

#include <string>

namespace tidyfold {

// The user's home folder: $HOME when it is set and not empty, else the one the
// password database gives for the current user; without a trailing "/"
// (except for "/" itself). Empty text when neither knows one.
std::string HomeFolder();

// path without its trailing "/" characters; "/" stays "/".
std::string WithoutTrailingSlash(std::string path);

}  // namespace tidyfold
