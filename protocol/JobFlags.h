// The job flags, listed once. Each is a run-wide bool of the protocol state
// (ProtocolState.h); the declarations, their reset, the busy test and the
// input handler's snapshot are all made from this list.
//
// JobActive: a multi-report job (read, dump, plot) has taken its first step.
// The Pending flags: a job asked for and not yet done. PlotRunning: the plot
// records and paints (false while paused or stopped). DumpRequested: the dump
// has no pending flag of its own; set by its starter, cleared by its last
// step, so that an acknowledgement nobody asked for cannot start a dump into
// whatever file was named last.
#pragma once

#define LUMIDRA_JOB_FLAGS(X) \
    X(JobActive)             \
    X(ImageSendPending)      \
    X(LcdCommandPending)     \
    X(LcdTextPending)        \
    X(FlashReadPending)      \
    X(FlashErasePending)     \
    X(FlashWritePending)     \
    X(PlotPending)           \
    X(PlotRunning)           \
    X(DumpRequested)
