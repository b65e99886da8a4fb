#include "ProgressLine.h"

#include <sys/ioctl.h>
#include "TerminalText.h"

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(200);

// Columns of the terminal, so that the line never wraps (a wrapped line
// could not be erased in place).
std::size_t terminalColumns(std::FILE* stream) {
    struct winsize size;
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

}  // namespace

std::string humanBytes(double bytes) {
    static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB", "PiB"};
    int unit = 0;
    while (bytes >= 1024 && unit < 5) {
        bytes /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, kUnits[unit]);
    return text;
}

ProgressLine::ProgressLine(Messages& messages, bool enabled)
    : messages_(messages), err_(messages.stream()),
      active_(enabled && isTerminal(err_)), started_(Clock::now()),
      last_draw_(started_) {
    messages_.attach(this);
}

ProgressLine::~ProgressLine() {
    messages_.attach(nullptr);
    erase();
}

void ProgressLine::update(std::uint64_t run_bytes, std::uint64_t file_bytes, std::int64_t file_size,
                          const std::string& what) {
    if (!active_) return;
    const Clock::time_point now = Clock::now();
    if (now - last_draw_ < kRedrawInterval) return;
    last_draw_ = now;
    draw(run_bytes, file_bytes, file_size, what);
}

void ProgressLine::show(std::uint64_t run_bytes, const std::string& what) {
    if (!active_) return;
    last_draw_ = Clock::now();
    draw(run_bytes, 0, -1, what);
}

void ProgressLine::draw(std::uint64_t run_bytes, std::uint64_t file_bytes, std::int64_t file_size,
                        const std::string& what) {
    const double seconds = std::chrono::duration<double>(Clock::now() - started_).count();
    // "sha: 1.2 GiB read, 850.0 MiB/s, 30% of 4.0 GiB, path"
    std::string text = std::string(messages_.tool()) + ": " + humanBytes(static_cast<double>(run_bytes)) + " read";
    if (seconds > 0) text += ", " + humanBytes(static_cast<double>(run_bytes) / seconds) + "/s";
    if (file_size >= 0) {
        char share[32];
        std::snprintf(share, sizeof share, ", %.0f%% of ",
                      file_size > 0 ? 100.0 * static_cast<double>(file_bytes) / static_cast<double>(file_size)
                                    : 100.0);
        text += share + humanBytes(static_cast<double>(file_size));
    }
    if (!what.empty()) text += ", " + what;
    hideControlBytes(text);
    const std::size_t columns = terminalColumns(err_);
    if (text.size() >= columns) text.resize(columns - 1);
    std::fprintf(err_, "\r%s\033[K", text.c_str());
    std::fflush(err_);
    drawn_ = true;
}

void ProgressLine::erase() {
    if (!drawn_) return;
    std::fprintf(err_, "\r\033[K");
    std::fflush(err_);
    drawn_ = false;
}
