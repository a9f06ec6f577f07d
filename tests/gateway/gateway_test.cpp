// The gateways through our own host layer: each plug-in's shared library is
// opened by its file name and called like a host calls it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/transform.h"
#include "own_host.h"
#include "reference.h"
#include "testing.h"

using own_host::array_ptr;
using own_host::array_type;
using own_host::make_array;
using own_host::make_double;
using own_host::make_scalar;
using testing_support::same_bits;

// Every allocation made inside a plug-in call can be made to fail, and the
// allocations still alive are counted.
namespace {
long allocations_until_failure = 0;
long live_allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
  if (own_host::in_plugin_call() && allocations_until_failure > 0 &&
      --allocations_until_failure == 0)
    throw std::bad_alloc();
  void* p = std::malloc(size ? size : 1);
  if (!p) throw std::bad_alloc();
  ++live_allocations;
  return p;
}
// The replacement pair allocates with malloc and frees with free.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
  if (p) --live_allocations;
  std::free(p);
}
#pragma GCC diagnostic pop
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace {

const double inf = std::numeric_limits<double>::infinity();
const double not_a_number = std::numeric_limits<double>::quiet_NaN();

const own_host::plugin_library& plugin(const std::string& name) {
  return own_host::opened_plugin(std::string(WAVEPROB_OWN_HOST_DIR) + "/" + name + ".so");
}

// Calls a plug-in with arrays it does not own.
own_host::call_result call(const std::string& name, int nlhs,
                           const std::vector<const array_ptr*>& args) {
  std::vector<const mxArray*> raw;
  for (const array_ptr* a : args) raw.push_back(a->get());
  return plugin(name).call(nlhs, raw);
}

array_ptr image_of(int M, int N, std::uint32_t seed, double special = 0.0) {
  testing_support::value_source s(seed);
  return make_double(M, N, s.values(static_cast<std::size_t>(M) * N, special));
}

struct plugin_counts {
  const char* name;
  int outputs, inputs;
  const char* output_message;
  const char* input_message;
};

const plugin_counts all_plugins[] = {
    {"kelvadra", 4, 2,
     "kelvadra requires four output arguments [LOWPASS HOR_DETAIL VER_DETAIL DIAG_DETAIL].",
     "kelvadra requires two input arguments [ARRAY_IN SCALE]"},
    {"ardavlek", 1, 5, "ardavlek requires one  output argument [ARRAY_OUT].",
     "ardavlek requires five input arguments [LOWPASS HOR_DETAIL VER_DETAIL DIAG_DETAIL SCALE]"},
    {"tormissa", 1, 2, "tormissa requires one output argument [ARRAY_OUT].",
     "tormissa requires two input arguments [ARRAY_IN THRESHOLD]"},
    {"pundrel", 1, 2, "program requires one  output argument [ARRAY_OUT].",
     "program requires two input arguments [SECTOR_BIN DETAIL]"},
    {"vostrane", 1, 4, "vostrane requires one  output argument [ARRAY_OUT].",
     "vostrane requires four input arguments [SECTOR_BIN DETAIL DETAIL_COARSER WINDOW_HALFSIZE]"},
    {"jebbinor", 1, 6, "jebbinor requires one output arguments [PROB].",
     "jebbinor requires six input arguments [DETAIL DETAIL_COARSER LIKELIHOOD_RATIO PRIOR_RATIO "
     "WINDOW_HALFSIZE PRIOR_FACTOR]"},
};

// A valid argument list for each plug-in, on a 6 x 7 image.
std::vector<array_ptr> valid_arguments(const std::string& name) {
  std::vector<array_ptr> a;
  auto img = [](std::uint32_t seed) { return image_of(6, 7, seed); };
  if (name == "kelvadra") {
    a.push_back(img(1));
    a.push_back(make_scalar(1));
  }
  if (name == "ardavlek") {
    for (int k = 0; k < 4; ++k) a.push_back(img(k));
    a.push_back(make_scalar(1));
  }
  if (name == "tormissa") {
    a.push_back(img(1));
    a.push_back(make_scalar(2));
  }
  if (name == "pundrel") {
    a.push_back(make_double(6, 7, std::vector<double>(42, 1.0)));
    a.push_back(img(2));
  }
  if (name == "vostrane") {
    a.push_back(make_double(6, 7, std::vector<double>(42, 1.0)));
    a.push_back(img(2));
    a.push_back(img(3));
    a.push_back(make_scalar(1));
  }
  if (name == "jebbinor") {
    a.push_back(img(2));
    a.push_back(img(3));
    a.push_back(make_double(1, 4, {1, 2, 4, 8}));
    a.push_back(make_double(1, 3, {0.5, 1, 2}));
    a.push_back(make_scalar(1));
    a.push_back(make_scalar(0.5));
  }
  return a;
}

own_host::call_result call_with(const std::string& name, int nlhs,
                                const std::vector<array_ptr>& args) {
  std::vector<const mxArray*> raw;
  for (const array_ptr& a : args) raw.push_back(a.get());
  return plugin(name).call(nlhs, raw);
}

}  // namespace

