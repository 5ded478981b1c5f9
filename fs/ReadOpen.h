#pragma once

#include <string>

namespace tidyfold::fs {

// Opens name in dirfd to read it, without following a link and without a
// FIFO waiting for a writer, and without marking the file as used: Tidyfold
// ages files by their access time, so its own reading (comparing a folder
// with its archive, checking a leftover copy) must not make an old file look
// used today, or an archive checked every pass would never be offloaded.
// Only the file's owner (or root) may ask that of the kernel; for anyone
// else the file is opened normally. Returns the descriptor, or -1 with errno.
int OpenToRead(int dirfd, const std::string& name);

}  // namespace tidyfold::fs
