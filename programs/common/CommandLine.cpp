#include "CommandLine.h"

#include <algorithm>
#include <cstring>

#include "Version.h"

namespace {

const OptionSpec kHelp{"help", nullptr, "print this help and exit"};
const OptionSpec kVersion{"version", nullptr, "print the version and exit"};

std::vector<OptionSpec> allOptions(const ToolSyntax& syntax) {
    std::vector<OptionSpec> options = syntax.options;
    options.push_back(kHelp);
    options.push_back(kVersion);
    return options;
}

std::string optionColumn(const OptionSpec& option) {
    std::string text = std::string("--") + option.name;
    if (option.value_name != nullptr) text += std::string(" ") + option.value_name;
    return text;
}

void printHelp(const ToolSyntax& syntax, OutputStream& out) {
    out.print("%s", syntax.help_synopsis);
    const std::vector<OptionSpec> options = allOptions(syntax);
    std::size_t width = 0;
    for (const OptionSpec& option : options) width = std::max(width, optionColumn(option).size());
    out.print("options (before the operands):\n");
    for (const OptionSpec& option : options)
        out.print("  %-*s  %s\n", static_cast<int>(width), optionColumn(option).c_str(), option.help);
}

}  // namespace

const OptionSpec* CommandLine::find(const ToolSyntax& syntax, const std::string& name) const {
    for (const OptionSpec& option : syntax.options)
        if (name == option.name) return &option;
    if (name == kHelp.name) return &kHelp;
    if (name == kVersion.name) return &kVersion;
    return nullptr;
}

CommandLine::CommandLine(int argc, char* argv[], const ToolSyntax& syntax, OutputStream& out, Messages& messages) {
    operands_.push_back(argv[0]);
    int next = 1;
    for (; next < argc && std::strncmp(argv[next], "--", 2) == 0; ++next) {
        const std::string argument = argv[next];
        if (argument == "--") {
            ++next;
            break;
        }
        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        const OptionSpec* option = find(syntax, name);
        if (option == nullptr || (option->value_name == nullptr && equals != std::string::npos)) {
            messages.error("unknown option %s", argument.c_str());
            outcome_ = Outcome::refused;
        } else if (option->value_name == nullptr) {
            given_.emplace_back(name, std::string());
        } else if (equals != std::string::npos) {
            given_.emplace_back(name, argument.substr(equals + 1));
        } else if (next + 1 < argc) {
            given_.emplace_back(name, argv[++next]);
        } else {
            messages.error("option --%s needs a value", name.c_str());
            outcome_ = Outcome::refused;
        }
        if (outcome_ == Outcome::refused) {
            OutputStream err(messages.stream());
            syntax.usage(err);
            return;
        }
    }
    if (has(kHelp.name)) {
        printHelp(syntax, out);
        outcome_ = Outcome::help;
        return;
    }
    if (has(kVersion.name)) {
        out.print("%s (dedupmeasure) %s\n", syntax.tool, DEDUP_VERSION);
        outcome_ = Outcome::version;
        return;
    }
    for (; next < argc; ++next) operands_.push_back(argv[next]);
    operands_.push_back(nullptr);
}

bool CommandLine::has(const char* option) const {
    return std::any_of(given_.begin(), given_.end(), [&](const auto& given) { return given.first == option; });
}

std::string CommandLine::value(const char* option, const std::string& fallback) const {
    // The last one given counts, as with most tools.
    for (auto given = given_.rbegin(); given != given_.rend(); ++given)
        if (given->first == option) return given->second;
    return fallback;
}
