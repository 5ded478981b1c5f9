// The reader of the desktop's record of opened files on any bytes: it gives
// entries or says why it could not, never both; every entry names a file by
// an absolute path with a name of its own; and reading the same bytes again
// gives the same entries (no time is taken from the clock of the read).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/RecentFiles.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

bool Same(const std::vector<tidyfold::RecentEntry>& a, const std::vector<tidyfold::RecentEntry>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].path != b[i].path || a[i].use.ns != b[i].use.ns || a[i].use.application != b[i].use.application)
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string why;
    const std::optional<std::vector<tidyfold::RecentEntry>> entries = tidyfold::ParseRecentFiles(text, why);
    FUZZ_CHECK(entries.has_value() == why.empty(), "an unreadable record without a reason, or a reason with entries");
    if (!entries)
        return 0;
    for (const tidyfold::RecentEntry& entry : *entries) {
        const std::string& path = entry.path;
        FUZZ_CHECK(!path.empty() && path.front() == '/', "an entry that is not an absolute path");
        FUZZ_CHECK(path.find('\0') == std::string::npos, "a path with a NUL byte");
        const std::string name = path.substr(path.rfind('/') + 1);
        FUZZ_CHECK(!name.empty() && name != "." && name != "..", "an entry that names no file");
    }
    std::string again;
    const std::optional<std::vector<tidyfold::RecentEntry>> second = tidyfold::ParseRecentFiles(text, again);
    FUZZ_CHECK(second && Same(*entries, *second), "the same bytes read differently");
    return 0;
}
