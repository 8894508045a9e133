#include "spline/vsf.h"

#include <locale>
#include <ostream>
#include <stdexcept>

#include "spline/records.h"

namespace {

// Restores the stream's formatting when the writer is done with it.
class FormatGuard {
 public:
  explicit FormatGuard(std::ostream& out)
      : out_(out), flags_(out.flags()), precision_(out.precision()), fill_(out.fill()),
        locale_(out.imbue(std::locale::classic())) {
    out_.flags(std::ios_base::fmtflags{} | std::ios_base::dec | std::ios_base::skipws);
    out_.precision(6);
    out_.width(0);
  }
  ~FormatGuard() {
    out_.imbue(locale_);
    out_.flags(flags_);
    out_.precision(precision_);
    out_.fill(fill_);
  }

 private:
  std::ostream& out_;
  std::ios_base::fmtflags flags_;
  std::streamsize precision_;
  char fill_;
  std::locale locale_;
};

void write_list(std::ostream& out, const double* values, long count) {
  for (long i = 0; i < count; ++i) out << values[i] << ' ';
  out << '\n';
}

}  // namespace

void writeVashSurface(const spline_surface* surface, std::ostream& out) {
  if (!surface) throw std::runtime_error("zero pointer given to writeVashSurface()");
  {
    FormatGuard guard(out);
    const int rational = (surface->kind % 2 == 0) ? 1 : 0;
    const int n1 = surface->vertex_count1, n2 = surface->vertex_count2;
    const int k1 = surface->order1, k2 = surface->order2;
    out << 200 << ' ' << 1 << ' ' << 0 << " 0" << '\n';
    out << surface->dim << ' ' << rational << '\n';
    out << n1 << ' ' << k1 << '\n';
    write_list(out, surface->knots1, n1 + k1);
    out << n2 << ' ' << k2 << '\n';
    write_list(out, surface->knots2, n2 + k2);
    const double* values = rational ? surface->hom_coefs : surface->coefs;
    write_list(out, values, static_cast<long>(n1) * n2 * (surface->dim + rational));
    out.flush();
  }
  if (!out) throw std::runtime_error("failed to write the surface in writeVashSurface()");
}
