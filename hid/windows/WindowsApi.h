// The Windows SDK headers, for the Windows backend's own sources and tests.
//
// The SDK defines PostMessage and DefWindowProc as macros, which would rewrite
// the notification window's member names: this header takes them back out.
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
