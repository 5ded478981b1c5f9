#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/Events.h"

namespace tidyfold::app {

// One line of progress on a terminal: the files done of the total and the
// current name, redrawn in place at most ten times a second. Writes nothing
// at all when the stream is not a terminal, so a log never fills with it.
class TerminalProgress final : public cTidyfoldEvents {
public:
    explicit TerminalProgress(std::FILE* stream);
    ~TerminalProgress() override;
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    bool Shown() const { return shown_; }
    // Clears the line, so what follows starts on a clean one.
    void Finish();

    void MovingFile(std::string sPath) override;
    void ScanningFile(std::string sPath) override;
    void SetFileCount(std::int32_t lCount) override;
    void CopyProgressRoutine(std::int64_t TotalFileSize, std::int64_t TotalBytesTransferred) override;

private:
    void Draw(const std::string& text, bool force);

    std::FILE* stream_;
    bool shown_ = false;
    bool drawn_ = false;
    std::int64_t scanned_ = 0;
    std::int32_t total_ = 0;
    std::int32_t done_ = 0;
    std::chrono::steady_clock::time_point last_{};
};

// text fitted to one line of width columns: control bytes shown as "?", the
// front cut (names end in what tells them apart), never inside a UTF-8
// character. Counts bytes outside ASCII as one column per character.
std::string FitToLine(const std::string& text, std::size_t width);

}  // namespace tidyfold::app
