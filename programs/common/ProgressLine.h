// A status line on a terminal: how far a long run has come. It is redrawn
// in place at most five times a second and erased before any other line is
// written to the same stream and at the end, so that what the terminal shows
// in the end is exactly what the tool would show without it. It draws
// nothing when the stream is not a terminal.
#ifndef DEDUP_COMMON_PROGRESSLINE_H
#define DEDUP_COMMON_PROGRESSLINE_H

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "Messages.h"

class ProgressLine {
public:
    // Draws on the messages' stream, only when enabled and that stream is a
    // terminal; every message erases it first while it lives.
    ProgressLine(Messages& messages, bool enabled);
    ~ProgressLine();

    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    bool active() const { return active_; }

    // Bytes read in the whole run, bytes of the current file read so far, of
    // file_size (negative when unknown), and what is being read. Cheap when
    // the line was drawn less than 0.2 s ago.
    void update(std::uint64_t run_bytes, std::uint64_t file_bytes, std::int64_t file_size, const std::string& what);
    // Draws what is being done now, whenever it was last drawn: the run may
    // wait there (an open that blocks).
    void show(std::uint64_t run_bytes, const std::string& what);
    // Removes the line from the terminal, if it is drawn.
    void erase();

private:
    using Clock = std::chrono::steady_clock;

    void draw(std::uint64_t run_bytes, std::uint64_t file_bytes, std::int64_t file_size, const std::string& what);

    Messages& messages_;
    std::FILE* err_;
    bool active_;
    bool drawn_ = false;
    Clock::time_point started_;
    Clock::time_point last_draw_;
};

// Bytes as people read them: "512 B", "3.4 MiB", "1.2 GiB".
std::string humanBytes(double bytes);

#endif
