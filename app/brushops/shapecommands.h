// The Brush menu commands that outline the brush, give it a drop shadow or
// move its handle.
#pragma once

namespace kv {

// Brush > Outline: a one-pixel outline in the draw colour; the pointer
// follows so that the brush stays where it was on the screen.
void OutlineBrushCommand();
// Brush > Drop Shadow's OK: a shadow in the draw colour, depth pixels away
// in direction (ShadowDirection).
void DropShadowCommand(int direction, int depth);

// Brush > Handle: the handle goes to position handle (BrushHandle); the
// brush itself does not change.
void SetBrushHandle(int handle);
// Keypad 5 and Clear: the next handle position, after the last the centre.
void CycleBrushHandle();

} // namespace kv
