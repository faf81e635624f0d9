// The LCD picture: the preview and its image job, the splash screen, and the
// conversion tables made from the preview.
#include "app/Unit1.h"

#include "graphics/ConversionTools.h"
#include "graphics/ImageTransfer.h"
#include "graphics/Preview.h"

namespace lumidra::app {

void TForm1::SendImage1Click() {
    graphics::SendImage1Click(*Image1, OpenPictureDialog1);
}

void TForm1::Zast_OutClick() {
    graphics::Zast_OutClick();
}

void TForm1::Trans_PictClick() {
    graphics::Trans_PictClick(*Image1, *Memo1, SaveDialog1);
}

void TForm1::Trans_TypeClick() {
    graphics::Trans_TypeClick(*Image1, *Memo1, SaveDialog1);
}

void TForm1::ZastClick() {
    graphics::ZastClick(*Image1, *Memo1, SaveDialog1);
}

}  // namespace lumidra::app
