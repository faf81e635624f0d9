// The plot window's menu item.
#include "app/Unit1.h"

#include "graphics/Unit2.h"

namespace lumidra::app {

void TForm1::RandClick() {
    graphics::ShowPlotWindow();
}

}  // namespace lumidra::app
