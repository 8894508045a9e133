#include "analysis/core/numeric_helpers.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace kestrova::analysis {

int MinOfFour(int a, int b, int c, int d) { return std::min({a, b, c, d}); }
int MaxOfThree(int a, int b, int c) { return std::max({a, b, c}); }

namespace {

void* MallocAllocate(std::size_t bytes) { return std::malloc(bytes == 0 ? 1 : bytes); }

template <typename T>
T** AllocRows(int rowLength, int rows, detail::RawAllocator allocate) {
    if (rowLength < 0 || rows < 0) throw MatrixAllocationError("allocation failure: negative matrix size");
    const std::size_t rowBytes = static_cast<std::size_t>(rowLength) * sizeof(T);
    auto** matrix = static_cast<T**>(allocate(static_cast<std::size_t>(rows) * sizeof(T*)));
    if (matrix == nullptr) throw MatrixAllocationError("allocation failure");
    for (int r = 0; r < rows; ++r) {
        matrix[r] = static_cast<T*>(allocate(rowBytes));
        if (matrix[r] == nullptr) {
            for (int q = 0; q < r; ++q) std::free(matrix[q]);
            std::free(matrix);
            throw MatrixAllocationError("allocation failure");
        }
        std::memset(matrix[r], 0, rowBytes);
    }
    return matrix;
}

template <typename T>
void FreeRows(T** matrix, int rows) {
    if (matrix == nullptr) return;
    for (int r = 0; r < rows; ++r) std::free(matrix[r]);  // free(nullptr) is a no-op
    std::free(matrix);
}

}  // namespace

namespace detail {
std::uint8_t** AllocByteMatrixWith(int rowLength, int rows, RawAllocator allocate) {
    return AllocRows<std::uint8_t>(rowLength, rows, allocate);
}
std::int32_t** AllocIntMatrixWith(int rowLength, int rows, RawAllocator allocate) {
    return AllocRows<std::int32_t>(rowLength, rows, allocate);
}
}  // namespace detail

std::uint8_t** AllocByteMatrix(int rowLength, int rows) {
    return AllocRows<std::uint8_t>(rowLength, rows, MallocAllocate);
}
std::int32_t** AllocIntMatrix(int rowLength, int rows) {
    return AllocRows<std::int32_t>(rowLength, rows, MallocAllocate);
}

void FreeMatrix(std::uint8_t** matrix, int rows) { FreeRows(matrix, rows); }
void FreeMatrix(std::int32_t** matrix, int rows) { FreeRows(matrix, rows); }
void FreeMatrixRows(std::uint8_t** matrix, int rows) { FreeRows(matrix, rows); }
void FreeMatrixRows(std::int32_t** matrix, int rows) { FreeRows(matrix, rows); }

}  // namespace kestrova::analysis
