// The board's graphic LCD: backlight, contrast, command line and text screen.
#pragma once

#include "protocol/InputDecode.h"

#include <QString>

#include <optional>

namespace lumidra::controls {

// Backlight check box: command byte 1 (ticked) or 5 (cleared) into
// StateReport byte 4; the whole StateReport goes out.
void CheckLightClick(bool ticked);

// "Contrast : 41%" for level 13.
QString ContrastLabelText(int level);

// The contrast slider moved to `level`: the contrast command into DataReport
// and the job requested; returns the slider label's new text. Nothing at all
// happens (nullopt) while the slider is disabled (the window moves it then),
// while a command still waits (the slider fires all the while it is dragged,
// and the next move after the step sends the level reached by then), or while
// the board has another job in hand.
std::optional<QString> ContrastBarChange(int level, bool enabled);

// "Отправить": the command line's bytes into DataReport and the job
// requested. A line without a complete hexadecimal pair does nothing; another
// job in hand is refused with a box. Sending again before the board answers
// only replaces the bytes: one step sends the newer ones.
void Button7Click(const QString& commandLine);

// Text screen modes, JobReport byte 2: "Send 1x" ends the screen with a third
// report of blanks, "Send 1,5x" does not.
inline constexpr std::uint8_t TextModeNormal = 0;
inline constexpr std::uint8_t TextModeLarge = 1;

// "Send 1x" and "Send 1,5x": only the mode is fixed now; the text is read
// when the board answers. Another job in hand is refused with a box.
void SendTextClick(std::uint8_t mode);

// Job steps, run by the input handler on the report that reaches them in the
// dispatch order. The text step reads the text line and the word wrap box as
// they are now.
void LcdCommandStep(const protocol::InputReport& Report);
void LcdTextStep(const protocol::InputReport& Report, const QString& text, bool wrap);

}  // namespace lumidra::controls
