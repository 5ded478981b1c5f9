#include "settings/IniFile.h"

#include <cerrno>
#include <cstring>
#include <new>

#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include "fs/Error.h"

namespace tidyfold::ini {

namespace {

// Case-insensitive names, one value per key, no "<<<" multi-line values (a
// value that happens to start with "<<<" must not swallow the lines below it),
// and "key=value" without blanks, as the profile functions write it.
void Configure(CSimpleIniA& ini) {
    ini.SetUnicode(false);
    ini.SetMultiKey(false);
    ini.SetMultiLine(false);
    ini.SetSpaces(false);
    ini.SetQuotes(false);
    ini.SetAllowKeyOnly(false);
}

void Load(CSimpleIniA& ini, const std::string& text) {
    Configure(ini);
    const SI_Error rc = ini.LoadData(text.data(), text.size());
    if (rc == SI_NOMEM)
        throw std::bad_alloc();
    if (rc < 0)
        throw Error::FromErrno(EILSEQ);
}

bool CanBeWritten(const std::string& value) {
    return value.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

}  // namespace

std::optional<std::string> ReadValue(const std::string& text, const std::string& section,
                                     const std::string& key) {
    CSimpleIniA ini;
    Load(ini, text);
    const char* value = ini.GetValue(section.c_str(), key.c_str(), nullptr);
    if (value == nullptr)
        return std::nullopt;
    return std::string(value);
}

std::string WriteValues(const std::string& text, const std::string& section,
                        const std::vector<Entry>& entries) {
    // A line break inside a value would split it into a second line and
    // change what the file says; refuse it before anything is written.
    for (const Entry& entry : entries) {
        if (!CanBeWritten(entry.key) || !CanBeWritten(entry.value))
            throw Error::FromErrno(EINVAL);
    }
    CSimpleIniA ini;
    Load(ini, text);
    for (const Entry& entry : entries) {
        const SI_Error rc = ini.SetValue(section.c_str(), entry.key.c_str(), entry.value.c_str());
        if (rc == SI_NOMEM)
            throw std::bad_alloc();
    }
    std::string out;
    // The signature is written back only when the file had one.
    if (ini.Save(out, true) < 0)
        throw Error::FromErrno(EIO);
    return out;
}

}  // namespace tidyfold::ini
