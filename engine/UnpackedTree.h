#pragma once

// What the unpacked-folder check needs of the folder tree it compares: open
// folders listed once, opened one below the other and never through a link,
// and files opened for reading inside them. The file layer's open folders
// provide it (UnpackedTree.cpp).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tidyfold::unpacked {

enum class NodeKind { File, Folder, Link, Other };

struct Node {
    std::string name;
    NodeKind kind = NodeKind::Other;
    std::uint64_t size = 0;  // a regular file's size
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

class InFile {
public:
    virtual ~InFile() = default;
    // Up to size bytes; 0 at the end. Throws tidyfold::Error.
    virtual std::size_t Read(char* buffer, std::size_t size) = 0;
    virtual std::uint64_t Device() const = 0;
    virtual std::uint64_t Inode() const = 0;
};

class Dir {
public:
    virtual ~Dir() = default;
    // The open folder's descriptor, for opening an archive inside it.
    virtual int Fd() const = 0;
    virtual std::uint64_t Device() const = 0;
    // Every entry but "." and "..", listed once. Throws tidyfold::Error.
    virtual std::vector<Node> List() const = 0;
    // A real folder inside, never through a link. Throws tidyfold::Error.
    virtual std::unique_ptr<Dir> OpenFolder(const std::string& name) const = 0;
    // A regular file inside, for reading, never through a link. Throws.
    virtual std::unique_ptr<InFile> OpenFile(const std::string& name) const = 0;
    // The text of the link name. Throws tidyfold::Error.
    virtual std::string LinkTarget(const std::string& name) const = 0;
};

}  // namespace tidyfold::unpacked
