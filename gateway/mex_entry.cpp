// The MEX entry of a plug-in: turns the host's arguments into host-free
// descriptions, runs the plug-in's description, and reports a failure only
// after everything the call owned is gone.  Compiled once per host (GNU
// Octave's MEX headers, or our own host layer) and linked into every plug-in.
#include <cstddef>

#include "gateway/plugin.h"
#include "mex.h"

// Each plug-in source defines its description.
const waveprob::gateway::plugin& waveprob_plugin();

namespace {

using waveprob::gateway::array_class;
using waveprob::gateway::input_array;

array_class class_of(const mxArray* a) {
  if (mxIsDouble(a)) return array_class::double_;
  if (mxIsSingle(a)) return array_class::single;
  if (mxIsLogical(a)) return array_class::logical;
  if (mxIsChar(a)) return array_class::character;
  if (mxIsCell(a)) return array_class::cell;
  if (mxIsStruct(a)) return array_class::structure;
  if (mxIsNumeric(a)) return array_class::integer;
  return array_class::other;
}

class mex_call final : public waveprob::gateway::host_call {
 public:
  mex_call(mxArray** outputs, const mxArray** inputs) : outputs_(outputs), inputs_(inputs) {}

  input_array input(int k) const override {
    const mxArray* a = inputs_[k];
    input_array d;
    d.type = class_of(a);
    d.class_name = mxGetClassName(a);
    d.is_complex = mxIsComplex(a);
    d.is_sparse = mxIsSparse(a);
    d.rows = mxGetM(a);
    d.cols = mxGetN(a);
    d.elements = mxGetNumberOfElements(a);
    if (d.type == array_class::double_ && !d.is_complex && !d.is_sparse) d.data = mxGetPr(a);
    const bool numeric = d.type == array_class::double_ || d.type == array_class::single ||
                         d.type == array_class::integer;
    d.has_scalar = numeric && !d.is_complex && d.elements > 0;
    if (d.has_scalar) d.scalar = mxGetScalar(a);
    return d;
  }

  bool create_output(int slot, std::size_t rows, std::size_t cols, double** data) override {
    mxArray* a = mxCreateDoubleMatrix(rows, cols, mxREAL);
    if (!a) return false;
    outputs_[slot] = a;
    *data = mxGetPr(a);
    return true;
  }

 private:
  mxArray** outputs_;
  const mxArray** inputs_;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) void mexFunction(int nlhs, mxArray* plhs[],
                                                                   int nrhs,
                                                                   const mxArray* prhs[]) {
  waveprob::gateway::failure f;
  {
    mex_call host(plhs, prhs);
    f = waveprob::gateway::run(waveprob_plugin(), nlhs, nrhs, host);
  }
  if (!f.failed) return;
  if (f.id[0] == '\0')
    mexErrMsgTxt(f.message);
  else
    mexErrMsgIdAndTxt(f.id, "%s", f.message);
}
