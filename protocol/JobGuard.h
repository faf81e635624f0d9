// One job at a time: a job starter refuses while the board has another job in
// hand, because a second job would overwrite the DataReport the first one is
// about to send (a Flash-ROM write would then write an LCD command into the
// flash) or take the reports of a transfer under way.
#pragma once

#include "desktop/UserText.h"
#include "protocol/JobFlags.h"

namespace lumidra::protocol {

// The operator's message when a starter refuses.
inline constexpr const char* BoardBusyText =
    LUMIDRA_TEXT("protocol", "Плата занята: дождитесь окончания предыдущей операции.");

// Whether `job` must not start now: any job flag is set, a dump or a plot is
// under way, or a dump is requested. The one exception is `job` itself waiting
// for its acknowledgement: starting it again only rewrites what it will send.
bool BoardBusy(TJob job);

// When BoardBusy(job), tells the operator in one warning box and returns true;
// the starter then changes nothing and sends nothing.
bool RefuseWhenBusy(TJob job);

}  // namespace lumidra::protocol
