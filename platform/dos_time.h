// DOS dates and times, as catalogs store them.
#pragma once

#include <cstdint>
#include <ctime>

namespace shelvo {

struct DosDateTime {
  std::uint16_t date = 0; // bits 15-9 year-1980, 8-5 month, 4-0 day
  std::uint16_t time = 0; // bits 15-11 hour, 10-5 minute, 4-0 seconds/2
};

// The local time of a Unix time in DOS form. Times before 1 January 1980 or after
// the last second a DOS date can hold (31 December 2107 23:59:58) are clamped to
// the nearest end.
DosDateTime dos_date_time_from_unix(std::time_t t);

} // namespace shelvo
