// A small host of our own for the plug-ins: arrays, a loader that opens a
// plug-in's shared library by its file name and calls its mexFunction, and
// an error call that ends the plug-in call and hands its message back.  It
// lets the gateways run without GNU Octave or MATLAB: under sanitizers, in
// unit tests and under a fuzzer.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "mex.h"

namespace own_host {

enum class array_type {
  double_,
  single,
  int8,
  int32,
  uint8,
  logical,
  character,
  cell,
  structure,
  function_handle
};

struct array_deleter {
  void operator()(mxArray* a) const { mxDestroyArray(a); }
};
using array_ptr = std::unique_ptr<mxArray, array_deleter>;

// A real double rows x cols array holding `values` column by column
// (missing values are zero).
array_ptr make_double(std::size_t rows, std::size_t cols, const std::vector<double>& values = {});
array_ptr make_scalar(double value);
// An array of any class and shape; numeric values are stored as given.
array_ptr make_array(array_type type, const std::vector<std::size_t>& dims,
                     const std::vector<double>& values = {}, bool complex = false,
                     bool sparse = false);

std::vector<std::size_t> dims(const mxArray* a);
std::vector<double> values(const mxArray* a);  // column by column

// Arrays alive now: every array made and not yet destroyed.
long live_arrays();

// Makes the n-th mxCreateDoubleMatrix from now on (counting from 1) fail by
// returning NULL; 0 turns failures off.
void fail_creation(long n);

// True while a plug-in's mexFunction runs (for tests that inject failures
// into the plug-in's own allocations).
bool in_plugin_call();

struct call_result {
  bool failed = false;
  std::string id;       // empty when the plug-in gave none
  std::string message;  // exactly as the plug-in reported it
  std::vector<array_ptr> outputs;
};

// A plug-in opened by the file name of its shared library.
class plugin_library {
 public:
  explicit plugin_library(const std::string& path);
  ~plugin_library();
  plugin_library(const plugin_library&) = delete;
  plugin_library& operator=(const plugin_library&) = delete;

  // Calls mexFunction with nlhs outputs requested and the given inputs.
  // On failure the outputs the plug-in created are destroyed, as a host does.
  call_result call(int nlhs, const std::vector<const mxArray*>& inputs) const;

 private:
  void* handle_ = nullptr;
  void (*entry_)(int, mxArray**, int, const mxArray**) = nullptr;
};

// The plug-in library at `path`, opened on first use and kept open for the
// life of the process (a test opens each plug-in once).
const plugin_library& opened_plugin(const std::string& path);

}  // namespace own_host
