#include "settings/SettingsText.h"

#include <cerrno>
#include <cmath>

#include "base/Error.h"
#include "settings/IniFile.h"
#include "settings/NumberText.h"
#include "settings/cOptions.h"
#include "shell/HomeFolder.h"

namespace tidyfold {

std::string DefaultTrashPath() { return HomeFolder() + "/Trash"; }

std::string ReadSettingsValue(const std::string& text, const std::string& section,
                              const std::string& key, const std::string& defaultText) {
    std::optional<std::string> value = ini::ReadValue(text, section, key);
    if (!value || value->empty())
        return defaultText;
    if (value->size() > kMaxSettingsValue) {
        value->resize(kMaxSettingsValue);
        // The file keeps no blanks at the end of a value, so a cut that lands
        // after one would read back differently once saved.
        while (!value->empty() && (value->back() == ' ' || value->back() == '\t'))
            value->pop_back();
    }
    return *value;
}

void ApplySettings(const SettingsReader& read, cOptions& options) {
    options.CopyAction(ParseInt16(read("CopyAction", "0")));
    options.OffloadPath(read("TrashPath", DefaultTrashPath()));
    options.TimeLimit(ParseSingle(read("TimeLimit", "7")));
    options.DelUCFolders(ParseInt16(read("DelUCFolders", "1")));
    options.DelNullFiles(ParseInt16(read("DelNullFiles", "1")));
}

void ParseSettingsText(const std::string& text, cOptions& options) {
    ApplySettings(
        [&text](const std::string& key, const std::string& defaultText) {
            return ReadSettingsValue(text, kAppTitle, key, defaultText);
        },
        options);
}

std::string ComposeSettingsText(const std::string& oldText, const cOptions& options) {
    // "nan" or "inf" in the file would fail every later load; refuse to write it.
    if (!std::isfinite(options.TimeLimit()))
        throw Error(kOverflow, "Overflow");
    // A longer path would read back cut, and the next pass would offload into
    // a different folder.
    if (options.OffloadPath().size() > kMaxSettingsValue)
        throw Error(EINVAL, "The offload folder path is longer than " + std::to_string(kMaxSettingsValue) +
                                " characters.");
    // The age limit is written as "Timelimit" and read as "TimeLimit"; names
    // match without regard to case, so both reach one entry.
    return ini::WriteValues(oldText, kAppTitle,
                            {{"Timelimit", SingleToText(options.TimeLimit())},
                             {"CopyAction", std::to_string(options.CopyAction())},
                             {"TrashPath", options.OffloadPath()},
                             {"DelUCFolders", std::to_string(options.DelUCFolders())},
                             {"DelNullFiles", std::to_string(options.DelNullFiles())}});
}

}  // namespace tidyfold
