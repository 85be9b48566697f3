#include "platform/dos_time.h"

namespace shelvo {

DosDateTime dos_date_time_from_unix(std::time_t t) {
  std::tm local{};
#ifdef _WIN32
  // This host's C library refuses times before 1970 and after 3000: the nearest end.
  if (::localtime_s(&local, &t) != 0) {
    if (t > 0)
      return {static_cast<std::uint16_t>((127 << 9) | (12 << 5) | 31),
              static_cast<std::uint16_t>((23 << 11) | (59 << 5) | 29)};
    return {static_cast<std::uint16_t>((0 << 9) | (1 << 5) | 1), 0};
  }
#else
  if (!::localtime_r(&t, &local)) return {static_cast<std::uint16_t>((0 << 9) | (1 << 5) | 1), 0};
#endif
  const long year = static_cast<long>(local.tm_year) + 1900;
  if (year < 1980) return {static_cast<std::uint16_t>((1 << 5) | 1), 0};
  if (year > 2107)
    return {static_cast<std::uint16_t>((127 << 9) | (12 << 5) | 31),
            static_cast<std::uint16_t>((23 << 11) | (59 << 5) | 29)};
  DosDateTime out;
  out.date = static_cast<std::uint16_t>(((year - 1980) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
  out.time = static_cast<std::uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
  return out;
}

} // namespace shelvo
