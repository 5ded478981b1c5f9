// The keep-list reader on any bytes: it gives a list or no list, never fails
// on text the settings reader accepts; what the writer makes of the list reads
// back as the same list, no list and an empty list included, and leaves the
// settings section's values as they were. Any list, made from the same bytes split at line
// feeds, survives a trip through the file too.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Error.h"
#include "settings/IniFile.h"
#include "settings/KeepListText.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

using Patterns = std::optional<std::vector<std::string>>;

void CheckSameSettings(const std::string& before, const std::string& after) {
    for (const char* key : {"Timelimit", "CopyAction", "TrashPath", "DelUCFolders", "DelNullFiles"})
        FUZZ_CHECK(tidyfold::ini::ReadValue(before, "TYFL", key) == tidyfold::ini::ReadValue(after, "TYFL", key),
                   "writing the keep list changed a setting");
}

void CheckRoundTrip(const std::string& text, const Patterns& list) {
    const std::string written = tidyfold::WriteKeepPatterns(text, list);
    FUZZ_CHECK(tidyfold::ReadKeepPatterns(written) == list, "the keep list does not read back");
    CheckSameSettings(text, written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Patterns loaded;
    try {
        loaded = tidyfold::ReadKeepPatterns(text);
    } catch (const tidyfold::Error& error) {
        FUZZ_CHECK(error.Number() == EILSEQ, "the reader failed with an unexpected error");
        return 0;
    }
    CheckRoundTrip(text, loaded);
    CheckRoundTrip(text, loaded ? std::nullopt : Patterns(std::vector<std::string>{}));
    CheckRoundTrip("", SplitLines(text));
    return 0;
}
