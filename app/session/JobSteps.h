// The input reports that go to the job in hand: one dispatch for both
// programs, so a job runs the same steps whoever asked for it.
#pragma once

#include "graphics/Picture.h"
#include "protocol/InputDecode.h"

#include <QString>

#include <functional>

namespace lumidra::app {

// What a step reads from its program when it runs (the window reads its
// widgets as they are now).
struct TJobInputs {
    std::function<graphics::TPicture()> Picture;  // the picture the image job sends
    std::function<QString()> LcdText;             // the LCD text line
    std::function<bool()> Wrap;                   // the LCD text's word wrap
};

// Runs the step `route` names on `report`; Status and Drop do nothing here.
// A route that is a step marks the job acknowledged.
void RunJobStep(protocol::TInputRoute route, const protocol::InputReport& report, const TJobInputs& inputs);

}  // namespace lumidra::app
