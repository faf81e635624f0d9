#include "transfers/Transfers.h"

namespace lumidra::transfers {

void FlashReadStep(const protocol::InputReport&) {}

void FlashEraseStep(const protocol::InputReport&) {}

void FlashWriteStep(const protocol::InputReport&) {}

void DumpStep(const protocol::InputReport&) {}

}  // namespace lumidra::transfers
