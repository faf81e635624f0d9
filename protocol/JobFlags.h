// The job flags, listed once. Each is a run-wide bool of the protocol state
// (ProtocolState.h); the declarations, their reset, the busy test, the input
// handler's snapshot, the job in hand and the status route are all made from
// this list.
//
// JobActive: a multi-report job (read, dump, plot) has taken its first step.
// The Pending flags: a job asked for and not yet done. PlotRunning: the plot
// records and paints (false while paused or stopped). DumpRequested: the dump
// has no pending flag of its own; set by its starter, cleared by its last
// step, so that an acknowledgement nobody asked for cannot start a dump into
// whatever file was named last.
//
// Columns: the flag; the job it stands for (NoJob: none of its own — JobActive
// belongs to whichever job took its first step, PlotRunning to a plot already
// under way); whether status reports go unshown while it is up (a Flash-ROM
// read not yet acknowledged lets status through, as does a dump or plot
// asked for and not yet answered).
#pragma once

#include <optional>

namespace lumidra::protocol {

// The jobs a starter can ask for. Contrast and the command line share one
// job, as do the two text sizes.
enum class TJob { LcdCommand, LcdText, Splash, Image, FlashRead, FlashErase, FlashWrite, Dump, Plot };

// The job column of a flag that stands for no job of its own.
inline constexpr std::optional<TJob> NoJob{};

}  // namespace lumidra::protocol

#define LUMIDRA_JOB_FLAGS(X)                     \
    X(JobActive, NoJob, true)                    \
    X(ImageSendPending, TJob::Image, true)       \
    X(LcdCommandPending, TJob::LcdCommand, true) \
    X(LcdTextPending, TJob::LcdText, true)       \
    X(FlashReadPending, TJob::FlashRead, false)  \
    X(FlashErasePending, TJob::FlashErase, true) \
    X(FlashWritePending, TJob::FlashWrite, true) \
    X(PlotPending, TJob::Plot, true)             \
    X(PlotRunning, NoJob, false)                 \
    X(DumpRequested, TJob::Dump, false)