TEST(Gateway, CountMessagesOutputsFirst) {
  for (const plugin_counts& p : all_plugins) {
    const std::vector<array_ptr> args = valid_arguments(p.name);
    std::vector<array_ptr> fewer = valid_arguments(p.name), more = valid_arguments(p.name);
    fewer.pop_back();
    more.push_back(make_scalar(1));
    const long before = own_host::live_arrays();
    for (int nlhs : {0, p.outputs - 1, p.outputs + 1}) {
      if (nlhs < 0 || nlhs == p.outputs) continue;
      // A wrong output count wins over any input count.
      const std::vector<array_ptr>* input_lists[] = {&args, &fewer, &more};
      for (const std::vector<array_ptr>* inputs : input_lists) {
        auto r = call_with(p.name, nlhs, *inputs);
        EXPECT_TRUE(r.failed);
        EXPECT_EQ(r.message, p.output_message) << p.name << " nlhs " << nlhs;
        EXPECT_EQ(r.id, "");
      }
    }
    for (const auto* wrong : {&fewer, &more}) {
      auto r = call_with(p.name, p.outputs, *wrong);
      EXPECT_TRUE(r.failed);
      EXPECT_EQ(r.message, p.input_message);
      EXPECT_EQ(r.id, "");
    }
    EXPECT_EQ(call_with(p.name, p.outputs, {}).message, p.input_message);
    EXPECT_EQ(own_host::live_arrays(), before) << p.name << " left arrays behind";
    auto ok = call_with(p.name, p.outputs, args);
    EXPECT_FALSE(ok.failed) << p.name << ": " << ok.message;
  }
}

TEST(Gateway, EmptyImagesGiveEmptyOutputs) {
  for (auto [M, N] : {std::pair{0, 0}, std::pair{0, 5}, std::pair{4, 0}}) {
    const array_ptr e = make_double(M, N), huge_level = make_scalar(40);
    auto r = call("kelvadra", 4, {&e, &huge_level});
    ASSERT_FALSE(r.failed) << r.message;
    for (auto& out : r.outputs)
      EXPECT_EQ(own_host::dims(out.get()),
                (std::vector<std::size_t>{std::size_t(M), std::size_t(N)}));
    r = call("ardavlek", 1, {&e, &e, &e, &e, &huge_level});
    ASSERT_FALSE(r.failed) << r.message;
    EXPECT_EQ(own_host::dims(r.outputs[0].get()),
              (std::vector<std::size_t>{std::size_t(M), std::size_t(N)}));
    const array_ptr zero = make_scalar(0), empty_table = make_double(0, 0);
    r = call("jebbinor", 1, {&e, &e, &empty_table, &empty_table, &zero, &zero});
    ASSERT_FALSE(r.failed) << r.message;
    EXPECT_EQ(own_host::dims(r.outputs[0].get()),
              (std::vector<std::size_t>{std::size_t(M), std::size_t(N)}));
    for (const char* list : {"pundrel", "vostrane"}) {
      r = std::string(list) == "pundrel" ? call(list, 1, {&e, &e})
                                         : call(list, 1, {&e, &e, &e, &zero});
      ASSERT_FALSE(r.failed) << r.message;
      EXPECT_EQ(own_host::dims(r.outputs[0].get()), (std::vector<std::size_t>{0, 1}));
    }
    r = call("tormissa", 1, {&e, &zero});
    ASSERT_FALSE(r.failed);
    EXPECT_EQ(own_host::dims(r.outputs[0].get()),
              (std::vector<std::size_t>{std::size_t(M), std::size_t(N)}));
  }
}

