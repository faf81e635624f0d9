// The Windows SDK headers, for the Windows backend's own sources and tests.
//
// Include it after every header of the device layer: the SDK defines macros
// (WAIT_IO_COMPLETION, WM_DEVICECHANGE, PostMessage, DefWindowProc, ...) that
// would rewrite the layer's own names declared after it.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <dbt.h>
#include <hidsdi.h>  // with hidusage.h and hidpi.h, in the order they need
#include <setupapi.h>

// The layer's notification window has methods of these names.
#undef PostMessage
#undef DefWindowProc
