// `lumidra-cli convert`: the window's conversion tables from a picture file,
// no board needed.
#pragma once

#include "app/cli/CliOptions.h"
#include "app/cli/ConsoleSeams.h"

namespace lumidra::cli {

// The exit code.
int RunConvert(const TCliOptions& options, TConsoleSeams& seams);

}  // namespace lumidra::cli
