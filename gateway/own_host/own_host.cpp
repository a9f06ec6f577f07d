#include "own_host.h"

#include <dlfcn.h>

#include <cstdarg>
#include <cstdio>
#include <map>
#include <stdexcept>

struct own_host_array {
  own_host::array_type type;
  bool complex;
  bool sparse;
  std::vector<std::size_t> dims;
  std::vector<double> values;  // real parts, column by column
};

namespace own_host {
namespace {

long live = 0;
long creations_until_failure = 0;
bool inside_call = false;

// Thrown by the error calls; caught by plugin_library::call.
struct plugin_error {
  std::string id;
  std::string message;
};

std::size_t element_count(const std::vector<std::size_t>& dims) {
  std::size_t count = 1;
  for (std::size_t d : dims) count *= d;
  return count;
}

mxArray* new_array(array_type type, std::vector<std::size_t> dims, bool complex, bool sparse) {
  while (dims.size() < 2) dims.push_back(dims.empty() ? 0 : 1);
  std::vector<double> values(element_count(dims), 0.0);
  auto* a = new own_host_array{type, complex, sparse, std::move(dims), std::move(values)};
  ++live;
  return a;
}

bool is_numeric(array_type t) {
  return t == array_type::double_ || t == array_type::single || t == array_type::int8 ||
         t == array_type::int32 || t == array_type::uint8;
}

}  // namespace

array_ptr make_array(array_type type, const std::vector<std::size_t>& dims,
                     const std::vector<double>& values, bool complex, bool sparse) {
  array_ptr a(new_array(type, dims, complex, sparse));
  for (std::size_t k = 0; k < values.size() && k < a->values.size(); ++k) a->values[k] = values[k];
  return a;
}

array_ptr make_double(std::size_t rows, std::size_t cols, const std::vector<double>& values) {
  return make_array(array_type::double_, {rows, cols}, values);
}

array_ptr make_scalar(double value) { return make_double(1, 1, {value}); }

std::vector<std::size_t> dims(const mxArray* a) { return a->dims; }
std::vector<double> values(const mxArray* a) { return a->values; }
long live_arrays() { return live; }
bool in_plugin_call() { return inside_call; }
void fail_creation(long n) { creations_until_failure = n; }

plugin_library::plugin_library(const std::string& path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) throw std::runtime_error("cannot open " + path + ": " + dlerror());
  entry_ = reinterpret_cast<void (*)(int, mxArray**, int, const mxArray**)>(
      dlsym(handle_, "mexFunction"));
  if (!entry_) {
    dlclose(handle_);
    throw std::runtime_error(path + " exports no mexFunction");
  }
}

plugin_library::~plugin_library() { dlclose(handle_); }

const plugin_library& opened_plugin(const std::string& path) {
  static std::map<std::string, std::unique_ptr<plugin_library>> opened;
  std::unique_ptr<plugin_library>& slot = opened[path];
  if (!slot) slot = std::make_unique<plugin_library>(path);
  return *slot;
}

call_result plugin_library::call(int nlhs, const std::vector<const mxArray*>& inputs) const {
  std::vector<mxArray*> slots(nlhs > 0 ? nlhs : 1, nullptr);
  std::vector<const mxArray*> args(inputs);
  call_result result;
  try {
    struct scope {
      scope() { inside_call = true; }
      ~scope() { inside_call = false; }
    } in_call;
    entry_(nlhs, slots.data(), static_cast<int>(args.size()), args.data());
  } catch (const plugin_error& e) {
    result.failed = true;
    result.id = e.id;
    result.message = e.message;
  }
  for (std::size_t k = 0; k < slots.size(); ++k) {
    array_ptr out(slots[k]);
    if (!result.failed && static_cast<int>(k) < nlhs) result.outputs.push_back(std::move(out));
  }
  return result;
}

}  // namespace own_host

using own_host::array_type;

extern "C" {

// The plug-in's call ends here: what follows is the host's own work.
void mexErrMsgTxt(const char* message) {
  own_host::inside_call = false;
  throw own_host::plugin_error{"", message};
}

void mexErrMsgIdAndTxt(const char* id, const char* format, ...) {
  own_host::inside_call = false;
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  throw own_host::plugin_error{id, text};
}

int mxIsDouble(const mxArray* a) { return a->type == array_type::double_; }
int mxIsSingle(const mxArray* a) { return a->type == array_type::single; }
int mxIsLogical(const mxArray* a) { return a->type == array_type::logical; }
int mxIsChar(const mxArray* a) { return a->type == array_type::character; }
int mxIsCell(const mxArray* a) { return a->type == array_type::cell; }
int mxIsStruct(const mxArray* a) { return a->type == array_type::structure; }
int mxIsNumeric(const mxArray* a) { return own_host::is_numeric(a->type); }
int mxIsComplex(const mxArray* a) { return a->complex; }
int mxIsSparse(const mxArray* a) { return a->sparse; }

const char* mxGetClassName(const mxArray* a) {
  switch (a->type) {
    case array_type::double_:
      return "double";
    case array_type::single:
      return "single";
    case array_type::int8:
      return "int8";
    case array_type::int32:
      return "int32";
    case array_type::uint8:
      return "uint8";
    case array_type::logical:
      return "logical";
    case array_type::character:
      return "char";
    case array_type::cell:
      return "cell";
    case array_type::structure:
      return "struct";
    case array_type::function_handle:
      return "function_handle";
  }
  return "unknown";
}

size_t mxGetM(const mxArray* a) { return a->dims[0]; }

size_t mxGetN(const mxArray* a) {
  size_t n = 1;
  for (std::size_t k = 1; k < a->dims.size(); ++k) n *= a->dims[k];
  return n;
}

size_t mxGetNumberOfElements(const mxArray* a) { return a->values.size(); }

double* mxGetPr(const mxArray* a) {
  // Like a host, hand out the data of a numeric array only.
  if (!own_host::is_numeric(a->type)) return nullptr;
  return a->values.empty() ? nullptr : const_cast<double*>(a->values.data());
}

double mxGetScalar(const mxArray* a) { return a->values.empty() ? 0.0 : a->values[0]; }

mxArray* mxCreateDoubleMatrix(mwSize m, mwSize n, mxComplexity flag) {
  if (own_host::creations_until_failure > 0 && --own_host::creations_until_failure == 0)
    return nullptr;
  return own_host::new_array(array_type::double_, {m, n}, flag == mxCOMPLEX, false);
}

void mxDestroyArray(mxArray* a) {
  if (!a) return;
  --own_host::live;
  delete a;
}

}  // extern "C"
