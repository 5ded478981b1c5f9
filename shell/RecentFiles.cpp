#include "shell/RecentFiles.h"

#include <glib.h>

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <memory>

#include "base/Error.h"
#include "fs/FileSystem.h"
#include "shell/HomeFolder.h"
#include "shell/UserDirs.h"

namespace tidyfold {

namespace {

constexpr std::int64_t kNsPerSecond = 1'000'000'000;
constexpr std::int64_t kUsPerSecond = 1'000'000;
// An application and the entry are stamped one after the other when a file
// is opened; an application whose time lies this close to the entry's
// newest time is the one that opened it then.
constexpr std::int64_t kSameOpening = 60 * kNsPerSecond;

// GBookmarkFile gives an entry or an application that carries no time the
// moment the record is loaded, which says nothing about when the file was
// used: such a time falls within the load, on the system's real clock.
struct Loading {
    gint64 fromUs = 0;
    gint64 toUs = 0;
};

struct BookmarkFree {
    void operator()(GBookmarkFile* file) const { g_bookmark_file_free(file); }
};
struct StrvFree {
    void operator()(gchar** strings) const { g_strfreev(strings); }
};
struct GFree {
    void operator()(gchar* text) const { g_free(text); }
};
using Bookmarks = std::unique_ptr<GBookmarkFile, BookmarkFree>;
using Strings = std::unique_ptr<gchar*, StrvFree>;
using Text = std::unique_ptr<gchar, GFree>;

// A malformed record makes GLib's reader warn on standard error on its way
// to the error it returns; the error is what counts, and a scheduled run
// writes nothing to standard error but its own failures.
class QuietGLibWarnings {
public:
    QuietGLibWarnings()
        : id_(g_log_set_handler("GLib", G_LOG_LEVEL_WARNING, [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {},
                                nullptr)) {}
    ~QuietGLibWarnings() { g_log_remove_handler("GLib", id_); }
    QuietGLibWarnings(const QuietGLibWarnings&) = delete;
    QuietGLibWarnings& operator=(const QuietGLibWarnings&) = delete;

private:
    guint id_;
};

// A time of the record in nanoseconds; nothing for one GLib made up, or one
// outside what nanoseconds since 1970 can hold (the format allows the years
// 1 to 9999).
std::optional<std::int64_t> Nanoseconds(GDateTime* time, const Loading& loading) {
    if (time == nullptr)
        return std::nullopt;
    const gint64 seconds = g_date_time_to_unix(time);
    const gint64 us = seconds * kUsPerSecond + g_date_time_get_microsecond(time);
    if (us >= loading.fromUs && us <= loading.toUs)
        return std::nullopt;
    constexpr std::int64_t kMaxSeconds = std::numeric_limits<std::int64_t>::max() / kNsPerSecond - 1;
    if (seconds > kMaxSeconds || seconds < -kMaxSeconds)
        return std::nullopt;
    return seconds * kNsPerSecond + g_date_time_get_microsecond(time) * 1000;
}

void Newer(std::optional<std::int64_t>& newest, std::optional<std::int64_t> time) {
    if (time && (!newest || *time > *newest))
        newest = time;
}

// The path of a file:// URI of this machine, as bytes; nothing for any
// other URI, or one that names no file (a folder's URI ending in "/").
std::optional<std::string> LocalPath(const gchar* uri) {
    gchar* host = nullptr;
    const Text path(g_filename_from_uri(uri, &host, nullptr));
    const Text hostText(host);
    if (!path || (host != nullptr && host[0] != '\0' && g_strcmp0(host, "localhost") != 0))
        return std::nullopt;
    std::string bytes(path.get());
    const std::size_t slash = bytes.rfind('/');
    if (bytes.empty() || bytes[0] != '/' || slash == std::string::npos)
        return std::nullopt;
    const std::string name = bytes.substr(slash + 1);
    if (name.empty() || name == "." || name == "..")
        return std::nullopt;
    return bytes;
}

// What the record says of uri: its newest time, and the application that
// opened the file then.
std::optional<RecentUse> UseOf(GBookmarkFile* record, const gchar* uri, const Loading& loading) {
    std::optional<std::int64_t> newest;
    Newer(newest, Nanoseconds(g_bookmark_file_get_added_date_time(record, uri, nullptr), loading));
    Newer(newest, Nanoseconds(g_bookmark_file_get_modified_date_time(record, uri, nullptr), loading));
    Newer(newest, Nanoseconds(g_bookmark_file_get_visited_date_time(record, uri, nullptr), loading));
    std::optional<std::int64_t> appNewest;
    std::string application;
    gsize count = 0;
    const Strings apps(g_bookmark_file_get_applications(record, uri, &count, nullptr));
    for (gsize i = 0; apps && i < count; ++i) {
        GDateTime* stamp = nullptr;
        if (!g_bookmark_file_get_application_info(record, uri, apps.get()[i], nullptr, nullptr, &stamp, nullptr))
            continue;
        const std::optional<std::int64_t> time = Nanoseconds(stamp, loading);
        if (time && (!appNewest || *time > *appNewest)) {
            appNewest = time;
            application = apps.get()[i];
        }
    }
    Newer(newest, appNewest);
    if (!newest)
        return std::nullopt;
    RecentUse use;
    use.ns = *newest;
    // The two may lie millennia apart (the format allows the years 1 to
    // 9999): a gap too large to compute is not the same opening.
    std::int64_t gap = 0;
    if (appNewest && !__builtin_sub_overflow(*newest, *appNewest, &gap) && gap <= kSameOpening)
        use.application = std::move(application);
    return use;
}

}  // namespace

std::optional<std::vector<RecentEntry>> ParseRecentFiles(std::string_view text, std::string& why) {
    std::vector<RecentEntry> entries;
    // An application may leave the record empty; that is a record of nothing.
    if (text.empty())
        return entries;
    const Bookmarks record(g_bookmark_file_new());
    GError* error = nullptr;
    Loading loading;
    loading.fromUs = g_get_real_time();
    bool loaded = false;
    {
        const QuietGLibWarnings quiet;
        loaded = g_bookmark_file_load_from_data(record.get(), text.data(), text.size(), &error);
    }
    loading.toUs = g_get_real_time();
    if (!loaded) {
        why = error != nullptr && error->message != nullptr ? error->message : "it is not a bookmark file";
        g_clear_error(&error);
        return std::nullopt;
    }
    gsize count = 0;
    const Strings uris(g_bookmark_file_get_uris(record.get(), &count));
    entries.reserve(count);
    for (gsize i = 0; uris && i < count; ++i) {
        const gchar* uri = uris.get()[i];
        std::optional<std::string> path = LocalPath(uri);
        if (!path)
            continue;
        if (std::optional<RecentUse> use = UseOf(record.get(), uri, loading))
            entries.push_back(RecentEntry{std::move(*path), std::move(*use)});
    }
    return entries;
}

RecentFiles::RecentFiles(const std::vector<RecentEntry>& entries) {
    // One look-up per folder, however many of its files the record names.
    std::unordered_map<std::string, std::optional<fs::Identity>> looked;
    for (const RecentEntry& entry : entries) {
        const std::size_t slash = entry.path.rfind('/');
        const std::string folder = slash == 0 ? std::string("/") : entry.path.substr(0, slash);
        auto found = looked.find(folder);
        if (found == looked.end())
            found = looked.emplace(folder, fs::FolderIdentityAt(folder)).first;
        if (!found->second)
            continue;
        auto& names = folders_[*found->second];
        const auto [place, added] = names.try_emplace(entry.path.substr(slash + 1), entry.use);
        if (added)
            ++size_;
        else if (entry.use.ns > place->second.ns)
            place->second = entry.use;
    }
}

const RecentUse* RecentFiles::Find(const fs::Identity& folder, const std::string& name) const {
    const auto names = folders_.find(folder);
    if (names == folders_.end())
        return nullptr;
    const auto use = names->second.find(name);
    return use == names->second.end() ? nullptr : &use->second;
}

std::string RecentFilesPath() {
    const char* data = std::getenv("XDG_DATA_HOME");
    const std::string home = HomeFolder();
    if (home.empty() && (data == nullptr || data[0] != '/'))
        return {};
    const std::string folder = WithoutTrailingSlash(DataHome(home));
    return (folder == "/" ? std::string() : folder) + "/recently-used.xbel";
}

RecentFilesRead ReadRecentFiles() {
    RecentFilesRead read;
    read.path = RecentFilesPath();
    if (read.path.empty())
        return read;
    std::string text;
    try {
        text = fs::ReadLinkedFileUpTo(read.path, kRecentFilesLimit);
    } catch (const Error& error) {
        // No record yet is the usual state of a new account, not a fault.
        if (!error.IsSystem(ENOENT)) {
            read.outcome = RecentFilesRead::Outcome::Unreadable;
            read.error = error.Number();
        }
        return read;
    }
    std::optional<std::vector<RecentEntry>> entries = ParseRecentFiles(text, read.why);
    if (!entries) {
        read.outcome = RecentFilesRead::Outcome::Unreadable;
        return read;
    }
    read.outcome = RecentFilesRead::Outcome::Read;
    read.files = RecentFiles(*entries);
    return read;
}

}  // namespace tidyfold
