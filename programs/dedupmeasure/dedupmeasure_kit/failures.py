"""The one way a run of dedupmeasure stops early: a Failure carries the
message (without the "dedupmeasure: " prefix) and the exit status. SIGINT,
SIGTERM and SIGHUP end it by the signal instead (see leftovers)."""

# Exit statuses, one for each kind of trouble, so scripts can tell them apart.
SUCCESS = 0
USAGE = 2           # a bad argument
TOOL_MISSING = 3    # Tolvane or sha not found or not executable, or Dask not installed
RUN_FAILED = 4      # a tool run ended badly, or the Dask cluster failed
BAD_INPUT = 5       # an input unreadable, a trace malformed, or two sizes for one chunk
OUTPUT_FAILED = 6   # an output file or folder could not be written, or is also an input
NOTHING_READ = 7    # a sweep none of whose runs read a file


class Failure(Exception):
    def __init__(self, message, status):
        super().__init__(message)
        self.status = status
