// Matrix2D: the linear part of a transform drawn by Buffer::XFormLin.
#pragma once

#include <pixkit/types.h>

namespace pixkit {

// Two columns: X is the image of the unit vector along x, Y the image of the
// unit vector along y, so (x, y) maps to (x*X.x + y*Y.x, x*X.y + y*Y.y).
struct Matrix2D {
    Pair<double> X;
    Pair<double> Y;

    // The identity, X = (1, 0), Y = (0, 1).
    static const Matrix2D Unit;
};

} // namespace pixkit
