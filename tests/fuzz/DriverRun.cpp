#include "DriverRun.h"

#include <cstdlib>

#include "FuzzCheck.h"

namespace {

// A stream whose text is kept in memory.
struct MemoryStream {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* stream = open_memstream(&buffer, &size);

    std::string close() {
        FUZZ_CHECK(stream != nullptr && std::fclose(stream) == 0);
        std::string text(buffer, size);
        std::free(buffer);
        return text;
    }
};

}  // namespace

DriverRun runDriver(Driver driver, std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    MemoryStream out, err;
    const int status = driver(static_cast<int>(arguments.size()), argv.data(), out.stream, err.stream);
    return {status, out.close(), err.close()};
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool startsWith(const std::string& text, const std::string& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }
