#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "fs/Handles.h"

namespace tidyfold::fs {

// A temporary entry beside a final name, ".<name>.tidyfold-tmp-XXXXXX" in the
// same folder, so that a rename can put it in place atomically. Removed when
// the object goes unless Release was called (after the rename).
class TempEntry {
public:
    explicit TempEntry(int dirfd) : dirfd_(dirfd) {}
    TempEntry(const TempEntry&) = delete;
    TempEntry& operator=(const TempEntry&) = delete;
    ~TempEntry();

    // Creates a new regular file for the final name finalName. Returns an
    // invalid descriptor with errno set on failure.
    UniqueFd CreateFile(const std::string& finalName, mode_t mode);
    // Creates a link holding target for the final name. Returns 0 or an errno.
    int CreateLink(const std::string& target, const std::string& finalName);

    const std::string& Name() const noexcept { return name_; }
    int Dir() const noexcept { return dirfd_; }
    void Release() noexcept { live_ = false; }

private:
    int dirfd_;
    std::string name_;
    bool live_ = false;
};

// A temporary name for finalName with a fresh random suffix, for a caller
// that claims it itself (a folder made with mkdir) and retries on EEXIST.
std::string NewTempNameFor(const std::string& finalName);
// The temporary name for finalName with the given six-character suffix,
// shortened so that it stays within the system's limit for a name.
std::string TempNameFor(const std::string& finalName, const std::string& suffix);
// When name is a temporary name TempNameFor could have given, the part of
// the final name it keeps (the whole final name unless that was too long);
// nothing for any other name.
std::optional<std::string> TempNameStem(const std::string& name);
// The stem TempNameFor keeps of finalName.
std::string TempStemOf(const std::string& finalName);

}  // namespace tidyfold::fs
