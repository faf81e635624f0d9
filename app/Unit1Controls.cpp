// The output group (LED display, indicators, clock) and the LCD group:
// the handlers read their widgets and hand over to controls/.
#include "app/Unit1.h"

#include "controls/LcdPanel.h"
#include "controls/LcdScreen.h"
#include "controls/LedDisplay.h"
#include "desktop/Widgets.h"

namespace lumidra::app {

using desktop::Seams;

// LED display.

void TForm1::Edit1KeyPress(QChar& Typed) {
    // Qt hands over Tab, Delete and the editing shortcuts (Ctrl+C, Ctrl+V,
    // ...) as control characters too: keys of the edit, not typed characters.
    const char16_t code = Typed.unicode();
    const bool control = code < 0x20 || code == 0x7F;
    if (control && code != controls::KeyEnter && code != controls::KeyEscape && code != controls::KeyBackspace) {
        return;
    }
    const controls::TEdit1Key result =
        controls::Edit1Filter(code, static_cast<std::size_t>(Edit1->text().size()), Edit1->hasSelectedText());
    if (result.Action == controls::TEdit1Action::Send) Button1Click();
    if (result.Action == controls::TEdit1Action::Clear) Edit1->clear();
    if (result.Key == controls::KeyBell) Seams().Beep();
    Typed = QChar(result.Key);
}

void TForm1::Button1Click() {
    // A pasted value may hold any character: the board reads its codes in
    // its own code page.
    controls::Button1Click(controls::CodePageBytes(Edit1->text().toStdU16String()));
}

void TForm1::Button2Click() {
    controls::Button2Click(LabelTime->text().toLatin1().toStdString());
}

void TForm1::Button3Click() {
    controls::Button3Click(LabelDate->text().toLatin1().toStdString());
}

// LCD panel.

void TForm1::ContrastBarChange() {
    if (const auto label = controls::ContrastBarChange(ContrastBar->value(), ContrastBar->isEnabled())) {
        desktop::SetCaption(*ContrastLabel, *label);
    }
}

void TForm1::Button7Click() {
    controls::Button7Click(EditCmd->text());
}

void TForm1::Button8Click() {
    controls::SendTextClick(controls::TextModeNormal);
}

void TForm1::Button9Click() {
    controls::SendTextClick(controls::TextModeLarge);
}

void TForm1::EditTxtKeyPress(QChar& Typed) {
    if (Typed.unicode() != controls::KeyEscape) return;
    EditTxt->clear();
    Typed = QChar(controls::KeySwallowed);
}

}  // namespace lumidra::app
