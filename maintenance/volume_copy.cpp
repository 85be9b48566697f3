#include "maintenance/volume_copy.h"

#include <array>
#include <cstdio>
#include <vector>

namespace shelvo {

namespace {

constexpr std::size_t copy_block = 57344;

} // namespace

int copy_volume_file(CatalogWriter& target_catalog, std::string_view target, std::string_view source, bool replace,
                     std::string& failure) {
  File from = File::open(source, "rb");
  if (!from) {
    failure = "cannot read " + std::string(source) + ": " + error_text(from.error());
    return copy_source_unreadable;
  }
  File to = target_catalog.create_temporary(failure);
  if (!to) return copy_target_not_created;

  std::vector<char> block(copy_block);
  for (;;) {
    const std::size_t got = from.read(block);
    if (from.failed()) {
      failure = "cannot read " + std::string(source) + ": " + error_text(from.error());
      target_catalog.discard();
      return copy_source_unreadable;
    }
    if (got == 0) break;
    if (!to.write(std::string_view(block.data(), got))) break;
  }
  if (!to.close()) {
    failure = "cannot write " + std::string(target) + ": " + error_text(to.error());
    target_catalog.discard();
    return copy_write_failed;
  }
  if (!target_catalog.install(target, replace, failure)) return copy_write_failed;
  return copy_done;
}

std::string version_text(unsigned char format) {
  const auto b = static_cast<signed char>(format);
  const char separator = (b % 2 != 0) ? '.' : '~';
  std::array<char, 16> text{};
  if (b != 0) std::snprintf(text.data(), text.size(), "2%c%d", separator, 2 * (b / 2) - 2);
  else std::snprintf(text.data(), text.size(), "1%c8", separator);
  return text.data();
}

} // namespace shelvo
