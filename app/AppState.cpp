#include "app/AppState.h"

namespace lumidra::app {

bool BoardAttached = false;
std::optional<TCutJob> CutJob;

void ResetAppState() {
    BoardAttached = false;
    CutJob.reset();
}

}  // namespace lumidra::app
