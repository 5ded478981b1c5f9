#include "tests/support/RecentRecord.h"

#include <glib.h>

#include <stdexcept>

#include "tests/support/TempDir.h"

namespace tidyfold::test {

namespace {

std::string UriOf(const std::string& path) {
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    if (uri == nullptr)
        throw std::runtime_error("no URI for " + path);
    std::string text(uri);
    g_free(uri);
    return text;
}

GDateTime* At(std::int64_t seconds) { return g_date_time_new_from_unix_utc(seconds); }

}  // namespace

struct RecentRecord::Impl {
    GBookmarkFile* file = g_bookmark_file_new();
    ~Impl() { g_bookmark_file_free(file); }
};

RecentRecord::RecentRecord() : impl_(std::make_unique<Impl>()) {}
RecentRecord::~RecentRecord() = default;

RecentRecord& RecentRecord::File(const std::string& path, std::int64_t added, std::int64_t modified,
                                 std::int64_t visited) {
    return Uri(UriOf(path), added, modified, visited);
}

RecentRecord& RecentRecord::Uri(const std::string& uri, std::int64_t added, std::int64_t modified,
                                std::int64_t visited) {
    // GLib's writer leaves out an entry no application registered; a
    // registration stamps the entry as modified now, so the times come after.
    GDateTime* when = At(added);
    g_bookmark_file_set_application_info(impl_->file, uri.c_str(), "Files", "'files %u'", 1, when, nullptr);
    g_date_time_unref(when);
    g_bookmark_file_set_mime_type(impl_->file, uri.c_str(), "application/octet-stream");
    for (const auto& [set, time] : {std::pair{&g_bookmark_file_set_added_date_time, added},
                                    {&g_bookmark_file_set_modified_date_time, modified},
                                    {&g_bookmark_file_set_visited_date_time, visited}}) {
        GDateTime* at = At(time);
        set(impl_->file, uri.c_str(), at);
        g_date_time_unref(at);
    }
    return *this;
}

RecentRecord& RecentRecord::OpenedIn(const std::string& path, const std::string& application, std::int64_t stamp) {
    const std::string uri = UriOf(path);
    GDateTime* modified = g_bookmark_file_get_modified_date_time(impl_->file, uri.c_str(), nullptr);
    if (modified != nullptr)
        g_date_time_ref(modified);
    GDateTime* when = At(stamp);
    // As GtkRecentManager registers it: the name, a command, one opening.
    const std::string exec = "'" + application + " %u'";
    const bool set = g_bookmark_file_set_application_info(impl_->file, uri.c_str(), application.c_str(), exec.c_str(),
                                                          1, when, nullptr);
    g_date_time_unref(when);
    // The entry keeps the time the test gave it.
    if (modified != nullptr) {
        g_bookmark_file_set_modified_date_time(impl_->file, uri.c_str(), modified);
        g_date_time_unref(modified);
    }
    if (!set)
        throw std::runtime_error("cannot record " + application + " for " + path);
    return *this;
}

std::string RecentRecord::Text() const {
    gsize length = 0;
    gchar* data = g_bookmark_file_to_data(impl_->file, &length, nullptr);
    if (data == nullptr)
        throw std::runtime_error("the record cannot be written");
    std::string text(data, length);
    g_free(data);
    return text;
}

void RecentRecord::Write(const std::string& file) const {
    MakeDirs(file.substr(0, file.rfind('/')));
    if (!g_bookmark_file_to_file(impl_->file, file.c_str(), nullptr))
        throw std::runtime_error("cannot write the record " + file);
}

}  // namespace tidyfold::test