TEST(Gateway, ResultsMatchTheReferenceAndInputsStayUnchanged) {
  const int M = 17, N = 13;
  const array_ptr x = image_of(M, N, 5, 0.03);
  const std::vector<double> x_before = own_host::values(x.get());
  const array_ptr scale = make_scalar(1.9);  // truncated to level 1
  auto r = call("kelvadra", 4, {&x, &scale});
  ASSERT_FALSE(r.failed) << r.message;
  const auto bands = reference::forward_transform(x_before, 1, M, N);
  for (int k = 0; k < 4; ++k)
    EXPECT_TRUE(same_bits(bands[k], own_host::values(r.outputs[k].get())));
  EXPECT_TRUE(same_bits(x_before, own_host::values(x.get())));
  EXPECT_EQ(own_host::values(scale.get())[0], 1.9);

  const array_ptr minus_half = make_scalar(-0.5);  // level 0
  auto back = call("ardavlek", 1,
                   {&r.outputs[0], &r.outputs[1], &r.outputs[2], &r.outputs[3], &minus_half});
  ASSERT_FALSE(back.failed);
  std::vector<std::vector<double>> given;
  for (int k = 0; k < 4; ++k) given.push_back(own_host::values(r.outputs[k].get()));
  EXPECT_TRUE(same_bits(reference::inverse_transform(given, 0, M, N),
                        own_host::values(back.outputs[0].get())));
  for (int k = 0; k < 4; ++k)
    EXPECT_TRUE(same_bits(given[k], own_host::values(r.outputs[k].get())));

  // Statistics: list order, data-dependent lengths and scalars read as given.
  testing_support::value_source s(8);
  std::vector<double> sector(M * N);
  for (double& v : sector) v = s.integer(0, 1);
  const array_ptr sector_map = make_double(M, N, sector), detail = image_of(M, N, 6, 0.05),
                  coarser = image_of(M, N, 7, 0.05), h = make_scalar(1.7),
                  threshold = make_scalar(2.5);
  auto mask = call("tormissa", 1, {&detail, &threshold});
  EXPECT_TRUE(same_bits(reference::threshold_mask(own_host::values(detail.get()), M, N, 2.5),
                        own_host::values(mask.outputs[0].get())));
  auto mags = call("pundrel", 1, {&sector_map, &detail});
  EXPECT_TRUE(
      same_bits(reference::selected_magnitudes(sector, own_host::values(detail.get()), M, N),
                own_host::values(mags.outputs[0].get())));
  auto en = call("vostrane", 1, {&sector_map, &detail, &coarser, &h});
  EXPECT_TRUE(
      same_bits(reference::selected_neighbourhood_energy(sector, own_host::values(detail.get()),
                                                         own_host::values(coarser.get()), 1, M, N),
                own_host::values(en.outputs[0].get())));
  const array_ptr lr = make_double(2, 3, {1, 2, 4, 8, 16, 32}), pr = make_double(3, 1, {0.5, 7, 7}),
                  f = make_scalar(0.25);
  auto prob = call("jebbinor", 1, {&detail, &coarser, &lr, &pr, &h, &f});
  ASSERT_FALSE(prob.failed) << prob.message;
  // LR is 2 x 3: its first three stored values; PR is 3 x 1: one entry.
  EXPECT_TRUE(same_bits(reference::significance_probability(own_host::values(detail.get()),
                                                            own_host::values(coarser.get()), M, N,
                                                            {1, 2, 4}, {0.5}, 0.25, 1),
                        own_host::values(prob.outputs[0].get())));
  EXPECT_TRUE(same_bits(sector, own_host::values(sector_map.get())));
}

