// Entry points of the window's handlers whose features are not built yet.
// Each is wired to its control, menu item, timer or device event already, so
// a feature lands by filling its body (or calling into its folder) here; until
// then the handler does nothing.
#include "app/Unit1.h"

namespace lumidra::app {

// LCD image, splash screen, conversion tables.
void TForm1::SendImage1Click() {}
void TForm1::Zast_OutClick() {}
void TForm1::Trans_TypeClick() {}
void TForm1::Trans_PictClick() {}
void TForm1::ZastClick() {}

}  // namespace lumidra::app
