// Status reporting of the spline toolkit.
//
// Every public routine reports through an int status out-parameter, its last argument:
// 0 done, > 0 a warning or piece of information (never printed), < 0 failed (outputs
// not valid, work arrays freed).  A failing routine calls error_report with its own
// name, so a failure deep in a call chain gives one line per level, innermost first.
#pragma once

// Codes shared by many routines.
enum : int {
  kErrMemory = -101,
  kErrDimension = -102,
  kErrDimensionNot3 = -104,
  kErrDimensionNotAccepted = -105,
  kErrDimensionMismatch = -106,
  kErrInterval = -109,
  kErrOrder = -110,
  kErrTooFewVertices = -111,
  kErrKnots = -112,
  kErrSurfaceOrder = -115,
  kErrSurfaceTooFewVertices = -116,
  kErrSurfaceKnots = -117,
  kErrNegativeTolerance = -120,
  kErrKind = -121,
  kErrBoxSlot = -126,
  kErrDerivativeCount = -178,
  kErrRationalMemory = -179,
};

// Writes "\nError status : <status>   Call from routine : <routine>   Position : <position>\n"
// to the error sink (the standard error stream unless the application set another).
void error_report(const char* routine, int status, int position);

// Receiver of the text of every error line (the whole line, as error_report formats it).
using error_sink_fn = void (*)(void* context, const char* text);

// Routes the error lines to sink (with its context); a null sink restores the standard
// error stream.  Returns the previous sink (null for the standard error stream).  Meant to be set once at start-up, before
// the toolkit is used; the toolkit is used from one thread.
error_sink_fn set_error_sink(error_sink_fn sink, void* context);
