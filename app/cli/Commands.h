// Each command's unit, as the command table makes it (one file each).
#pragma once

#include "app/cli/CliCommand.h"
#include "app/cli/CliOptions.h"
#include "app/cli/ConsoleSeams.h"
#include "graphics/TableFiles.h"

#include <memory>
#include <string>
#include <string_view>

namespace lumidra::cli {

std::unique_ptr<TCliCommand> MakeList(TCommandHost& host);
std::unique_ptr<TCliCommand> MakeStatus(TCommandHost& host);
std::unique_ptr<TCliCommand> MakeKeys(TCommandHost& host);
std::unique_ptr<TCliCommand> MakeLed(TCommandHost& host);
std::unique_ptr<TCliCommand> MakeLcdText(TCommandHost& host);
std::unique_ptr<TCliCommand> MakeLcdCommand(TCommandHost& host);
std::unique_ptr<TCliCommand> MakeLcdContrast(TCommandHost& host);
std::unique_ptr<TCliCommand> MakeLcdBacklight(TCommandHost& host);
std::unique_ptr<TCliCommand> MakeImage(TCommandHost& host);
std::unique_ptr<TCliCommand> MakeSplash(TCommandHost& host);
std::unique_ptr<TCliCommand> MakeFlashRead(TCommandHost& host);
std::unique_ptr<TCliCommand> MakeFlashErase(TCommandHost& host);
std::unique_ptr<TCliCommand> MakeFlashWrite(TCommandHost& host);
std::unique_ptr<TCliCommand> MakeDump(TCommandHost& host);
std::unique_ptr<TCliCommand> MakePlot(TCommandHost& host);

// What only the whole command line shows: empty, or the fault.
std::string StatusFault(const TCliOptions& options);
std::string LedFault(const TCliOptions& options);
std::string PlotFault(const TCliOptions& options);
std::string SplashFault(const TCliOptions& options);

// One of the table tools run on the picture the command line names: its
// table to -o FILE (told), or to standard output. The exit code.
int RunConvert(const TCliOptions& options, TConsoleSeams& seams, const graphics::TTableTool& tool);

// What the LCD's text step makes of `text` other than `text` itself: the
// characters code page 1251 has no byte for (each once, in order; they go
// out as "?"), and what lies past the screen's 128 characters once the lines
// are laid out (not sent; blanks at its ends trimmed). Both empty when the
// screen shows the text as given.
struct TLcdTextLoss {
    std::u16string Replaced;
    std::u16string Cut;
};
TLcdTextLoss LcdTextLoss(std::u16string_view text, bool wrap);

// `text` as a JSON string: quotes, backslashes and control characters
// escaped, a byte that is not part of UTF-8 as U+FFFD.
std::string JsonString(const std::string& text);

// One line of `list`: for people, or a JSON object (never translated).
std::string ListLine(const TListedBoard& board, bool json);

}  // namespace lumidra::cli
