// What a tool says on standard error: messages that begin with its name, and
// lines of its own (such as Tolvane's per-file lines).
#ifndef DEDUP_COMMON_MESSAGES_H
#define DEDUP_COMMON_MESSAGES_H

#include <cstdio>

class ProgressLine;

class Messages {
public:
    Messages(const char* tool, std::FILE* err) : tool_(tool), err_(err) {}

    Messages(const Messages&) = delete;
    Messages& operator=(const Messages&) = delete;

    // "<tool>: " and the text, then a line break.
    void error(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The text as it is, flushed at once.
    void line(const char* format, ...) __attribute__((format(printf, 2, 3)));

    const char* tool() const { return tool_; }
    std::FILE* stream() const { return err_; }

    // A status line on the same stream, erased before every message.
    void attach(ProgressLine* progress) { progress_ = progress; }

private:
    void eraseProgress();

    const char* tool_;
    std::FILE* err_;
    ProgressLine* progress_ = nullptr;
};

#endif
