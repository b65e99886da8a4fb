// A FILE* whose text is kept in memory, standing in for a program's
// standard output or standard error.
#ifndef DEDUP_FUZZ_CAPTUREDOUTPUT_H
#define DEDUP_FUZZ_CAPTUREDOUTPUT_H

#include <cstddef>
#include <cstdio>
#include <string>

class CapturedOutput {
public:
    CapturedOutput();
    ~CapturedOutput();
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;

    std::FILE* stream() const { return stream_; }
    std::string text();

private:
    std::FILE* stream_;
    char* buffer_ = nullptr;
    std::size_t size_ = 0;
};

#endif
