#include "CapturedOutput.h"

#include <cstdlib>

#include "FuzzCheck.h"

CapturedOutput::CapturedOutput() : stream_(open_memstream(&buffer_, &size_)) { FUZZ_CHECK(stream_ != nullptr); }

CapturedOutput::~CapturedOutput() {
    std::fclose(stream_);
    std::free(buffer_);
}

std::string CapturedOutput::text() {
    std::fflush(stream_);
    return std::string(buffer_, size_);
}
