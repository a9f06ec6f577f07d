#include "plugin_harness.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <vector>

namespace plugin_harness {
namespace {

using own_host::array_ptr;
using own_host::array_type;

// What the harness knows of each plug-in: counts, the argument that gives
// M and N, the class map of the list outputs, and one letter per argument:
// I image, T table, L level, H half size, R real scalar.
struct plugin_info {
  const char* name;
  int outputs;
  int inputs;
  int designated;
  int selector;  // -1: the outputs are M x N
  const char* kinds;
};

const plugin_info plugins[] = {
    {"kelvadra", 4, 2, 0, -1, "IL"},  {"ardavlek", 1, 5, 0, -1, "IIIIL"},
    {"tormissa", 1, 2, 0, -1, "IR"},  {"pundrel", 1, 2, 1, 0, "II"},
    {"vostrane", 1, 4, 1, 0, "IIIH"}, {"jebbinor", 1, 6, 0, -1, "IITTHR"},
};

const plugin_info* find(const std::string& name) {
  for (const plugin_info& p : plugins)
    if (name == p.name) return &p;
  return nullptr;
}

[[noreturn]] void broken(const std::string& plugin, const std::string& rule) {
  std::fprintf(stderr, "%s: %s\n", plugin.c_str(), rule.c_str());
  std::fflush(stderr);
  std::abort();
}

// Reads the input bytes in order; past the end every byte is 0.
class byte_reader {
 public:
  byte_reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::size_t below(std::size_t n) { return byte() % n; }
  double raw_double() {
    std::uint64_t bits = 0;
    for (int k = 0; k < 8; ++k) bits = bits << 8 | byte();
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// Values that sit on a boundary of some rule: signed zeros, the int range,
// overflow of a square, subnormals, non-finite values, typical levels.
const double special_values[] = {0.0,
                                 -0.0,
                                 1.0,
                                 -1.0,
                                 0.5,
                                 -0.5,
                                 1.9,
                                 -1.9,
                                 2.0,
                                 3.0,
                                 7.6,
                                 -7.6,
                                 30.0,
                                 31.0,
                                 40.0,
                                 255.0,
                                 2147483647.0,
                                 2147483648.0,
                                 -2147483648.0,
                                 -2147483649.0,
                                 1e154,
                                 1e300,
                                 -1e300,
                                 std::numeric_limits<double>::max(),
                                 std::numeric_limits<double>::min(),
                                 std::numeric_limits<double>::denorm_min(),
                                 -std::numeric_limits<double>::denorm_min(),
                                 std::numeric_limits<double>::epsilon(),
                                 1.0 + std::numeric_limits<double>::epsilon(),
                                 std::numeric_limits<double>::quiet_NaN(),
                                 std::numeric_limits<double>::infinity(),
                                 -std::numeric_limits<double>::infinity()};
constexpr std::size_t special_count = sizeof special_values / sizeof special_values[0];

std::size_t product(const std::vector<std::size_t>& dims) {
  std::size_t n = 1;
  for (std::size_t d : dims) n *= d;
  return n;
}

std::vector<std::size_t> read_dims(byte_reader& in, char kind, std::size_t M, std::size_t N) {
  const std::size_t shape = in.below(16);
  if (shape < 8) {
    if (kind == 'I') return {M, N};
    if (kind == 'T') return {1 + in.below(3), 1 + in.below(12)};
    return {1, 1};
  }
  switch (shape) {
    case 8:
      return {0, 0};
    case 9:
      return {0, N};
    case 10:
      return {M, 0};
    case 11:
      return {M, N, 2};
    case 12:
      return {M > 0 ? M - 1 : 0, N};
    case 13:
      return {M, N > 0 ? N - 1 : 0};
    case 14:
      return {1, M * N};
    default: {
      std::vector<std::size_t> dims(1 + in.below(4));
      for (std::size_t& d : dims) d = in.below(9);
      return dims;
    }
  }
}

std::vector<double> read_values(byte_reader& in, std::size_t count) {
  std::vector<double> v(count, 0.0);
  switch (in.below(8)) {
    case 0:
      break;
    case 1:
      for (double& x : v) x = 1.0;
      break;
    case 2:  // a class map
      for (double& x : v) x = in.byte() & 1;
      break;
    case 3:
    case 4:
      for (double& x : v) x = special_values[in.below(special_count)];
      break;
    case 5:
      for (double& x : v) x = in.raw_double();
      break;
    case 6:
      for (double& x : v) x = static_cast<std::int8_t>(in.byte()) / 4.0;
      break;
    default:  // mostly ordinary values with a few special ones
      for (double& x : v) {
        const std::uint8_t b = in.byte();
        x = b < 224 ? (b - 112) / 8.0 : special_values[in.below(special_count)];
      }
      break;
  }
  return v;
}

array_ptr read_argument(byte_reader& in, char kind, std::size_t M, std::size_t N) {
  array_type type = array_type::double_;
  bool complex = false, sparse = false;
  const std::uint8_t c = in.byte();
  if (c >= 160) {
    switch ((c - 160) % 12) {
      case 0:
        type = array_type::single;
        break;
      case 1:
        type = array_type::int8;
        break;
      case 2:
        type = array_type::int32;
        break;
      case 3:
        type = array_type::uint8;
        break;
      case 4:
        type = array_type::logical;
        break;
      case 5:
        type = array_type::character;
        break;
      case 6:
        type = array_type::cell;
        break;
      case 7:
        type = array_type::structure;
        break;
      case 8:
        type = array_type::function_handle;
        break;
      case 9:
        complex = true;
        break;
      case 10:
        sparse = true;
        break;
      default:
        complex = sparse = true;
        break;
    }
  }
  const std::vector<std::size_t> dims = read_dims(in, kind, M, N);
  return own_host::make_array(type, dims, read_values(in, product(dims)), complex, sparse);
}

// Counts outside the plug-in's own most of the time, so that most calls
// reach the argument checks.
int read_count(byte_reader& in, int expected) {
  const std::uint8_t b = in.byte();
  return b < 224 ? expected : b % 7;
}

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

const char* const known_reasons[] = {"badClass", "badScalar",  "tooSmall",
                                     "tooLarge", "emptyTable", "tooFewElements"};

void check_result(const plugin_info& p, int nlhs, int nrhs, const std::vector<array_ptr>& args,
                  const own_host::call_result& r) {
  const std::string name = p.name;
  if (nlhs != p.outputs || nrhs != p.inputs) {
    // The usage messages: the output count is tested first, and only the
    // output-count messages end with a full stop.
    if (!r.failed || !r.id.empty() || r.message.empty())
      broken(name, "a wrong argument count must end with the usage message");
    if ((r.message.back() == '.') != (nlhs != p.outputs))
      broken(name, "wrong usage message: " + r.message);
    return;
  }
  if (r.failed) {
    const std::string prefix = name + ":";
    if (r.id.compare(0, prefix.size(), prefix) != 0)
      broken(name, "error without the plug-in's identifier: " + r.id);
    const std::string reason = r.id.substr(prefix.size());
    bool known = false;
    for (const char* k : known_reasons) known = known || reason == k;
    if (!known) broken(name, "unexpected error " + r.id + ": " + r.message);
    if (r.message.empty()) broken(name, "error without a message");
    return;
  }
  if (static_cast<int>(r.outputs.size()) != nlhs) broken(name, "missing outputs");
  const mxArray* d = args[p.designated].get();
  const std::size_t M = mxGetM(d), N = mxGetN(d);
  std::vector<std::size_t> expected{M, N};
  if (p.selector >= 0) {
    const std::vector<double> map = own_host::values(args[p.selector].get());
    std::size_t selected = 0;
    for (std::size_t k = 0; k < M * N; ++k) selected += map[k] == 1.0;
    expected = {selected, 1};
  }
  for (const array_ptr& out : r.outputs) {
    if (!out || !mxIsDouble(out.get()) || mxIsComplex(out.get()) || mxIsSparse(out.get()))
      broken(name, "an output is not a real double array");
    if (own_host::dims(out.get()) != expected) broken(name, "an output has the wrong shape");
  }
  if (name == "tormissa")
    for (double x : own_host::values(r.outputs[0].get()))
      if (x != 0.0 && x != 1.0) broken(name, "a mask value other than 0 and 1");
  // Magnitudes and root-mean-square energies are never below zero.
  if (name == "pundrel" || name == "vostrane")
    for (double x : own_host::values(r.outputs[0].get()))
      if (x < 0.0) broken(name, "a negative value in the list");
}

bool same_result(const own_host::call_result& a, const own_host::call_result& b) {
  if (a.failed != b.failed || a.id != b.id || a.message != b.message ||
      a.outputs.size() != b.outputs.size())
    return false;
  for (std::size_t k = 0; k < a.outputs.size(); ++k)
    if (own_host::dims(a.outputs[k].get()) != own_host::dims(b.outputs[k].get()) ||
        !same_bits(own_host::values(a.outputs[k].get()), own_host::values(b.outputs[k].get())))
      return false;
  return true;
}

}  // namespace

bool known_plugin(const std::string& name) { return find(name) != nullptr; }

const own_host::plugin_library& open_plugin(const std::string& name) {
  return own_host::opened_plugin(std::string(WAVEPROB_OWN_HOST_DIR) + "/" + name + ".so");
}

outcome run_one(const std::string& name, const std::uint8_t* data, std::size_t size) {
  const plugin_info* p = find(name);
  if (!p) broken(name, "not a plug-in");
  const own_host::plugin_library& plugin = open_plugin(name);
  const long live_before = own_host::live_arrays();
  outcome result;
  {
    byte_reader in(data, size);
    const int nlhs = read_count(in, p->outputs);
    const int nrhs = read_count(in, p->inputs);
    const std::size_t M = in.below(25), N = in.below(25);
    std::vector<array_ptr> args;
    std::vector<const mxArray*> raw;
    std::vector<std::vector<double>> before;
    for (int k = 0; k < nrhs; ++k) {
      const char kind = k < p->inputs ? p->kinds[k] : 'R';
      args.push_back(read_argument(in, kind, M, N));
      raw.push_back(args.back().get());
      before.push_back(own_host::values(raw.back()));
    }
    const own_host::call_result first = plugin.call(nlhs, raw);
    check_result(*p, nlhs, nrhs, args, first);
    for (int k = 0; k < nrhs; ++k)
      if (!same_bits(before[k], own_host::values(raw[k])))
        broken(name, "input " + std::to_string(k + 1) + " changed");
    const own_host::call_result second = plugin.call(nlhs, raw);
    if (!same_result(first, second)) broken(name, "a repeated call gave a different result");
    result = !first.failed      ? outcome::success
             : first.id.empty() ? outcome::usage_message
                                : outcome::error;
  }
  if (own_host::live_arrays() != live_before) broken(name, "arrays left behind");
  return result;
}

}  // namespace plugin_harness
