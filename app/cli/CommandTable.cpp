#include "app/cli/CommandTable.h"

#include "app/cli/Commands.h"
#include "desktop/UserText.h"

namespace lumidra::cli {

namespace {

using TAlone = int (*)(const TCliOptions& options, TConsoleSeams& seams);

// The three table tools: one picture in, a table out, no board.
TCommandEntry ConvertEntry(const char* name, const char* summary, TAlone run, const char* details = nullptr,
                           std::string (*fault)(const TCliOptions&) = nullptr) {
    return {.Name = name,
            .Synopsis = "PICTURE [-o FILE] [--format db|c] [--threshold 0..255]",
            .Summary = summary,
            .Details = details,
            .MinOperands = 1,
            .MaxOperands = 1,
            .OperandKind = TKind::Picture,
            .Options = {{"-o", TKind::Product}, {"--format", TKind::Format}, {"--threshold", TKind::Threshold}},
            .Alone = run,
            .Fault = fault,
            .Board = false};
}

}  // namespace

const std::vector<TOptionEntry>& GlobalOptions() {
    static const std::vector<TOptionEntry> options = {
        {"--demo", TKind::Flag},  {"--device", TKind::Device}, {"--timeout", TKind::Timeout}, {"--trace", TKind::Trace},
        {"--quiet", TKind::Flag}, {"--stay", TKind::Flag},     {"--lang", TKind::Lang},
    };
    return options;
}

const std::vector<TOptionEntry>& StandingOptions() {
    static const std::vector<TOptionEntry> options = {
        {"--led", TKind::LedDigits}, {"--ind1", TKind::OnOff}, {"--ind2", TKind::OnOff}, {"--backlight", TKind::OnOff}};
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
         .Details = LUMIDRA_TEXT(
             "cli",
             "Без --watch, --count и --until печатается один отчёт; --watch печатает, пока запуск не прервут;\n"
             "--count N — N отчётов.\n"
             "COND для --until (запуск кончается с кодом 0 на первом отчёте, где оно выполнено):\n"
             "  key          ключ приложен\n"
             "  inN=on|off   вход N (1..4) включён или выключен\n"
             "  chN>P, chN<P канал N (1 или 2) больше или меньше P %\n"
             "Не выполнилось за --timeout секунд (или за N отчётов при --count N): код 1.\n"
             "--json: по объекту JSON на отчёт: ch1, ch2 (значения каналов), ch1_pct, ch2_pct (в %),\n"
             "in (четыре входа, 0 или 1), key_status, key (код ключа в шестнадцатеричном виде или null).\n"),
         .Options =
             {{"--watch", TKind::Flag}, {"--count", TKind::Count}, {"--until", TKind::Until}, {"--json", TKind::Flag}},
         .Make = &MakeStatus,
         .Fault = &StatusFault},
        {.Name = "keys",
         .Synopsis = "[--count N] [--base FILE]",
         .Summary = LUMIDRA_TEXT("cli", "по строке на каждый приложенный ключ; --base добавляет новые ключи в FILE"),
         .Options = {{"--count", TKind::Count}, {"--base", TKind::KeyBase}},
         .Make = &MakeKeys},
        {.Name = "led",
         .Synopsis = "HEX | --time | --date",
         .Summary = LUMIDRA_TEXT("cli", "светодиодный индикатор: до 4 шестнадцатеричных цифр, время или дата"),
         .MaxOperands = 1,
         .OperandKind = TKind::LedDigits,
         .Options = {{"--time", TKind::Flag}, {"--date", TKind::Flag}},
         .Make = &MakeLed,
         .Fault = &LedFault,
         .Sets = "--led"},
        {.Name = "lcd text",
         .Synopsis = "TEXT [--size 1x|1.5x] [--no-wrap]",
         .Summary = LUMIDRA_TEXT("cli", "текст на ЖКИ"),
         .MinOperands = 1,
         .MaxOperands = 1,
         .OperandKind = TKind::LcdText,
         .Options = {{"--size", TKind::Size}, {"--no-wrap", TKind::Flag}},
         .Make = &MakeLcdText},
        {.Name = "lcd command",
         .Synopsis = "\"AE 2F\"",
         .Summary = LUMIDRA_TEXT("cli", "байты команд ЖКИ в шестнадцатеричном виде"),
         .MinOperands = 1,
         .MaxOperands = 1,
         .OperandKind = TKind::LcdBytes,
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
         .Make = &MakeLcdBacklight,
         .Sets = "--backlight"},
        {.Name = "image",
         .Synopsis = "PICTURE [--threshold 0..255]",
         .Summary = LUMIDRA_TEXT("cli", "вывод рисунка"),
         .MinOperands = 1,
         .MaxOperands = 1,
         .OperandKind = TKind::Picture,
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
         .OperandKind = TKind::Product,
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
         .OperandKind = TKind::InputFile,
         .Options = {{"--verify", TKind::Flag}},
         .Make = &MakeFlashWrite},
        {.Name = "dump",
         .Synopsis = "FILE [--expect FILE]",
         .Summary = LUMIDRA_TEXT("cli", "дамп памяти, 4096 байт; --expect: код 1, если он отличается"),
         .MinOperands = 1,
         .MaxOperands = 1,
         .OperandKind = TKind::Product,
         .Options = {{"--expect", TKind::Expect}},
         .Make = &MakeDump},
        {.Name = "plot",
         .Synopsis = "--out FILE [--reports N | --seconds S] [--csv]",
         .Summary = LUMIDRA_TEXT("cli", "точки графика в FILE (запись или CSV: point, x, y)"),
         .Options = {{"--out", TKind::Stream},
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
        ConvertEntry(
            "convert splash", LUMIDRA_TEXT("cli", "таблица заставки из рисунка и её файл данных; плата не нужна"),
            [](const TCliOptions& options, TConsoleSeams& seams) {
                return RunConvert(options, seams, graphics::SplashTool);
            },
            LUMIDRA_TEXT("cli",
                         "Файл данных заставки (384 байта) получает имя FILE, у которого последние три знака\n"
                         "заменены на «bin»: screen.txt даёт screen.bin, screen — scrbin. FILE, который уже\n"
                         "оканчивается на «bin», отвергается (данные заменили бы таблицу). С -o - или без -o\n"
                         "таблица идёт в стандартный вывод, а файл данных не пишется.\n"),
            &SplashFault),
    };
    return commands;
}

const TCommandEntry* FindCommand(const std::string& name) {
    for (const TCommandEntry& entry : Commands()) {
        if (name == entry.Name) return &entry;
    }
    return nullptr;
}

std::vector<TOptionEntry> OperandKinds(const TCommandEntry& entry) {
    std::vector<TOptionEntry> kinds(std::size_t(entry.MaxOperands), TOptionEntry{"", entry.OperandKind});
    kinds.insert(kinds.end(), entry.Options.begin(), entry.Options.end());
    if (entry.Board) kinds.insert(kinds.end(), StandingOptions().begin(), StandingOptions().end());
    return kinds;
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
