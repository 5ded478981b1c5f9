#pragma once

// What a drive cannot hold, said as a person reads it: the log, the dry run
// and the Preview give the same reason.

#include <string>

#include "fs/Drive.h"

namespace tidyfold {

// "the exFAT drive cannot store ':' in a name", "files of 4 GiB or more do
// not fit on this drive": lower case, without a full stop, to go after
// "stays on the Desktop: " or to end a sentence of the log.
std::string UnfitReason(const fs::Unfit& unfit);

}  // namespace tidyfold
