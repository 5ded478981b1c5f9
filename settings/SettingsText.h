#pragma once

// The settings file's content, apart from the file itself: what LoadOptions
// makes of a text and what SaveOptions turns a text into. Pure functions, so
// the tests and the fuzzers can feed them any bytes.

#include <functional>
#include <string>

namespace tidyfold {

class cOptions;

// Longest value the reader hands back; longer ones are cut.
inline constexpr std::size_t kMaxSettingsValue = 254;

// The offload folder when the file names none: the home folder and "/Trash".
std::string DefaultTrashPath();

// key of section in a settings text: defaultText when the section or key is
// missing or the value is empty, else the value cut to kMaxSettingsValue.
std::string ReadSettingsValue(const std::string& text, const std::string& section,
                              const std::string& key, const std::string& defaultText);

// Gives the text of one key of the settings section, or defaultText.
using SettingsReader = std::function<std::string(const std::string& key, const std::string& defaultText)>;

// The load algorithm over any source: the five keys in order, each converted
// and assigned through the public setter; stops at the first that does not
// convert (Error 13 or 6, naming the key and source), the earlier ones
// staying assigned.
void ApplySettings(const SettingsReader& read, cOptions& options, const std::string& source);

// The load algorithm over a settings text instead of the file, the keep list
// read after the five keys.
void ParseSettingsText(const std::string& text, cOptions& options);

// Throws Error::Refused for an offload path that would not read back as it
// is: longer than kMaxSettingsValue, or beginning or ending with a blank
// (the reader drops those); EINVAL for a line break, which ends the value.
void RefuseUnstorableOffloadPath(const std::string& path);

// oldText (empty when there is no file) with the five settings of options
// written into the settings section and its keep list into its own. Throws Error 6 for a time limit that is
// not finite (it could not be read back) and EINVAL for a path holding a line
// break.
std::string ComposeSettingsText(const std::string& oldText, const cOptions& options);

}  // namespace tidyfold
