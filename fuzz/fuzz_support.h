// What the fuzz targets share: a scratch directory in memory, and the drive
// table that maps drive C to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace shelvo::fuzzing {

// A directory of its own for this process (under /dev/shm when there is one),
// created on first use, with drive C mapped to it and the search index's cache
// inside it.
const std::string& scratch();

// Writes bytes to a host file; false when it could not.
bool write_bytes(const std::string& host_path, std::string_view bytes);
std::string read_bytes(const std::string& host_path);

// Removes every entry of a host directory (not the directory).
void empty_directory(const std::string& host_path);

// The input as text.
inline std::string_view text_of(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

} // namespace shelvo::fuzzing

// A broken invariant: stops the fuzzer with the input that broke it.
#define FUZZ_CHECK(condition)                                                                                       \
  do {                                                                                                              \
    if (!(condition)) {                                                                                             \
      std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__);                       \
      std::abort();                                                                                                 \
    }                                                                                                               \
  } while (false)
