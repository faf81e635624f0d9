#include "app/cli/CommandTable.h"

#include "app/cli/Commands.h"
#include "desktop/UserText.h"

namespace lumidra::cli {

namespace {

using TAlone = int (*)(const TCliOptions& options, TConsoleSeams& seams);

// The three table tools: one picture in, a table out, no board.
TCommandEntry ConvertEntry(const char* name, const char* summary, TAlone run) {
    return {.Name = name,
            .Synopsis = "PICTURE [-o FILE] [--format db|c] [--threshold 0..255]",
            .Summary = summary,
            .MinOperands = 1,
            .MaxOperands = 1,
            .Options = {{"-o", TKind::Text}, {"--format", TKind::Format}, {"--threshold", TKind::Threshold}},
            .Alone = run,
            .Board = false};
}

}  // namespace

const std::vector<TOptionEntry>& StandingOptions() {
    static const std::vector<TOptionEntry> options = {
        {"--led", TKind::Hex}, {"--ind1", TKind::OnOff}, {"--ind2", TKind::OnOff}, {"--backlight", TKind::OnOff}};
    return options;
}

const std::vector<TCommandEntry>& Commands() {
    static const std::vector<TCommandEntry> commands = {
        {.Name = "list",
         .Synopsis = "[--json]",
         .Summary = LUMIDRA_TEXT("cli", "платы с этим опознанием и видимые, но недоступные платы, с причиной"),
         .Options = {{"--json", TKind::Flag}},
         .Make = &MakeList,
         .Board = false},
        {.Name = "status",
         .Synopsis = "[--watch] [--count N] [--until COND] [--json]",
         .Summary = LUMIDRA_TEXT("cli", "состояние платы: каналы в %, входы, состояние ключа, код ключа"),
         .Options =
             {{"--watch", TKind::Flag}, {"--count", TKind::Count}, {"--until", TKind::Until}, {"--json", TKind::Flag}},
         .Make = &MakeStatus},
        {.Name = "keys",
         .Synopsis = "[--count N] [--base FILE]",
         .Summary = LUMIDRA_TEXT("cli", "по строке на каждый приложенный ключ; --base добавляет новые ключи в FILE"),
         .Options = {{"--count", TKind::Count}, {"--base", TKind::Text}},
         .Make = &MakeKeys},
        {.Name = "led",
         .Synopsis = "HEX | --time | --date",
         .Summary = LUMIDRA_TEXT("cli", "светодиодный индикатор: до 4 шестнадцатеричных цифр, время или дата"),
         .MaxOperands = 1,
         .OperandKind = TKind::Hex,
         .Options = {{"--time", TKind::Flag}, {"--date", TKind::Flag}},
         .Make = &MakeLed,
         .Fault = &LedFault},
        {.Name = "lcd text",
         .Synopsis = "TEXT [--size 1x|1.5x] [--no-wrap]",
         .Summary = LUMIDRA_TEXT("cli", "текст на ЖКИ"),
         .MinOperands = 1,
         .MaxOperands = 1,
         .Options = {{"--size", TKind::Size}, {"--no-wrap", TKind::Flag}},
         .Make = &MakeLcdText},
        {.Name = "lcd command",
         .Synopsis = "\"AE 2F\"",
         .Summary = LUMIDRA_TEXT("cli", "байты команд ЖКИ в шестнадцатеричном виде"),
         .MinOperands = 1,
         .MaxOperands = 1,
         .Make = &MakeLcdCommand},
        {.Name = "lcd contrast",
         .Synopsis = "0..31",
         .Summary = LUMIDRA_TEXT("cli", "контрастность ЖКИ"),
         .MinOperands = 1,
         .MaxOperands = 1,
         .OperandKind = TKind::Contrast,
         .Make = &MakeLcdContrast},
        {.Name = "lcd backlight",
         .Synopsis = "on|off",
         .Summary = LUMIDRA_TEXT("cli", "подсветка ЖКИ"),
         .MinOperands = 1,
         .MaxOperands = 1,
         .OperandKind = TKind::OnOff,
         .Make = &MakeLcdBacklight},
        {.Name = "image",
         .Synopsis = "PICTURE [--threshold 0..255]",
         .Summary = LUMIDRA_TEXT("cli", "вывод рисунка"),
         .MinOperands = 1,
         .MaxOperands = 1,
         .Options = {{"--threshold", TKind::Threshold}},
         .Make = &MakeImage},
        {.Name = "splash",
         .Synopsis = "[--seconds N]",
         .Summary = LUMIDRA_TEXT("cli", "вывод заставки; кончается по Enter или концу ввода, или через N с"),
         .Options = {{"--seconds", TKind::Seconds}},
         .Make = &MakeSplash},
        {.Name = "flash read",
         .Synopsis = "FILE",
         .Summary = LUMIDRA_TEXT("cli", "блок FLASH в FILE"),
         .MinOperands = 1,
         .MaxOperands = 1,
         .Make = &MakeFlashRead},
        {.Name = "flash erase",
         .Synopsis = "",
         .Summary = LUMIDRA_TEXT("cli", "стирает FLASH"),
         .Make = &MakeFlashErase},
        {.Name = "flash write",
         .Synopsis = "FILE [--verify]",
         .Summary = LUMIDRA_TEXT("cli", "первый блок FILE во FLASH; --verify читает его обратно"),
         .MinOperands = 1,
         .MaxOperands = 1,
         .Options = {{"--verify", TKind::Flag}},
         .Make = &MakeFlashWrite},
        {.Name = "dump",
         .Synopsis = "FILE [--expect FILE]",
         .Summary = LUMIDRA_TEXT("cli", "дамп памяти, 4096 байт; --expect: код 1, если он отличается"),
         .MinOperands = 1,
         .MaxOperands = 1,
         .Options = {{"--expect", TKind::Text}},
         .Make = &MakeDump},
        {.Name = "plot",
         .Synopsis = "--out FILE [--reports N | --seconds S] [--csv]",
         .Summary = LUMIDRA_TEXT("cli", "точки графика в FILE (запись или CSV: point, x, y)"),
         .Options = {{"--out", TKind::Text},
                     {"--reports", TKind::Count},
                     {"--seconds", TKind::Seconds},
                     {"--csv", TKind::Flag}},
         .Make = &MakePlot,
         .Fault = &PlotFault},
        ConvertEntry("convert strip", LUMIDRA_TEXT("cli", "таблица полосы в 12 строк из рисунка; плата не нужна"),
                     [](const TCliOptions& options, TConsoleSeams& seams) {
                         return RunConvert(options, seams, graphics::StripTool);
                     }),
        ConvertEntry("convert font", LUMIDRA_TEXT("cli", "таблица шрифта 5x7 из рисунка; плата не нужна"),
                     [](const TCliOptions& options, TConsoleSeams& seams) {
                         return RunConvert(options, seams, graphics::FontTool);
                     }),
        ConvertEntry("convert splash",
                     LUMIDRA_TEXT("cli", "таблица заставки из рисунка (и её .bin рядом с -o FILE); плата не нужна"),
                     [](const TCliOptions& options, TConsoleSeams& seams) {
                         return RunConvert(options, seams, graphics::SplashTool);
                     }),
    };
    return commands;
}

const TCommandEntry* FindCommand(const std::string& name) {
    for (const TCommandEntry& entry : Commands()) {
        if (name == entry.Name) return &entry;
    }
    return nullptr;
}

std::unique_ptr<TCliCommand> MakeCommand(const TCliOptions& options, TCommandHost& host) {
    const TCommandEntry* entry = FindCommand(options.Command);
    return entry != nullptr && entry->Make != nullptr ? entry->Make(host) : nullptr;
}

std::optional<int> RunAlone(const TCliOptions& options, TConsoleSeams& seams) {
    const TCommandEntry* entry = FindCommand(options.Command);
    if (entry == nullptr || entry->Alone == nullptr) return std::nullopt;
    return entry->Alone(options, seams);
}

}  // namespace lumidra::cli
