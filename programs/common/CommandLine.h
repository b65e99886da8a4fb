// The options of the three tools and the operands after them.
//
// Options come first and begin with "--". The first argument that does not
// (or every argument after a lone "--") starts the operands, which keep the
// meaning they have without options. An option's value follows it as the
// next argument or after "=" (--trace FILE, --trace=FILE). Every tool
// knows --help and --version.
#ifndef DEDUP_COMMON_COMMANDLINE_H
#define DEDUP_COMMON_COMMANDLINE_H

#include <cstddef>
#include <string>
#include <vector>

#include "Messages.h"
#include "OutputStream.h"

struct OptionSpec {
    const char* name;        // without the leading "--"
    const char* value_name;  // as --help shows it; null when the option takes no value
    const char* help;        // one line
};

struct ToolSyntax {
    const char* tool;
    // The tool's usage text, exactly as it prints it for a wrong argument count.
    void (*usage)(OutputStream& out);
    // "usage: ..." and one line per operand, as --help shows them.
    const char* help_synopsis;
    std::vector<OptionSpec> options;  // --help and --version are added
};

class CommandLine {
public:
    enum class Outcome {
        run,      // go on with the operands
        help,     // --help was printed: exit 0
        version,  // --version was printed: exit 0
        refused,  // an unknown option or a missing value was reported: the usage status
    };

    // Reads the options. Prints --help and --version on out; reports a refused
    // option in one line, then the usage, on the messages' stream.
    CommandLine(int argc, char* argv[], const ToolSyntax& syntax, OutputStream& out, Messages& messages);

    Outcome outcome() const { return outcome_; }
    // True when the options ended the run (help, version or a refusal).
    bool finished() const { return outcome_ != Outcome::run; }
    // The status to exit with then: 0, or usage_status after a refusal.
    int exitStatus(int usage_status) const { return outcome_ == Outcome::refused ? usage_status : 0; }

    bool has(const char* option) const;
    // The value given to the option, or fallback when it was not given.
    std::string value(const char* option, const std::string& fallback = std::string()) const;

    // The program name and the operands, as main would see them without the
    // options.
    int argc() const { return static_cast<int>(operands_.size()) - 1; }
    char** argv() { return operands_.data(); }

private:
    const OptionSpec* find(const ToolSyntax& syntax, const std::string& name) const;

    Outcome outcome_ = Outcome::run;
    std::vector<std::pair<std::string, std::string>> given_;  // option name, value
    std::vector<char*> operands_;                             // program name, operands, null
};

#endif
