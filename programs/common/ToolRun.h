// The frame every driver runs in: its streams, running out of memory, and
// output that could not be written.
#ifndef DEDUP_COMMON_TOOLRUN_H
#define DEDUP_COMMON_TOOLRUN_H

#include <cstdio>
#include <new>

#include "Messages.h"
#include "OutputStream.h"

struct ToolFrame {
    const char* name;
    int out_of_memory_status;
    int output_failed_status;
};

// After the run: writes out what standard output still buffers; when any
// write to it failed, says "error writing standard output: <reason>" and
// turns a successful status into frame.output_failed_status.
int finishOutput(const ToolFrame& frame, OutputStream& out, Messages& messages, int status);

// Runs body(out, messages) and returns its exit status. An allocation failure
// anywhere in it ends the run with "<tool>: out of memory".
template <typename Body>
int runTool(const ToolFrame& frame, std::FILE* out_stream, std::FILE* err_stream, Body body) {
    OutputStream out(out_stream);
    Messages messages(frame.name, err_stream);
    int status;
    try {
        status = body(out, messages);
    } catch (const std::bad_alloc&) {
        out.flush();  // what was printed so far comes before the message
        messages.error("out of memory");
        status = frame.out_of_memory_status;
    }
    return finishOutput(frame, out, messages, status);
}

#endif
