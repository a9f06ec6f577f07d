// Turns arbitrary bytes into one call of a plug-in through our own host
// layer and checks the rules every call must keep, whatever its arguments:
// it ends with the usage message or an error by identifier, or it succeeds
// with outputs of the documented shape; it leaves no array behind, leaves
// its inputs unchanged and gives the same bits when repeated.  A broken rule
// aborts, so the fuzzer and the corpus replay report it as a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "own_host.h"

namespace plugin_harness {

// Opens build/own_host/<name>.so once and keeps it open.
const own_host::plugin_library& open_plugin(const std::string& name);

// True for the six plug-in names.
bool known_plugin(const std::string& name);

// How a checked call ended.
enum class outcome { usage_message, error, success };

// Decodes `data` into a call of plug-in `name`, makes it twice and checks it.
outcome run_one(const std::string& name, const std::uint8_t* data, std::size_t size);

}  // namespace plugin_harness
