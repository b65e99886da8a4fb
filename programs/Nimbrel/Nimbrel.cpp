// The Nimbrel driver: lists every run of non-zero bytes of one file.
#include "Nimbrel.h"

#include <cstring>
#include <memory>

#include "CommandLine.h"
#include "ExitStatus.h"
#include "InputFile.h"
#include "NonZeroRunLister.h"
#include "ToolRun.h"

namespace {

void usage(OutputStream& out) { out.print("usage: Nimbrel <filename>\n"); }

const ToolSyntax kSyntax{
    "Nimbrel",
    usage,
    "usage: Nimbrel [options] <filename>\n"
    "  <filename>  the file whose runs of non-zero bytes are listed\n",
    {},
};

int listRuns(int argc, char* argv[], OutputStream& out, Messages& messages) {
    CommandLine command_line(argc, argv, kSyntax, out, messages);
    if (command_line.finished()) return command_line.exitStatus(nimbrel_status::kUsage);
    if (command_line.argc() != 2) {
        usage(out);
        return nimbrel_status::kUsage;
    }
    const char* path = command_line.argv()[1];
    InputFile file(path);
    if (!openToolInput(file, path, out.stream(), messages)) return nimbrel_status::kUnreadableInput;
    std::unique_ptr<unsigned char[]> block(new unsigned char[kReadBlockSize]);
    NonZeroRunLister lister(out);
    for (;;) {
        const std::size_t got = file.read(block.get(), kReadBlockSize);
        lister.feed(block.get(), got);
        if (out.failed()) return nimbrel_status::kOutputFailed;
        if (got == kReadBlockSize) continue;
        if (!file.failed()) return nimbrel_status::kSuccess;
        // The listing so far is written before the message.
        lister.flush();
        messages.error("error reading file %s: %s", path, std::strerror(file.readError()));
        return nimbrel_status::kUnreadableInput;
    }
}

}  // namespace

int runNimbrel(int argc, char* argv[], std::FILE* out, std::FILE* err) {
    const ToolFrame frame{"Nimbrel", nimbrel_status::kOutOfMemory, nimbrel_status::kOutputFailed};
    return runTool(frame, out, err, [&](OutputStream& output, Messages& messages) {
        return listRuns(argc, argv, output, messages);
    });
}
