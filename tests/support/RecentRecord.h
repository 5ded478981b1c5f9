#pragma once

// A desktop record of opened files (recently-used.xbel) written by GLib's
// own writer, as applications write theirs.

#include <cstdint>
#include <memory>
#include <string>

namespace tidyfold::test {

class RecentRecord {
public:
    RecentRecord();
    ~RecentRecord();
    RecentRecord(const RecentRecord&) = delete;
    RecentRecord& operator=(const RecentRecord&) = delete;

    // An entry for the file at path (bytes, made into a file:// URI) with
    // its added, modified and visited times, seconds since 1970 (UTC),
    // registered by an application "Files" at the time it was added.
    RecentRecord& File(const std::string& path, std::int64_t added, std::int64_t modified, std::int64_t visited);
    // The same for any URI.
    RecentRecord& Uri(const std::string& uri, std::int64_t added, std::int64_t modified, std::int64_t visited);
    // An application that opened the file at path at stamp (the entry is
    // made when missing, with its times set to now).
    RecentRecord& OpenedIn(const std::string& path, const std::string& application, std::int64_t stamp);

    std::string Text() const;
    void Write(const std::string& file) const;  // missing folders made

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace tidyfold::test
