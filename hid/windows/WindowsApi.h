// The Windows SDK headers, for the Windows backend's own sources and tests
// (without their rarely used parts and the min and max macros: the build
// defines WIN32_LEAN_AND_MEAN and NOMINMAX for every file).
//
// The SDK defines PostMessage and DefWindowProc as macros, which would rewrite
// the notification window's member names: this header takes them back out.
#pragma once

#include <windows.h>

#include <dbt.h>
#include <hidsdi.h>  // with hidusage.h and hidpi.h, in the order they need
#include <setupapi.h>

// The layer's notification window has methods of these names.
#undef PostMessage
#undef DefWindowProc
