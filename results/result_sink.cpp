#include "results/result_sink.h"

namespace shelvo {

NodeId ResultSink::add_found_file(std::string_view directory_path, std::string_view name, std::int32_t size,
                                  std::uint16_t dos_date, std::uint16_t dos_time) {
  // The seconds are not shown.
  const unsigned day = dos_date & 31u;
  const unsigned month = (dos_date >> 5) & 15u;
  const unsigned year = ((dos_date >> 9) + 80u) % 100u;
  const unsigned hour = dos_time >> 11;
  const unsigned minute = (dos_time >> 5) & 63u;
  return add_file_line(directory_path, name, size, day, month, year, hour, minute);
}

} // namespace shelvo
