#include "app/CommandLine.h"

#include "app/session/Language.h"

namespace lumidra::app {

std::string Usage() {
    return "Usage: lumidra [OPTION]...\n"
           "The desktop program of the USB demonstration board C04E:2014.\n"
           "\n"
           "  --all-panels  show every panel and menu of the window, laid out to fit\n"
           "  --chart       open the chart of the channels and inputs over time\n"
           "  --demo        run against a built-in model of the board, no board needed\n"
           "                (implies --all-panels and --chart)\n"
           "  --trace FILE  write every report to and from the board to FILE, one line\n"
           "                each: time in microseconds, direction, 64 bytes in hex; a FILE\n"
           "                ending in .pcapng gets a capture that Wireshark opens; may be repeated\n"
           "  --lang ru|en  show the window in Russian or English, not the system's language\n"
           "  --help        print this help and exit\n"
           "  --version     print the version and exit\n";
}

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    TCommandLine result;
    for (auto at = arguments.begin(); at != arguments.end(); ++at) {
        const std::string& argument = *at;
        if (argument == "--help") {
            // Help and version answer at once, whatever else is given.
            return {{}, true, 0, Usage(), {}};
        }
        if (argument == "--version") {
            return {{}, true, 0, "lumidra " LUMIDRA_VERSION "\n", {}};
        }
        if (argument == "--all-panels") {
            result.Options.AllPanels = true;
        } else if (argument == "--chart") {
            result.Options.Chart = true;
        } else if (argument == "--demo") {
            result.Options.Demo = true;
            result.Options.AllPanels = true;
            result.Options.Chart = true;
        } else if (argument == "--trace" && at + 1 != arguments.end()) {
            result.Options.Traces.push_back(*++at);
        } else if (argument == "--lang" && at + 1 != arguments.end()) {
            result.Options.Lang = *++at;
            if (!IsLanguageOption(result.Options.Lang)) {
                return {{},
                        true,
                        ExitUsage,
                        {},
                        "lumidra: --lang: ru or en, not '" + result.Options.Lang + "'\n" + Usage()};
            }
        } else {
            // Operands too: the program takes none.
            const std::string what = argument.starts_with('-') ? "unrecognised option '" : "unexpected argument '";
            std::string message = "lumidra: ";
            message.append(what).append(argument).append("'\n").append(Usage());
            return {{}, true, ExitUsage, {}, message};
        }
    }
    return result;
}

}  // namespace lumidra::app
