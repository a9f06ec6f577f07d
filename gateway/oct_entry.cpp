// The native GNU Octave entry of a plug-in (an oct-file).  Octave's MEX
// layer copies every output element by element when a call returns; its
// native interface hands arrays over by reference.  Same description, same
// checks, messages and results as the MEX entry.  WAVEPROB_PLUGIN_NAME is
// the function's name, set by the build.
#include <octave/oct.h>
#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "gateway/plugin.h"
#include "plugin_help.h"  // waveprob_help_text, made by the build from help/NAME.m

const waveprob::gateway::plugin& waveprob_plugin();

namespace {

using waveprob::gateway::array_class;
using waveprob::gateway::input_array;
using waveprob::gateway::max_inputs;

array_class class_of(const octave_value& v) {
  if (v.is_double_type()) return array_class::double_;
  if (v.is_single_type()) return array_class::single;
  if (v.islogical()) return array_class::logical;
  if (v.is_string()) return array_class::character;
  if (v.iscell()) return array_class::cell;
  if (v.isstruct()) return array_class::structure;
  if (v.isinteger()) return array_class::integer;
  return array_class::other;
}

// A large output is fresh memory that the kernel is about to fill: asking
// for huge pages turns hundreds of page faults into one.  Only advice; the
// whole 2 MiB pages inside the block are affected, nothing outside it.
void advise_huge_pages(void* data, std::size_t bytes) {
  constexpr std::uintptr_t huge = std::uintptr_t{1} << 21;
  const std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (begin + huge - 1) & ~(huge - 1);
  const std::uintptr_t last = (begin + bytes) & ~(huge - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

class oct_call final : public waveprob::gateway::host_call {
 public:
  explicit oct_call(const octave_value_list& args) : args_(args) {}

  input_array input(int k) const override {
    const octave_value& v = args_(k);
    input_array d;
    d.type = class_of(v);
    names_[k] = v.class_name();
    d.class_name = names_[k].c_str();
    d.is_complex = v.iscomplex();
    d.is_sparse = v.issparse();
    const dim_vector dims = v.dims();
    d.elements = static_cast<std::size_t>(v.numel());
    d.rows = static_cast<std::size_t>(dims(0));
    d.cols = static_cast<std::size_t>(dims.numel(1));
    const bool numeric = d.type == array_class::double_ || d.type == array_class::single ||
                         d.type == array_class::integer;
    if (d.type == array_class::double_ && !d.is_complex && !d.is_sparse) {
      arrays_[k] = v.array_value();  // shares the caller's data, no copy
      d.data = arrays_[k].data();
    }
    d.has_scalar = numeric && !d.is_complex && d.elements > 0;
    if (d.has_scalar) d.scalar = d.data ? d.data[0] : v.array_value()(0);
    return d;
  }

  // The output's memory is allocated here and handed to the array, which
  // then owns it: Octave's own constructors set every element to zero first,
  // a pass over fresh memory that the kernel, writing every element, makes
  // useless.
  bool create_output(int slot, std::size_t rows, std::size_t cols, double** data) override {
    const dim_vector dims(static_cast<octave_idx_type>(rows), static_cast<octave_idx_type>(cols));
    {
      std::allocator<double> memory;  // what the array frees its data with
      const std::size_t count = rows * cols;
      double* block = memory.allocate(count);
      Array<double>* owner = nullptr;
      try {
        owner = new Array<double>(block, dims);
      } catch (...) {
        memory.deallocate(block, count);
        throw;
      }
      const std::unique_ptr<Array<double>> release(owner);
      outputs_[slot] = NDArray(*owner);
    }
    *data = outputs_[slot].fortran_vec();  // taken while the array is not shared
    advise_huge_pages(*data, rows * cols * sizeof(double));
    return true;
  }

  // The outputs as Octave values, once the kernel has filled them: an
  // octave_value made earlier could hold a copy (a 1 x 1 array becomes a
  // scalar) instead of the memory the kernel writes.
  octave_value_list results(int count) const {
    octave_value_list list(count);
    for (int slot = 0; slot < count; ++slot) list(slot) = outputs_[slot];
    return list;
  }

 private:
  const octave_value_list& args_;
  NDArray outputs_[waveprob::gateway::max_outputs];
  mutable std::string names_[max_inputs];
  mutable NDArray arrays_[max_inputs];
};

}  // namespace

#define WAVEPROB_PASTE(a, b) a##b
#define WAVEPROB_CONCAT(a, b) WAVEPROB_PASTE(a, b)
#define WAVEPROB_QUOTE(a) #a
#define WAVEPROB_STRING(a) WAVEPROB_QUOTE(a)

// Octave finds the function through its installer, which must be visible.
#pragma GCC visibility push(default)
DEFUNX_DLD(WAVEPROB_STRING(WAVEPROB_PLUGIN_NAME), WAVEPROB_CONCAT(F, WAVEPROB_PLUGIN_NAME),
           WAVEPROB_CONCAT(G, WAVEPROB_PLUGIN_NAME), args, nargout, waveprob_help_text) {
  const waveprob::gateway::plugin& p = waveprob_plugin();
  waveprob::gateway::failure f;
  {
    oct_call host(args);
    f = waveprob::gateway::run(p, nargout, args.length(), host);
    if (!f.failed) return host.results(p.output_count);
  }
  if (f.id[0] == '\0')
    error("%s: %s", p.name, f.message);
  else
    error_with_id(f.id, "%s: %s", p.name, f.message);
  return octave_value_list();
}
#pragma GCC visibility pop
