#include "app/Display.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace tidyfold::app {

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The value of one of Qt's own options, "-name value" or "--name value";
// the last one counts, as Qt reads them.
std::string QtOption(int argc, char** argv, std::string_view name) {
    std::string value;
    for (int i = 1; i + 1 < argc; ++i) {
        std::string_view argument = argv[i];
        if (argument.starts_with("--"))
            argument.remove_prefix(1);
        if (argument == name)
            value = argv[++i];
    }
    return value;
}

// The whole handshake, authorisation included, as Qt's X platform makes it:
// a server that is there but refuses us is no display either.
bool XServerAnswers(const std::string& display) {
    if (display.empty() && Env("DISPLAY").empty())
        return false;
    xcb_connection_t* connection = xcb_connect(display.empty() ? nullptr : display.c_str(), nullptr);
    const bool answers = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return answers;
}

// Where the Wayland client library would connect: WAYLAND_DISPLAY (a path,
// or a name in XDG_RUNTIME_DIR), "wayland-0" when unset.
bool WaylandAnswers() {
    // A connection handed over already open.
    if (!Env("WAYLAND_SOCKET").empty())
        return true;
    std::string path = Env("WAYLAND_DISPLAY");
    if (path.empty())
        path = "wayland-0";
    if (path.front() != '/') {
        const std::string runtime = Env("XDG_RUNTIME_DIR");
        if (runtime.empty())
            return false;
        path = runtime + "/" + path;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return false;
    const bool answers = connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(socket);
    return answers;
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

bool WindowCanOpen(int argc, char** argv) {
    std::string platforms = QtOption(argc, argv, "-platform");
    if (platforms.empty())
        platforms = Env("QT_QPA_PLATFORM");
    const std::string display = QtOption(argc, argv, "-display");
    // Without a choice Qt takes the session's kind, X or Wayland.
    if (platforms.empty())
        return XServerAnswers(display) || WaylandAnswers();
    // "wayland;xcb": each is tried in turn; "xcb:arguments" names xcb.
    std::string_view rest = platforms;
    while (!rest.empty()) {
        const std::size_t end = rest.find(';');
        std::string_view entry = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        const std::string name = Lower(std::string(entry.substr(0, entry.find(':'))));
        if (name.empty())
            continue;
        if (name == "xcb") {
            if (XServerAnswers(display))
                return true;
        } else if (name.starts_with("wayland")) {
            if (WaylandAnswers())
                return true;
        } else {
            return true;
        }
    }
    return false;
}

}  // namespace tidyfold::app
