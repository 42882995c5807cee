#pragma once
// Rounding of screen sizes and colour shares: a half goes to the even neighbour, as the
// floating-point unit rounds by default.

#include <cmath>

namespace vexil {

inline int RoundHalfEven(double value) {
    return static_cast<int>(std::nearbyint(value));
}

} // namespace vexil
