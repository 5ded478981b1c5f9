#pragma once

#include <string>

#include "fs/FileSystem.h"
#include "fs/Temp.h"

namespace tidyfold::fs {

// Copies src into temp, a new entry for finalName in temp's folder: a
// regular file gets its data, permission bits and access and write times and
// is flushed to disk; a link becomes a link with the same text and times.
// Returns 0 or an errno (EISDIR for a folder, EINVAL for other kinds, EINVAL
// when finalName already is src itself). temp is left for the caller to put
// in place or drop.
int CopyToTemp(const std::string& src, int dirfd, const std::string& finalName, TempEntry& temp,
               const CopyProgress& progress, const volatile int* cancel);

// Runs a transfer call so that it never throws: the file layer's own errors
// become their errno, anything else escaping (a progress routine) cancels.
template <typename Body>
int ReturningErrno(Body&& body) noexcept;

}  // namespace tidyfold::fs

#include <new>

#include "base/Error.h"

template <typename Body>
int tidyfold::fs::ReturningErrno(Body&& body) noexcept {
    try {
        return body();
    } catch (const Error& error) {
        return error.Number();
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    } catch (...) {
        return ECANCELED;
    }
}
