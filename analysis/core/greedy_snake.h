#pragma once
// Greedy active contour (snake) on an 8-bit grey image.
//
// The classic greedy algorithm: in each iteration every point in turn, in index order,
// moves to the position of least energy within a square search window around it, seeing
// its neighbours' already updated positions. The contour is a closed polygon (the
// neighbours of point 0 are points n-1 and 1). For a candidate position c of point i:
//
//   Econt = | dmean - |p(i-1) - c| |        dmean: mean edge length of the polygon at the
//                                            start of the iteration
//   Ecurv = |p(i-1) - 2c + p(i+1)|^2
//   Eimg  = Gx(c)^2 + Gy(c)^2               3x3 Sobel derivatives, replicated border
//
// Over the candidates of the window each term is normalised to its range: Econt and Ecurv
// to (E - min) / (max - min), Eimg to (min - E) / (max - min) so that the strongest edge
// scores lowest; a term that does not vary scores 0. The point moves to the first strict
// minimum of alpha Econt + beta Ecurv + gamma Eimg, scanning rows (dy) then columns (dx)
// in ascending order. The window is clipped at the image border, never padded.
//
// The run stops after `maxIterations` iterations or as soon as an iteration moves no
// point.

#include <span>

#include <opencv2/core.hpp>

#include "study/contour.h"

namespace kestrova::analysis {

struct SnakeWeights {
    float alpha = 0.0f;  // continuity
    float beta = 0.0f;   // curvature
    float gamma = 0.0f;  // image energy
};

/// Moves `points` in place on `grey` (CV_8UC1, not empty). `window` is the side of the
/// square search window (odd; an even side acts as the next odd one; values below 1 act
/// as 1). Points outside the image are first moved to its nearest pixel. Fewer than
/// three points, or a wrong image type, leave the points unchanged.
/// Returns the number of iterations run.
int GreedySnake(const cv::Mat& grey, std::span<PixelPoint> points, const SnakeWeights& weights, int window,
                int maxIterations);

}  // namespace kestrova::analysis
