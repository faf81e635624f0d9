// `lumidra-cli lcd text`: a text on the LCD, wrapped or not, in either size.
#include "app/cli/Commands.h"

#include "controls/LcdPanel.h"
#include "controls/LcdScreen.h"
#include "keybase/Cp1251.h"

#include <QCoreApplication>

#include <algorithm>

namespace lumidra::cli {

namespace {

bool IsBlank(char c) {
    return c == ' ';
}

class TLcdText final : public TCliCommand {
public:
    using TCliCommand::TCliCommand;

    int Prepare() override {
        host_.Inputs().LcdText = [text = OperandText()] { return text; };
        host_.Inputs().Wrap = [this] { return !Options().Has("--no-wrap"); };
        // Sent as the window sends it; what the screen will not show as given is said.
        const TLcdTextLoss loss = LcdTextLoss(OperandText().toStdU16String(), !Options().Has("--no-wrap"));
        if (!loss.Replaced.empty()) {
            TConsoleSeams::Tell(QCoreApplication::translate("cli",
                                                            "lcd text: нет в кодовой странице 1251, "
                                                            "отправлено как «?»: %1")
                                    .arg(QString::fromStdU16String(loss.Replaced)));
        }
        if (!loss.Cut.empty()) {
            TConsoleSeams::Tell(QCoreApplication::translate("cli",
                                                            "lcd text: не поместилось на экран (8 строк по 16 знаков), "
                                                            "не отправлено: «%1»")
                                    .arg(QString::fromStdU16String(loss.Cut)));
        }
        return ExitDone;
    }

    void Start() override {
        controls::SendTextClick(Options().Value("--size") == "1.5x" ? controls::TextModeLarge
                                                                    : controls::TextModeNormal);
        host_.StartJob();
    }
};

}  // namespace

TLcdTextLoss LcdTextLoss(std::u16string_view text, bool wrap) {
    TLcdTextLoss loss;
    for (std::size_t at = 0; at < text.size();) {
        const bool pair = text[at] >= 0xD800 && text[at] <= 0xDBFF && at + 1 < text.size() && text[at + 1] >= 0xDC00 &&
                          text[at + 1] <= 0xDFFF;
        const std::u16string_view character = text.substr(at, pair ? 2 : 1);
        at += character.size();
        if (character != u"?" && controls::CodePageBytes(character) == "?" &&
            loss.Replaced.find(character) == std::u16string::npos) {
            loss.Replaced += character;
        }
    }
    const std::string screen = controls::LcdLinePass(controls::CodePageBytes(text), wrap);
    if (screen.size() <= controls::LcdScreenSize) return loss;
    std::string cut = screen.substr(controls::LcdScreenSize);
    while (!cut.empty() && IsBlank(cut.back())) cut.pop_back();
    const auto first = std::find_if_not(cut.begin(), cut.end(), IsBlank);
    keybase::TCp1251Codec codec;
    for (auto c = first; c != cut.end(); ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        loss.Cut += byte < 0x80 ? char16_t(byte) : codec.Decode(byte).value_or(u'?');
    }
    return loss;
}

std::unique_ptr<TCliCommand> MakeLcdText(TCommandHost& host) {
    return std::make_unique<TLcdText>(host);
}

}  // namespace lumidra::cli
