#include "app/cli/CliCommand.h"

#include "protocol/InputDecode.h"

namespace lumidra::cli {

TProgress OneRequestProgress(std::int64_t total) {
    return {protocol::CurrentJobFlags().Raised() != 0 ? 0 : total, total};
}

void TCliCommand::Waiting(const protocol::TJobOutcome& outcome) {
    if (!host_.Seams().Quiet) TConsoleSeams::Tell(outcome.Text);
    host_.WaitForOperator(std::nullopt);
}

}  // namespace lumidra::cli
