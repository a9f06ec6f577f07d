// Replays the calls that dump_calls.m made in GNU Octave through our own
// host layer and checks that every output has the same shape and the same
// bits as Octave's.
//
//   cross_host_check FILE
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "plugin_harness.h"

namespace {

class double_reader {
 public:
  explicit double_reader(const char* path) : in_(path, std::ios::binary) {}
  bool good() const { return static_cast<bool>(in_); }
  double next() {
    unsigned char b[8] = {};
    in_.read(reinterpret_cast<char*>(b), 8);
    std::uint64_t bits = 0;
    for (int k = 7; k >= 0; --k) bits = bits << 8 | b[k];  // little-endian
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
  }
  std::size_t count() { return static_cast<std::size_t>(next()); }

 private:
  std::ifstream in_;
};

struct matrix {
  std::size_t rows, cols;
  std::vector<double> values;
};

matrix read_matrix(double_reader& in) {
  matrix m;
  m.rows = in.count();
  m.cols = in.count();
  m.values.resize(m.rows * m.cols);
  for (double& v : m.values) v = in.next();
  return m;
}

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  const char* const names[] = {"kelvadra", "ardavlek", "tormissa",
                               "pundrel",  "vostrane", "jebbinor"};
  double_reader in(argv[1]);
  const std::size_t calls = in.count();
  if (!in.good() || calls == 0) {
    std::fprintf(stderr, "%s: no calls to replay\n", argv[1]);
    return 2;
  }
  int differences = 0;
  for (std::size_t c = 0; c < calls; ++c) {
    const std::size_t index = in.count(), nout = in.count(), nin = in.count();
    if (!in.good() || index > 5) {
      std::fprintf(stderr, "%s: malformed at call %zu\n", argv[1], c + 1);
      return 2;
    }
    std::vector<own_host::array_ptr> args;
    std::vector<const mxArray*> raw;
    for (std::size_t k = 0; k < nin; ++k) {
      const matrix m = read_matrix(in);
      args.push_back(own_host::make_double(m.rows, m.cols, m.values));
      raw.push_back(args.back().get());
    }
    std::vector<matrix> expected;
    for (std::size_t k = 0; k < nout; ++k) expected.push_back(read_matrix(in));
    const auto r = plugin_harness::open_plugin(names[index]).call(static_cast<int>(nout), raw);
    bool same = !r.failed && r.outputs.size() == nout;
    for (std::size_t k = 0; same && k < nout; ++k) {
      const std::vector<std::size_t> dims = own_host::dims(r.outputs[k].get());
      same = dims == std::vector<std::size_t>{expected[k].rows, expected[k].cols} &&
             same_bits(own_host::values(r.outputs[k].get()), expected[k].values);
    }
    if (!same) {
      ++differences;
      std::printf("call %zu of %s: %s\n", c + 1, names[index],
                  r.failed ? r.message.c_str() : "outputs differ from Octave's");
    }
  }
  if (!in.good()) {
    std::fprintf(stderr, "%s: truncated\n", argv[1]);
    return 2;
  }
  std::printf("%zu calls replayed, %d differ from Octave's\n", calls, differences);
  return differences == 0 ? 0 : 1;
}
