#pragma once

#include <functional>
#include <string>

namespace tidyfold::test {

// A fresh folder under /tmp, removed with everything inside (links not
// followed, write-protected entries included) when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    // Path() + "/" + relative.
    std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

private:
    std::string path_;
};

// Writes contents to path, creating the missing parent folders.
void WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);  // lstat: a dangling link exists
void MakeDirs(const std::string& path);
// Removes path and everything below it without following links.
void RemoveTree(const std::string& path);

// Runs body in a forked child that has switched to an unprivileged user
// (nobody), so permission checks apply even when the tests run as root.
// Returns the child's exit status: 0 when body returned normally and every
// gtest assertion inside it held.
int RunUnprivileged(const std::function<void()>& body);
// The uid and gid RunUnprivileged switches to.
unsigned UnprivilegedUid();
unsigned UnprivilegedGid();

}  // namespace tidyfold::test
