// 2×2 matrices of doubles or complex numbers, stored row by row: m00 m01 m10 m11.
#pragma once

#include <array>

namespace osc {

template <typename T> using Matrix2 = std::array<T, 4>;

template <typename T> Matrix2<T> product(const Matrix2<T> &a, const Matrix2<T> &b)
{
    return {a[0] * b[0] + a[1] * b[2], a[0] * b[1] + a[1] * b[3], a[2] * b[0] + a[3] * b[2],
            a[2] * b[1] + a[3] * b[3]};
}

} // namespace osc
