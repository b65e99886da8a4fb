// What a tool says on standard error: messages that begin with its name, and
// lines of its own (such as Tolvane's per-file lines). On a terminal their
// control bytes show as '?' (a path may hold any byte); a file or a pipe
// gets the exact bytes.
#ifndef DEDUP_COMMON_MESSAGES_H
#define DEDUP_COMMON_MESSAGES_H

#include <cstdio>
#include <string>

class ProgressLine;

class Messages {
public:
    Messages(const char* tool, std::FILE* err);

    Messages(const Messages&) = delete;
    Messages& operator=(const Messages&) = delete;

    // "<tool>: " and the text, then a line break.
    void error(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The text as it is (but for control bytes on a terminal, the line break
    // that ends it aside), flushed at once.
    void line(const char* format, ...) __attribute__((format(printf, 2, 3)));

    const char* tool() const { return tool_; }
    std::FILE* stream() const { return err_; }

    // A status line on the same stream, erased before every message.
    void attach(ProgressLine* progress) { progress_ = progress; }

private:
    void eraseProgress();
    // Writes text; on a terminal with its control bytes hidden, a last line
    // break kept.
    void write(std::string text);

    const char* tool_;
    std::FILE* err_;
    const bool terminal_;
    ProgressLine* progress_ = nullptr;
};

#endif
