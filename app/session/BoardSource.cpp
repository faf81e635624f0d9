#include "app/session/BoardSource.h"

#if defined(_WIN32)
#include "hid/windows/WindowsHidPlatform.h"
#else
#include "hid/linux/LinuxHidPlatform.h"
#endif

namespace lumidra::app {

TBoardSource::TBoardSource(bool demo) {
    if (demo) {
        demo_ = std::make_unique<TDemoBoard>();
        return;
    }
#if defined(_WIN32)
    system_ = std::make_unique<hid::WindowsHidPlatform>();
#else
    system_ = std::make_unique<hid::LinuxHidPlatform>();
#endif
}

TBoardSource::~TBoardSource() = default;

hid::THidPlatform& TBoardSource::Platform() {
    return demo_ ? demo_->Platform() : *system_;
}

}  // namespace lumidra::app
