#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <new>

#include "core/statistics.h"
#include "core/transform.h"
#include "gateway/plugin.h"

namespace waveprob::gateway {
namespace {

constexpr std::size_t int_max = 2147483647;

failure count_failure(const char* message) {
  failure f;
  f.failed = true;
  std::snprintf(f.message, sizeof f.message, "%s", message);
  return f;
}

__attribute__((format(printf, 3, 4))) failure fail(const plugin& p, const char* reason,
                                                   const char* format, ...) {
  failure f;
  f.failed = true;
  std::snprintf(f.id, sizeof f.id, "%s:%s", p.name, reason);
  va_list args;
  va_start(args, format);
  std::vsnprintf(f.message, sizeof f.message, format, args);
  va_end(args);
  return f;
}

// The class of an argument as a user would name it.
void describe_class(const input_array& a, char* text, std::size_t size) {
  std::snprintf(text, size, "%s%s%s", a.is_sparse ? "sparse " : "", a.is_complex ? "complex " : "",
                a.class_name);
}

bool is_real_full_double(const input_array& a) {
  return a.type == array_class::double_ && !a.is_complex && !a.is_sparse &&
         (a.data || a.elements == 0);
}

failure check_double_array(const plugin& p, const argument& arg, const input_array& a) {
  if (is_real_full_double(a)) return {};
  char type[96];
  describe_class(a, type, sizeof type);
  return fail(p, "badClass", "%s must be a real, full double array (got %s)", arg.name, type);
}

// A value as the host displays it: NaN, Inf, -Inf or %g.
struct shown {
  char text[32];
  explicit shown(double v) {
    if (std::isnan(v))
      std::snprintf(text, sizeof text, "NaN");
    else if (std::isinf(v))
      std::snprintf(text, sizeof text, "%sInf", v < 0 ? "-" : "");
    else
      std::snprintf(text, sizeof text, "%g", v);
  }
};

// Truncates a scalar toward zero to an int, if it is finite and fits.
bool truncate_to_int(double value, int* result) {
  if (!(value > -2147483649.0 && value < 2147483648.0))
    return false;  // NaN, infinite, out of range
  *result = static_cast<int>(value);
  return true;
}

failure read_scalar(const plugin& p, const argument& arg, const input_array& a, int k,
                    call_data& call) {
  if (!a.has_scalar)
    return fail(p, "badScalar", "%s must be a non-empty, real numeric value", arg.name);
  if (arg.kind == argument_kind::real_scalar) {
    call.real[k] = a.scalar;
    return {};
  }
  if (!truncate_to_int(a.scalar, &call.integer[k]))
    return fail(p, "badScalar",
                "%s must be finite, with an integer part that fits a 32-bit int (got %s)", arg.name,
                shown(a.scalar).text);
  if (arg.kind == argument_kind::half_size && call.integer[k] < 0)
    return fail(p, "badScalar", "%s must not be negative (got %s)", arg.name, shown(a.scalar).text);
  return {};
}

failure read_arguments(const plugin& p, host_call& host, call_data& call) {
  // M and N come from the designated image: it is checked first.
  const input_array designated = host.input(p.designated);
  if (failure f = check_double_array(p, p.arguments[p.designated], designated); f.failed) return f;
  if (designated.rows > int_max || designated.cols > int_max)
    return fail(p, "tooLarge", "%s has more than %zu rows or columns",
                p.arguments[p.designated].name, int_max);
  call.rows = static_cast<int>(designated.rows);
  call.cols = static_cast<int>(designated.cols);
  const std::size_t pixels = designated.rows * designated.cols;

  for (int k = 0; k < p.input_count; ++k) {
    const argument& arg = p.arguments[k];
    const input_array a = host.input(k);
    switch (arg.kind) {
      case argument_kind::image:
        if (failure f = check_double_array(p, arg, a); f.failed) return f;
        if (a.elements < pixels)
          return fail(p, "tooFewElements",
                      "%s has %zu elements, fewer than the %zu of the %d x %d %s", arg.name,
                      a.elements, pixels, call.rows, call.cols, p.arguments[p.designated].name);
        call.data[k] = a.data;
        break;
      case argument_kind::table:
        if (failure f = check_double_array(p, arg, a); f.failed) return f;
        // Its length is its column count, but a 0 x n table has no entries
        // to read.
        if (a.elements == 0 && pixels > 0)
          return fail(p, "emptyTable", "%s is empty: the table needs at least one %s", arg.name,
                      a.cols == 0 ? "column" : "row");
        call.data[k] = a.data;
        call.length[k] = a.cols;
        break;
      case argument_kind::level:
      case argument_kind::half_size:
      case argument_kind::real_scalar:
        if (failure f = read_scalar(p, arg, a, k, call); f.failed) return f;
        break;
    }
  }
  return {};
}

void format_minimum(long long minimum, int level, int reach, char* text, std::size_t size) {
  if (minimum > 0)
    std::snprintf(text, size, "%lld", minimum);
  else
    std::snprintf(text, size, "%d x 2^%d", reach, level);
}

failure check_level(const plugin& p, const call_data& call) {
  if (p.filter_reach == 0 || call.rows == 0 || call.cols == 0) return {};
  for (int k = 0; k < p.input_count; ++k) {
    if (p.arguments[k].kind != argument_kind::level) continue;
    const int level = call.integer[k];
    const long long minimum =
        p.filter_reach == 2 ? forward_min_size(level) : inverse_min_size(level);
    if (minimum > 0 && call.rows >= minimum && call.cols >= minimum) return {};
    char text[48];
    format_minimum(minimum, level, p.filter_reach, text, sizeof text);
    return fail(p, "tooSmall",
                "%s is %d x %d, too small for level %d: both dimensions must be at least %s",
                p.arguments[p.designated].name, call.rows, call.cols, level, text);
  }
  return {};
}

failure create_outputs(const plugin& p, call_data& call, host_call& host, double* outputs[]) {
  std::size_t rows = static_cast<std::size_t>(call.rows);
  std::size_t cols = static_cast<std::size_t>(call.cols);
  if (p.outputs == output_shape::selected_list) {
    rows = count_selected(call.data[p.selector], rows * cols);
    cols = 1;
    call.list_length = rows;
  }
  for (int slot = 0; slot < p.output_count; ++slot) {
    if (!host.create_output(slot, rows, cols, &outputs[slot]))
      return fail(p, "outOfMemory", "out of memory");
  }
  return {};
}

}  // namespace

failure run(const plugin& p, int nlhs, int nrhs, host_call& host) {
  if (nlhs != p.output_count) return count_failure(p.output_count_message);
  if (nrhs != p.input_count) return count_failure(p.input_count_message);
  try {
    call_data call;
    if (failure f = read_arguments(p, host, call); f.failed) return f;
    if (failure f = check_level(p, call); f.failed) return f;
    double* outputs[max_outputs] = {};
    if (failure f = create_outputs(p, call, host, outputs); f.failed) return f;
    p.kernel(call, outputs);
    return {};
  } catch (const std::bad_alloc&) {
    return fail(p, "outOfMemory", "out of memory");
  } catch (const std::exception& e) {
    return fail(p, "internal", "internal error: %s", e.what());
  }
}

}  // namespace waveprob::gateway
