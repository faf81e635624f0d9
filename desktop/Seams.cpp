#include "desktop/Seams.h"

#include "desktop/QtSeams.h"

namespace lumidra::desktop {

namespace {
TUiSeams* installed = nullptr;
}

TUiSeams& Seams() {
    if (installed != nullptr) return *installed;
    static QtSeams toolkit;
    return toolkit;
}

void InstallSeams(TUiSeams* seams) {
    installed = seams;
}

bool TFileDialog::Execute() {
    return Seams().ExecuteFileDialog(*this);
}

}  // namespace lumidra::desktop
