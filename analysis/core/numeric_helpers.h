#pragma once
// Small numeric helpers of the image analysis (the border detection and the wall
// measurements): rounding with halves going up, the smallest of four values, and the
// row-pointer matrices the border detection works on.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <utility>

namespace kestrova::analysis {

/// floor(x) when floor(x) + 0.5 > x, otherwise ceil(x): 2.5 -> 3, 2.4999 -> 2,
/// -0.5 -> 0, -1.5 -> -1. The result must fit a 32-bit integer.
/// Inline, as the image loops call it per pixel: within the 32-bit range the floor is
/// the truncation stepped down for negative fractions, and x - floor(x) is exact, so
/// the comparison with 0.5 equals floor(x) + 0.5 > x.
inline std::int32_t RoundHalfUp(double x) {
    if (x > -2147483648.0 && x < 2147483647.0) {
        double f = static_cast<double>(static_cast<std::int32_t>(x));
        if (f > x) f -= 1.0;
        return static_cast<std::int32_t>(f) + (x - f >= 0.5 ? 1 : 0);
    }
    const double f = std::floor(x);
    return static_cast<std::int32_t>(f + 0.5 > x ? f : std::ceil(x));
}

int MinOfFour(int a, int b, int c, int d);

/// A matrix of `rows` rows of `rowLength` values each, zero-filled, reached through an
/// array of row pointers (`get()[r][k]`), as the border detection's routines take it.
/// Rows of no values still give a row-pointer array; only a default-constructed or
/// moved-from matrix has none (`get()` is null). Throws std::bad_alloc when memory runs
/// out and std::invalid_argument on a negative size.
template <typename T>
class RowMatrix {
public:
    RowMatrix() = default;
    RowMatrix(int rowLength, int rows) {
        if (rowLength < 0 || rows < 0) throw std::invalid_argument("negative matrix size");
        values_ = std::make_unique<T[]>(static_cast<std::size_t>(rowLength) * static_cast<std::size_t>(rows));
        rows_ = std::make_unique<T*[]>(static_cast<std::size_t>(rows));
        for (int r = 0; r < rows; ++r) rows_[r] = values_.get() + static_cast<std::size_t>(r) * rowLength;
        rowCount_ = rows;
        rowLength_ = rowLength;
    }
    RowMatrix(RowMatrix&& other) noexcept
        : values_(std::move(other.values_)), rows_(std::move(other.rows_)),
          rowCount_(std::exchange(other.rowCount_, 0)), rowLength_(std::exchange(other.rowLength_, 0)) {}
    RowMatrix& operator=(RowMatrix&& other) noexcept {
        RowMatrix tmp(std::move(other));
        std::swap(values_, tmp.values_);
        std::swap(rows_, tmp.rows_);
        std::swap(rowCount_, tmp.rowCount_);
        std::swap(rowLength_, tmp.rowLength_);
        return *this;
    }

    T** get() const { return rows_.get(); }
    T* operator[](int r) const { return rows_[r]; }
    int rowCount() const { return rowCount_; }
    int rowLength() const { return rowLength_; }
    void reset() { *this = RowMatrix(); }

private:
    std::unique_ptr<T[]> values_;
    std::unique_ptr<T*[]> rows_;
    int rowCount_ = 0;
    int rowLength_ = 0;
};

using ByteMatrix = RowMatrix<std::uint8_t>;
using IntMatrix = RowMatrix<std::int32_t>;

}  // namespace kestrova::analysis
