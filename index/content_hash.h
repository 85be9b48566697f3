// A 64-bit hash of bytes, to tell a damaged or torn index page from a whole one
// and to sample a volume file's content. Not a defence against a forger: whoever
// can write the cache can write the catalog itself.
#pragma once

#include <cstdint>
#include <string_view>

namespace shelvo {

std::uint64_t content_hash(std::string_view bytes, std::uint64_t seed = 0);

} // namespace shelvo
