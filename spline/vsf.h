// Surface text file: writes a spline_surface as seven lines of text.
#pragma once

#include <iosfwd>

struct spline_surface;

// Writes the surface to the stream (numbers in the default six-digit general format
// with a decimal point whatever the locale, lines ending in a line feed) and flushes
// it.  Throws std::runtime_error for a null surface (before writing anything) and when
// the stream reports a failed write.
void writeVashSurface(const spline_surface* surface, std::ostream& out);
