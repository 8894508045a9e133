#include "spline/status.h"

#include <cstdio>

namespace {

void stderr_sink(void*, const char* text) {
  std::fputs(text, stderr);
  std::fflush(stderr);
}

error_sink_fn g_sink = stderr_sink;
void* g_sink_context = nullptr;

}  // namespace

void error_report(const char* routine, int status, int position) {
  char line[512];
  std::snprintf(line, sizeof line, "\nError status : %d   Call from routine : %s   Position : %d\n",
                status, routine ? routine : "", position);
  g_sink(g_sink_context, line);
}

error_sink_fn set_error_sink(error_sink_fn sink, void* context) {
  error_sink_fn previous = g_sink;
  g_sink = sink ? sink : stderr_sink;
  g_sink_context = sink ? context : nullptr;
  return previous == stderr_sink ? nullptr : previous;
}
