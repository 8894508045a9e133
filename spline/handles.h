// Owning handles for the toolkit's records and arrays.
//
// The numbered routines hand their results over as raw pointers that the caller must
// free with the matching destructor. Wrap each result at once:
//     spline_curve* raw = nullptr;
//     s1356(..., &raw, ...);
//     CurveHandle curve(raw);          // destroy_curve runs when `curve` goes out of scope
//     ToolkitArray<double> params(p);  // arrays from the toolkit are freed with free()
// Each record kind has its own deleter; every deleter accepts null. `release()` hands a
// record back to code that takes ownership (for example a record stored in another one).
#pragma once

#include "spline/isect.h"
#include "spline/records.h"

#include <cstdlib>
#include <memory>

struct CurveDeleter {
    void operator()(spline_curve* c) const { destroy_curve(c); }
};
struct SurfaceDeleter {
    void operator()(spline_surface* s) const { destroy_surface(s); }
};
struct IsectCurveDeleter {
    void operator()(isect_curve* c) const { destroy_isect_curve(c); }
};
// A toolkit array (parameters, vertices, errors): allocated with malloc, freed with free.
struct ToolkitArrayDeleter {
    void operator()(void* p) const { std::free(p); }
};

using CurveHandle = std::unique_ptr<spline_curve, CurveDeleter>;
using SurfaceHandle = std::unique_ptr<spline_surface, SurfaceDeleter>;
using IsectCurveHandle = std::unique_ptr<isect_curve, IsectCurveDeleter>;
template <typename T>
using ToolkitArray = std::unique_ptr<T[], ToolkitArrayDeleter>;

// The array of intersection curves that s1859, s1955 and their kin return, with its
// count: destroys every curve record (and the geometry each still holds), then frees
// the array.
class IsectCurveArray {
public:
    IsectCurveArray() = default;
    IsectCurveArray(isect_curve** curves, int count) : curves_(curves), count_(curves ? count : 0) {}
    IsectCurveArray(const IsectCurveArray&) = delete;
    IsectCurveArray& operator=(const IsectCurveArray&) = delete;
    IsectCurveArray(IsectCurveArray&& o) noexcept : curves_(o.curves_), count_(o.count_)
    {
        o.curves_ = nullptr;
        o.count_ = 0;
    }
    IsectCurveArray& operator=(IsectCurveArray&& o) noexcept
    {
        if (this != &o) {
            reset();
            curves_ = o.curves_;
            count_ = o.count_;
            o.curves_ = nullptr;
            o.count_ = 0;
        }
        return *this;
    }
    ~IsectCurveArray() { reset(); }

    void reset()
    {
        if (curves_)
            destroy_isect_curve_array(curves_, count_);
        curves_ = nullptr;
        count_ = 0;
    }
    int size() const { return count_; }
    bool empty() const { return count_ == 0; }
    isect_curve* operator[](int i) const { return curves_[i]; }
    isect_curve** data() const { return curves_; }

    // Takes the geometry curve out of record i; the record no longer frees it.
    CurveHandle TakeGeometry(int i)
    {
        CurveHandle g(curves_[i]->geometry);
        curves_[i]->geometry = nullptr;
        return g;
    }

private:
    isect_curve** curves_ = nullptr;
    int count_ = 0;
};
