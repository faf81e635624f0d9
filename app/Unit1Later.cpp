// Entry points of the window's handlers whose features are not built yet.
// Each is wired to its control, menu item, timer or device event already, so
// a feature lands by filling its body (or calling into its folder) here; until
// then the handler does nothing.
#include "app/Unit1.h"

namespace lumidra::app {

// LED display.
void TForm1::Edit1KeyPress(QChar&) {}
void TForm1::Button1Click() {}
void TForm1::Button2Click() {}
void TForm1::Button3Click() {}

// LCD panel.
void TForm1::ContrastBarChange() {}
void TForm1::Button7Click() {}
void TForm1::Button8Click() {}
void TForm1::Button9Click() {}
void TForm1::EditTxtKeyPress(QChar&) {}

// LCD image, splash screen, conversion tables, plot window.
void TForm1::SendImage1Click() {}
void TForm1::Zast_OutClick() {}
void TForm1::Trans_TypeClick() {}
void TForm1::Trans_PictClick() {}
void TForm1::ZastClick() {}
void TForm1::RandClick() {}

}  // namespace lumidra::app
