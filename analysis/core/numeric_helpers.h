#pragma once
// Small numeric helpers of the image analysis, also used by the measurements, the
// reconstruction and the end-diastolic selection:
//   - RoundHalfUp: rounding with halves going toward plus infinity;
//   - row-pointer matrices (an array of row pointers, one allocation per row), made by
//     AllocByteMatrix / AllocIntMatrix and released by FreeMatrix / FreeMatrixRows;
//   - MinOfFour, MaxOfThree.
//
// The allocators never end the program: when memory runs out they release what they
// had already allocated and throw MatrixAllocationError, so that a caller can give up
// the operation and keep the user's other work.

#include <cmath>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <utility>

namespace kestrova::analysis {

/// Thrown by the matrix allocators when a row or the row-pointer array cannot be
/// allocated, or when the requested dimensions are negative.
class MatrixAllocationError : public std::runtime_error {
public:
    explicit MatrixAllocationError(const char* what) : std::runtime_error(what) {}
};

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
int MaxOfThree(int a, int b, int c);

/// `rows` rows of `rowLength` bytes each (zero-filled). rows == 0 gives an empty
/// row-pointer array (still to be freed). Throws MatrixAllocationError.
std::uint8_t** AllocByteMatrix(int rowLength, int rows);
/// `rows` rows of `rowLength` 32-bit integers each (zero-filled). Throws
/// MatrixAllocationError.
std::int32_t** AllocIntMatrix(int rowLength, int rows);

/// Nothing for a null matrix; otherwise frees every non-null row, then the array.
void FreeMatrix(std::uint8_t** matrix, int rows);
void FreeMatrix(std::int32_t** matrix, int rows);
/// Frees every row (all must have been allocated), then the array.
void FreeMatrixRows(std::uint8_t** matrix, int rows);
void FreeMatrixRows(std::int32_t** matrix, int rows);

namespace detail {
/// The allocation step behind AllocByteMatrix / AllocIntMatrix with the row allocator
/// given explicitly (tests make it fail part-way). `allocate(bytes)` returns null on
/// failure; what it returns is released with std::free.
using RawAllocator = void* (*)(std::size_t bytes);
std::uint8_t** AllocByteMatrixWith(int rowLength, int rows, RawAllocator allocate);
std::int32_t** AllocIntMatrixWith(int rowLength, int rows, RawAllocator allocate);
}  // namespace detail

/// Owner of a row-pointer matrix: frees it with FreeMatrix when it goes out of scope.
template <typename T>
class RowMatrix {
public:
    RowMatrix() = default;
    RowMatrix(int rowLength, int rows);
    ~RowMatrix() { reset(); }
    RowMatrix(const RowMatrix&) = delete;
    RowMatrix& operator=(const RowMatrix&) = delete;
    RowMatrix(RowMatrix&& other) noexcept { swap(other); }
    RowMatrix& operator=(RowMatrix&& other) noexcept {
        RowMatrix tmp(std::move(other));
        swap(tmp);
        return *this;
    }

    T** get() const { return rows_; }
    T* operator[](int r) const { return rows_[r]; }
    int rowCount() const { return rowCount_; }
    int rowLength() const { return rowLength_; }
    void reset();

private:
    void swap(RowMatrix& other) noexcept {
        std::swap(rows_, other.rows_);
        std::swap(rowCount_, other.rowCount_);
        std::swap(rowLength_, other.rowLength_);
    }
    T** rows_ = nullptr;
    int rowCount_ = 0;
    int rowLength_ = 0;
};

template <>
inline RowMatrix<std::uint8_t>::RowMatrix(int rowLength, int rows)
    : rows_(AllocByteMatrix(rowLength, rows)), rowCount_(rows), rowLength_(rowLength) {}
template <>
inline RowMatrix<std::int32_t>::RowMatrix(int rowLength, int rows)
    : rows_(AllocIntMatrix(rowLength, rows)), rowCount_(rows), rowLength_(rowLength) {}

template <typename T>
void RowMatrix<T>::reset() {
    FreeMatrix(rows_, rowCount_);
    rows_ = nullptr;
    rowCount_ = 0;
    rowLength_ = 0;
}

using ByteMatrix = RowMatrix<std::uint8_t>;
using IntMatrix = RowMatrix<std::int32_t>;

}  // namespace kestrova::analysis