// Every argument of every plug-in replaced by something it must refuse.
TEST(Gateway, ValidationErrorsNameTheArgument) {
  struct bad_case {
    const char* plugin;
    int position;
    std::function<array_ptr()> make;
    const char* id;
    const char* message;
  };
  const std::vector<bad_case> cases = {
      {"kelvadra", 0,
       [] {
         return make_array(array_type::single, {6, 7});
       },
       "kelvadra:badClass", "ARRAY_IN must be a real, full double array (got single)"},
      {"kelvadra", 0,
       [] {
         return make_array(array_type::double_, {6, 7}, {}, true);
       },
       "kelvadra:badClass", "ARRAY_IN must be a real, full double array (got complex double)"},
      {"kelvadra", 0,
       [] {
         return make_array(array_type::double_, {6, 7}, {}, false, true);
       },
       "kelvadra:badClass", "ARRAY_IN must be a real, full double array (got sparse double)"},
      {"kelvadra", 0,
       [] {
         return make_array(array_type::logical, {6, 7});
       },
       "kelvadra:badClass", "ARRAY_IN must be a real, full double array (got logical)"},
      {"kelvadra", 0, [] { return make_double(3, 7); }, "kelvadra:tooSmall",
       "ARRAY_IN is 3 x 7, too small for level 1: both dimensions must be at least 4"},
      {"kelvadra", 1, [] { return make_scalar(not_a_number); }, "kelvadra:badScalar",
       "SCALE must be finite, with an integer part that fits a 32-bit int (got NaN)"},
      {"kelvadra", 1, [] { return make_scalar(-inf); }, "kelvadra:badScalar",
       "SCALE must be finite, with an integer part that fits a 32-bit int (got -Inf)"},
      {"kelvadra", 1, [] { return make_scalar(2147483648.0); }, "kelvadra:badScalar",
       "SCALE must be finite, with an integer part that fits a 32-bit int (got 2.14748e+09)"},
      {"kelvadra", 1, [] { return make_scalar(2147483647.0); }, "kelvadra:tooSmall",
       "ARRAY_IN is 6 x 7, too small for level 2147483647: both dimensions must be at least 2 x "
       "2^2147483647"},
      {"kelvadra", 1, [] { return make_double(0, 0); }, "kelvadra:badScalar",
       "SCALE must be a non-empty, real numeric value"},
      {"kelvadra", 1,
       [] {
         return make_array(array_type::character, {1, 1}, {49});
       },
       "kelvadra:badScalar", "SCALE must be a non-empty, real numeric value"},
      {"kelvadra", 1,
       [] {
         return make_array(array_type::cell, {1, 1});
       },
       "kelvadra:badScalar", "SCALE must be a non-empty, real numeric value"},
      {"ardavlek", 0, [] { return make_double(5, 7); }, "ardavlek:tooSmall",
       "LOWPASS is 5 x 7, too small for level 1: both dimensions must be at least 6"},
      {"ardavlek", 2, [] { return make_double(6, 6); }, "ardavlek:tooFewElements",
       "VER_DETAIL has 36 elements, fewer than the 42 of the 6 x 7 LOWPASS"},
      {"ardavlek", 3,
       [] {
         return make_array(array_type::int32, {6, 7});
       },
       "ardavlek:badClass", "DIAG_DETAIL must be a real, full double array (got int32)"},
      {"tormissa", 0,
       [] {
         return make_array(array_type::structure, {1, 1});
       },
       "tormissa:badClass", "ARRAY_IN must be a real, full double array (got struct)"},
      {"tormissa", 1,
       [] {
         return make_array(array_type::double_, {1, 1}, {2}, true);
       },
       "tormissa:badScalar", "THRESHOLD must be a non-empty, real numeric value"},
      {"pundrel", 0, [] { return make_double(7, 5); }, "pundrel:tooFewElements",
       "SECTOR_BIN has 35 elements, fewer than the 42 of the 6 x 7 DETAIL"},
      {"pundrel", 1,
       [] {
         return make_array(array_type::uint8, {6, 7});
       },
       "pundrel:badClass", "DETAIL must be a real, full double array (got uint8)"},
      {"vostrane", 2, [] { return make_double(1, 41); }, "vostrane:tooFewElements",
       "DETAIL_COARSER has 41 elements, fewer than the 42 of the 6 x 7 DETAIL"},
      {"vostrane", 3, [] { return make_scalar(-1); }, "vostrane:badScalar",
       "WINDOW_HALFSIZE must not be negative (got -1)"},
      {"vostrane", 3, [] { return make_scalar(inf); }, "vostrane:badScalar",
       "WINDOW_HALFSIZE must be finite, with an integer part that fits a 32-bit int (got Inf)"},
      {"jebbinor", 2, [] { return make_double(4, 0); }, "jebbinor:emptyTable",
       "LIKELIHOOD_RATIO is empty: the table needs at least one column"},
      // n columns but no rows: nothing to read, though the length is n.
      {"jebbinor", 3, [] { return make_double(0, 3); }, "jebbinor:emptyTable",
       "PRIOR_RATIO is empty: the table needs at least one row"},
      {"jebbinor", 3,
       [] {
         return make_array(array_type::function_handle, {1, 1});
       },
       "jebbinor:badClass", "PRIOR_RATIO must be a real, full double array (got function_handle)"},
      {"jebbinor", 4, [] { return make_scalar(-2.5); }, "jebbinor:badScalar",
       "WINDOW_HALFSIZE must not be negative (got -2.5)"},
      {"jebbinor", 5,
       [] {
         return make_array(array_type::logical, {1, 1}, {1});
       },
       "jebbinor:badScalar", "PRIOR_FACTOR must be a non-empty, real numeric value"},
  };
  for (const bad_case& c : cases) {
    std::vector<array_ptr> args = valid_arguments(c.plugin);
    args[c.position] = c.make();
    const long before = own_host::live_arrays();
    const auto r = call_with(c.plugin, c.plugin == std::string("kelvadra") ? 4 : 1, args);
    EXPECT_TRUE(r.failed) << c.plugin << " argument " << c.position;
    EXPECT_EQ(r.id, c.id);
    EXPECT_EQ(r.message, c.message);
    EXPECT_EQ(own_host::live_arrays(), before) << "an output was left behind";
  }
}

