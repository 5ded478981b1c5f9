// The settings reader on any bytes: it converts or throws tidyfold::Error 13
// or 6, never anything else; a value is never longer than 254 bytes; and what
// the writer makes of the loaded settings reads back as the same settings.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/Error.h"
#include "settings/SettingsText.h"
#include "settings/cOptions.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

bool Close(float a, float b) {
    return std::fabs(a - b) <= 1e-6f * std::fmax(std::fabs(a), std::fabs(b)) + 1e-37f;
}

void CheckRoundTrip(const std::string& text, const tidyfold::cOptions& loaded) {
    std::string saved;
    try {
        saved = tidyfold::ComposeSettingsText(text, loaded);
    } catch (const tidyfold::Error& error) {
        // Only a value that cannot be written is refused.
        FUZZ_CHECK(error.Number() == tidyfold::kOverflow || error.Number() == EINVAL || error.Number() == EILSEQ,
                   "unexpected error from the writer");
        return;
    }
    tidyfold::cOptions again;
    tidyfold::ParseSettingsText(saved, again);  // must not throw: it wrote these values itself
    FUZZ_CHECK(again.CopyAction() == loaded.CopyAction(), "CopyAction does not read back");
    FUZZ_CHECK(again.OffloadPath() == loaded.OffloadPath(), "TrashPath does not read back");
    FUZZ_CHECK(Close(again.TimeLimit(), loaded.TimeLimit()), "TimeLimit does not read back");
    FUZZ_CHECK(again.DelUCFolders() == loaded.DelUCFolders(), "DelUCFolders does not read back");
    FUZZ_CHECK(again.DelNullFiles() == loaded.DelNullFiles(), "DelNullFiles does not read back");
    FUZZ_CHECK(again.KeepPatterns() == loaded.KeepPatterns(), "the keep list does not read back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    tidyfold::cOptions options;
    try {
        tidyfold::ParseSettingsText(text, options);
    } catch (const tidyfold::Error& error) {
        FUZZ_CHECK(error.Number() == tidyfold::kTypeMismatch || error.Number() == tidyfold::kOverflow ||
                       error.Number() == EILSEQ,
                   "the reader failed with an unexpected error");
        return 0;
    }
    FUZZ_CHECK(options.OffloadPath().size() <= tidyfold::kMaxSettingsValue, "a value longer than 254 bytes");
    FUZZ_CHECK(std::isfinite(options.TimeLimit()), "a time limit that is not finite");
    CheckRoundTrip(text, options);
    return 0;
}
