// The Flash-ROM block transfers and the memory dump, to and from raw files.
#pragma once

#include "protocol/InputDecode.h"

namespace lumidra::transfers {

// Job steps, run by the input handler on the report that reaches them in the
// dispatch order. Entry points only until the transfers land: they do nothing
// yet (and nothing sets their flags or requests a dump yet).
void FlashReadStep(const protocol::InputReport& Report);
void FlashEraseStep(const protocol::InputReport& Report);
void FlashWriteStep(const protocol::InputReport& Report);
void DumpStep(const protocol::InputReport& Report);

}  // namespace lumidra::transfers