TEST(Gateway, AcceptsBoundaryValues) {
  // Scalars of other numeric classes, -0.5 as half size, and an image that
  // is larger than the designated one.
  std::vector<array_ptr> v = valid_arguments("vostrane");
  v[3] = make_scalar(-0.5);
  v[0] = make_double(1, 50, std::vector<double>(50, 1.0));
  auto r = call_with("vostrane", 1, v);
  ASSERT_FALSE(r.failed) << r.message;
  EXPECT_EQ(own_host::dims(r.outputs[0].get())[0], 42u);  // first 42 entries selected
  std::vector<array_ptr> k = valid_arguments("kelvadra");
  k[1] = make_array(array_type::int8, {1, 1}, {-3});
  EXPECT_FALSE(call_with("kelvadra", 4, k).failed);
  k[0] = make_double(4, 4);  // exactly 2 * 2^1
  k[1] = make_array(array_type::single, {1, 1}, {1.5});
  EXPECT_FALSE(call_with("kelvadra", 4, k).failed);
  std::vector<array_ptr> j = valid_arguments("jebbinor");
  j[4] = make_scalar(2147483647.0);  // window covers the whole image
  j[5] = make_scalar(not_a_number);
  r = call_with("jebbinor", 1, j);
  ASSERT_FALSE(r.failed) << r.message;
  for (double p : own_host::values(r.outputs[0].get())) EXPECT_TRUE(std::isnan(p));
}

TEST(Gateway, FailedOutputCreationReportsOutOfMemory) {
  std::vector<array_ptr> args = valid_arguments("kelvadra");
  for (int failing = 1; failing <= 4; ++failing) {
    const long before = own_host::live_arrays();
    own_host::fail_creation(failing);
    auto r = call_with("kelvadra", 4, args);
    own_host::fail_creation(0);
    EXPECT_TRUE(r.failed);
    EXPECT_EQ(r.id, "kelvadra:outOfMemory");
    EXPECT_EQ(own_host::live_arrays(), before);
  }
}

// Each allocation of a call in turn fails: the call reports out of memory
// and leaves nothing behind, until there are enough allocations to succeed.
TEST(Gateway, EveryFailedAllocationReportsOutOfMemoryAndFreesEverything) {
  for (const plugin_counts& p : all_plugins) {
    const std::vector<array_ptr> args = valid_arguments(p.name);
    plugin(p.name);  // opened once, outside the counts
    bool succeeded = false;
    for (long failing = 1; failing < 200 && !succeeded; ++failing) {
      const long arrays_before = own_host::live_arrays();
      const long allocations_before = live_allocations;
      allocations_until_failure = failing;
      {
        auto r = call_with(p.name, p.outputs, args);
        allocations_until_failure = 0;
        succeeded = !r.failed;
        if (r.failed) {
          EXPECT_EQ(r.id, std::string(p.name) + ":outOfMemory") << r.message;
          EXPECT_EQ(r.message, "out of memory");
        }
      }
      EXPECT_EQ(own_host::live_arrays(), arrays_before) << p.name << ", allocation " << failing;
      EXPECT_EQ(live_allocations, allocations_before) << p.name << ", allocation " << failing;
    }
    EXPECT_TRUE(succeeded) << p.name;
  }
}
