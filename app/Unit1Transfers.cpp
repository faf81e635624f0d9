// The Flash-ROM block transfers and the memory dump: the window's starters
// hand their dialog to transfers/, where the commands and their steps live.
#include "app/Unit1.h"

#include "transfers/Transfers.h"

namespace lumidra::app {

void TForm1::Read_FlashClick() {
    transfers::Read_FlashClick(SaveDialog1);
}

void TForm1::Erase_FlashClick() {
    transfers::Erase_FlashClick();
}

void TForm1::Write_FlashClick() {
    transfers::Write_FlashClick(OpenDialog1);
}

// The menu item ReadDUMP1 and the button Button5.
void TForm1::ReadDUMP1Click() {
    transfers::ReadDUMP1Click(SaveDialog1);
}

}  // namespace lumidra::app
