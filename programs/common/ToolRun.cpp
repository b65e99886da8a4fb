#include "ToolRun.h"

#include <cstring>

int finishOutput(const ToolFrame& frame, OutputStream& out, Messages& messages, int status) {
    if (out.flush()) return status;
    messages.error("error writing standard output: %s", std::strerror(out.error()));
    return status == 0 ? frame.output_failed_status : status;
}
