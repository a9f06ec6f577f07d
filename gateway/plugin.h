// The host contract shared by every plug-in, independent of any host.
//
// Each plug-in is described once by a `plugin` value: its argument counts
// and their messages, its arguments and how each is read, the argument that
// gives M and N, the shape of its outputs and its kernel.  A host binding
// (the MEX entry, our own test host, ...) turns the host's arguments into
// `input_array` descriptions and asks `run` to validate them, create the
// outputs and run the kernel.  `run` owns no memory when it returns, so the
// binding may report a failure through a host call that does not return.
#pragma once

#include <cstddef>

namespace waveprob::gateway {

constexpr int max_inputs = 6;
constexpr int max_outputs = 4;

// How one host argument is read.
enum class argument_kind {
  image,        // real full double array, read as M x N
  table,        // real full double array; its length is its column count
  level,        // integer scalar, any int (negative levels allowed)
  half_size,    // integer scalar, 0 or more
  real_scalar,  // numeric scalar, used unchanged
};

struct argument {
  const char* name;
  argument_kind kind;
};

enum class output_shape {
  image,          // every output is M x N
  selected_list,  // one output, a column with one entry per selected position
};

// A validated call: dimensions, and each argument by its position.
struct call_data {
  int rows = 0;                         // M
  int cols = 0;                         // N
  const double* data[max_inputs] = {};  // images and tables
  std::size_t length[max_inputs] = {};  // table lengths
  int integer[max_inputs] = {};         // level and half_size scalars
  double real[max_inputs] = {};         // real scalars
  std::size_t list_length = 0;          // rows of a selected_list output
};

struct plugin {
  const char* name;
  int output_count;
  const char* output_count_message;
  int input_count;
  const char* input_count_message;
  argument arguments[max_inputs];
  int designated;    // the image argument that gives M and N
  int filter_reach;  // 2 or 3: the level needs both dimensions >= reach * 2^level; 0: no level
  output_shape outputs;
  int selector;  // for selected_list: the class-map argument
  void (*kernel)(const call_data& call, double* const outputs[]);
};

// What a host binding tells about one argument.
enum class array_class { double_, single, integer, logical, character, cell, structure, other };

struct input_array {
  array_class type = array_class::other;
  const char* class_name = "";  // the host's name of the class, for messages
  bool is_complex = false;
  bool is_sparse = false;
  std::size_t rows = 0;  // first dimension
  std::size_t cols = 0;  // product of the other dimensions
  std::size_t elements = 0;
  const double* data = nullptr;  // the values of a real full double array
  bool has_scalar = false;       // numeric, real and not empty
  double scalar = 0.0;           // its first element
};

// The host side of one call.
class host_call {
 public:
  virtual input_array input(int k) const = 0;
  // Creates output `slot` (rows x cols, real), stores it in the host's
  // output slot and sets *data to its values (nullptr when empty).  The
  // values need not be initialised: every kernel writes all of them.
  // False if the host cannot create it.
  virtual bool create_output(int slot, std::size_t rows, std::size_t cols, double** data) = 0;

 protected:
  ~host_call() = default;
};

// A failed call: the message to report and its identifier, "plugin:reason"
// (empty for the fixed argument-count messages, reported without one).
struct failure {
  bool failed = false;
  char id[64] = {};
  char message[400] = {};
};

failure run(const plugin& p, int nlhs, int nrhs, host_call& host);

}  // namespace waveprob::gateway
