// Small widget conventions of the window layout that every feature shares.
#pragma once

#include <QColor>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

class QLabel;
class QWidget;

namespace lumidra::desktop {

// Name of the dynamic property that marks a label as sized to its text.
inline constexpr const char* AutoSizeProperty = "autoSize";

// Sets a label's text; a label marked auto-size (AutoSizeProperty true) is
// resized to fit it, the way the layout's auto-size labels behave.
void SetCaption(QLabel& label, const QString& text);
// Holds a label to a size that fits the widest and the tallest of `texts`,
// and no smaller than it is: setting any of them then never asks the window
// for room again (a caption that changes a thousand times a second would
// lay the window out as often). An auto-size label stops following its text.
void FixCaptionSize(QLabel& label, const QStringList& texts);

// Fills the widget's background with `color`.
void SetBackground(QWidget& widget, const QColor& color);
// Two backgrounds a widget switches between often (an input label's off and
// on): both go into its palette once, and a switch only changes the role it
// paints with, which costs far less than a new palette. The first shows now.
void SetTwoBackgrounds(QWidget& widget, const QColor& first, const QColor& second);
void ShowSecondBackground(QWidget& widget, bool second);
// Makes each of `children` (direct children of `parent`) opaque where it can
// be without a visible change: a child that `parent` paints one colour under
// (a group box's plain inside) fills its background with that colour, so
// that a change of it repaints it alone. A transparent child repaints
// `parent` under it, and a group box draws its whole frame and title again
// for every such repaint, sixty times a second for a status caption. A child
// over more than one colour stays transparent. The colours follow `parent`'s
// size, palette and style, and the children's places.
void FillWithBackdrop(QWidget& parent, const QList<QWidget*>& children);
// Paints `widget`, a caption (QLabel) or a bar (QProgressBar), from a copy
// of an earlier paint of the same look while it paints every pixel itself
// (FillWithBackdrop made it opaque, or it fills its own background): a
// caption lays its text out again and a style's bar draws its stripes on
// every paint, which costs far more than a copy, and a board's channels keep
// coming back to the same few values. A look's first paint is copied from
// the window's backing store, what the screen shows; the copies of the last
// 64 are kept, and dropped when anything else the paint follows changes
// (size, palette, font, style, the backdrop). Only a style whose bar looks
// the same in each state has its bars copied (Fusion). What the widget is to
// the rest of the program (its text, its value, what a screen reader reads)
// stays as it is.
void KeepLooks(QWidget& widget);
// The background colour the widget shows.
QColor Background(const QWidget& widget);

// Moves a top-level window so that its outer frame is centred on the
// available area of its screen.
void CentreOnScreen(QWidget& window);
// Shows a modeless window (null: nothing) in front of the others, with the
// focus.
void ShowInFront(QWidget* window);

// Where a window of outer size `size` goes beside `anchor` (another window's
// outer frame) within `area` (the available part of a screen): right of it
// where the area has room, else left of it, the top edges level as far as the
// area allows; where neither side has room, `offset` up and left of it (held
// inside the area), so that with the anchor in front both title bars show.
QPoint BesidePosition(const QRect& area, const QRect& anchor, const QSize& size, int offset);
// Shows `window` (not yet shown) at BesidePosition on `anchor`'s screen, then
// brings `anchor` back in front with the focus. A platform that places
// windows itself (a Wayland compositor) may put it elsewhere.
void ShowBeside(QWidget& window, QWidget& anchor);

// Colours of the layout.
inline const QColor PaleGreen{192, 220, 192};
inline const QColor SkyBlue{166, 202, 240};
inline const QColor PureGreen{0, 255, 0};

}  // namespace lumidra::desktop
