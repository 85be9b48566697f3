// The bytes of a volume file as the tests write them: the label padded (or cut)
// to its field, the format byte, then the records or any other bytes given.
#pragma once

#include <string>
#include <string_view>

#include "catalog/catalog_store.h"

namespace shelvo::testing {

inline std::string volume_bytes(std::string_view label, std::string_view body = {},
                                unsigned char format = volume_format_byte) {
  std::string bytes(label);
  bytes.resize(label_length, ' ');
  bytes += static_cast<char>(format);
  return bytes.append(body);
}

} // namespace shelvo::testing
