// The Brush menu commands that change the current brush at once: Halve,
// Double, Mirror and the quarter and half turns, and the frame every such
// command runs in.
#pragma once

#include <functional>

namespace kv {

class BrushState;

// Runs change on the current brush as every immediate brush command does:
// first back to the previous tool (which ends an interactive brush tool),
// the feedback hidden and a user brush kept for Restore; afterwards the
// tool framework and the painting brush follow the brush, and the feedback
// is shown again.
void ChangeBrush(const std::function<void(BrushState&)>& change);

// Halve (factor 0.5) and Double (2) of either axis or both; the menu's
// conditions refuse silently, a result too big for a brush with a message.
void ScaleBrushCommand(double fx, double fy);
void MirrorBrushCommand(bool leftToRight);
// Brush > Rotate > 90 Degrees (a quarter turn counter-clockwise) and 180
// Degrees; the brush is not trimmed.
void RotateBrushCommand(bool halfTurn);

} // namespace kv
