#include "app/AppState.h"

namespace lumidra::app {

bool BoardAttached = false;

void ResetAppState() {
    BoardAttached = false;
}

}  // namespace lumidra::app
