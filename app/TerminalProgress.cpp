#include "app/TerminalProgress.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace tidyfold::app {

namespace {

constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

std::size_t TerminalWidth(std::FILE* stream) {
    winsize size{};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Continues(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::string FitToLine(const std::string& text, std::size_t width) {
    std::string clean;
    std::size_t columns = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        clean += byte < 0x20 || byte == 0x7f ? '?' : c;
        columns += Continues(c) ? 0 : 1;
    }
    if (columns <= width || width == 0)
        return width == 0 ? std::string() : clean;
    // Keep the end: "..." and the last width - 3 characters.
    std::size_t keep = width > 3 ? width - 3 : 0;
    std::size_t start = clean.size();
    while (start > 0 && keep > 0) {
        --start;
        if (!Continues(clean[start]))
            --keep;
    }
    return std::string("...").substr(0, width) + clean.substr(start);
}

TerminalProgress::TerminalProgress(std::FILE* stream) : stream_(stream), shown_(isatty(fileno(stream)) == 1) {}

TerminalProgress::~TerminalProgress() { Finish(); }

void TerminalProgress::Finish() {
    if (!drawn_)
        return;
    std::fputs("\r\033[K", stream_);
    std::fflush(stream_);
    drawn_ = false;
}

void TerminalProgress::Draw(const std::string& text, bool force) {
    if (!shown_)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && drawn_ && now - last_ < kRedrawEvery)
        return;
    last_ = now;
    // One column short of the width: a character in the last one makes some
    // terminals wrap.
    const std::string line = FitToLine(text, TerminalWidth(stream_) - 1);
    std::fprintf(stream_, "\r\033[K%s", line.c_str());
    std::fflush(stream_);
    drawn_ = true;
}

void TerminalProgress::ScanningFile(std::string sPath) {
    ++scanned_;
    Draw("Scanning: " + std::to_string(scanned_) + " files  " + NameOf(sPath), false);
}

void TerminalProgress::SetFileCount(std::int32_t lCount) {
    total_ = lCount;
    done_ = 0;
}

void TerminalProgress::MovingFile(std::string sPath) {
    ++done_;
    Draw(std::to_string(done_) + " of " + std::to_string(total_) + "  " + NameOf(sPath), done_ == total_);
}

void TerminalProgress::CopyProgressRoutine(std::int64_t, std::int64_t) {}

}  // namespace tidyfold::app
