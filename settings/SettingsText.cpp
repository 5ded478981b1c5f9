#include "settings/SettingsText.h"

#include <cerrno>
#include <cmath>

#include "base/Error.h"
#include "settings/IniFile.h"
#include "settings/KeepListText.h"
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

namespace {

// A value that does not convert says which key of which file it was: "Type
// mismatch" alone leaves the user guessing.
template <typename Convert>
auto Converted(const char* key, const std::string& source, Convert&& convert) {
    try {
        return convert();
    } catch (const Error& error) {
        if (!error.IsConversion())
            throw;
        throw error.In(std::string("cannot read the setting \"") + key + "\" in", source);
    }
}

std::string IntegerText(std::int16_t value) { return std::to_string(value); }

}  // namespace

void ApplySettings(const SettingsReader& read, cOptions& options, const std::string& source) {
    options.CopyAction(static_cast<TransferMode>(Converted("CopyAction", source, [&] {
        return ParseInt16(read("CopyAction", IntegerText(ModeNumber(cOptions::kDefaultCopyAction))));
    })));
    options.OffloadPath(read("TrashPath", cOptions::DefaultOffloadPath()));
    options.TimeLimit(Converted("TimeLimit", source, [&] {
        return ParseSingle(read("TimeLimit", SingleToText(cOptions::kDefaultTimeLimit)));
    }));
    options.DelUCFolders(Converted("DelUCFolders", source, [&] {
        return ParseInt16(read("DelUCFolders", IntegerText(cOptions::kDefaultDelUCFolders)));
    }));
    options.DelNullFiles(Converted("DelNullFiles", source, [&] {
        return ParseInt16(read("DelNullFiles", IntegerText(cOptions::kDefaultDelNullFiles)));
    }));
}

void ParseSettingsText(const std::string& text, cOptions& options) {
    ApplySettings(
        [&text](const std::string& key, const std::string& defaultText) {
            return ReadSettingsValue(text, kAppTitle, key, defaultText);
        },
        options, "the settings text");
    options.KeepPatterns(ReadKeepPatterns(text));
}

void RefuseUnstorableOffloadPath(const std::string& path) {
    // A path that reads back otherwise would send the next pass into a
    // different folder than the one chosen.
    if (path.size() > kMaxSettingsValue)
        throw Error::Refused("The offload folder path is longer than " + std::to_string(kMaxSettingsValue) +
                             " characters.");
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    if (!path.empty() && (blank(path.front()) || blank(path.back())))
        throw Error::Refused("The offload folder path cannot begin or end with a blank: the settings file would "
                             "not keep it.",
                             path);
    if (path.find_first_of("\r\n") != std::string::npos || path.find('\0') != std::string::npos)
        throw Error::Refused("The offload folder path cannot hold a line break.", {}, EINVAL);
}

std::string ComposeSettingsText(const std::string& oldText, const cOptions& options) {
    // "nan" or "inf" in the file would fail every later load; refuse to write it.
    if (!std::isfinite(options.TimeLimit()))
        throw Error::Overflow();
    RefuseUnstorableOffloadPath(options.OffloadPath());
    // The age limit is written as "Timelimit" and read as "TimeLimit"; names
    // match without regard to case, so both reach one entry.
    const std::string text = ini::WriteValues(oldText, kAppTitle,
                                              {{"Timelimit", SingleToText(options.TimeLimit())},
                                               {"CopyAction", IntegerText(ModeNumber(options.CopyAction()))},
                                               {"TrashPath", options.OffloadPath()},
                                               {"DelUCFolders", std::to_string(options.DelUCFolders())},
                                               {"DelNullFiles", std::to_string(options.DelNullFiles())}});
    return WriteKeepPatterns(text, options.KeepPatterns());
}

}  // namespace tidyfold
