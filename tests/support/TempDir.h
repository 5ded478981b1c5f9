#pragma once

// Temporary folders and the file helpers every suite and benchmark uses to
// build a case on disk. Failures throw std::runtime_error.

#include <string>

namespace tidyfold::test {

// A fresh folder below base, removed with everything inside (links not
// followed, write-protected entries included) when the object goes.
class TempDir {
public:
    explicit TempDir(const std::string& base = "/tmp");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    // Path() + "/" + relative.
    std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

private:
    std::string path_;
};

// mkdtemp below base, reachable by the unprivileged user the tests drop to.
std::string MakeTempRoot(const std::string& base);

// Writes contents to path, creating the missing parent folders.
void WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);  // lstat: a dangling link exists
void MakeDirs(const std::string& path);
// Removes path and everything below it without following links.
void RemoveTree(const std::string& path);
// Copies the tree below src into dst (created), links as links.
void CopyTree(const std::string& src, const std::string& dst);

}  // namespace tidyfold::test
