// Numbers of 32 bits in LEB128 (seven bits a byte, low first, the top bit set on
// every byte but the last), as the index writes block gaps: most take one byte.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace shelvo {

// Appends to a byte string, growing it a stretch at a time rather than a byte
// at a time; the string has exactly the bytes written once the writer is gone.
class Leb128Writer {
public:
  explicit Leb128Writer(std::string& out) : out_(out), used_(out.size()) {}
  Leb128Writer(const Leb128Writer&) = delete;
  Leb128Writer& operator=(const Leb128Writer&) = delete;
  ~Leb128Writer() { out_.resize(used_); }

  void put(std::uint32_t value) {
    if (out_.size() < used_ + 5) out_.resize(std::max<std::size_t>(2 * out_.size(), used_ + 4096));
    char* p = out_.data() + used_;
    for (; value >= 0x80; value >>= 7) *p++ = static_cast<char>((value & 0x7F) | 0x80);
    *p++ = static_cast<char>(value);
    used_ = static_cast<std::size_t>(p - out_.data());
  }
  void append(std::string_view bytes) {
    if (out_.size() < used_ + bytes.size()) out_.resize(std::max(2 * out_.size(), used_ + bytes.size()));
    std::copy(bytes.begin(), bytes.end(), out_.begin() + static_cast<std::ptrdiff_t>(used_));
    used_ += bytes.size();
  }
  std::size_t size() const { return used_; }
  // Drops what was written after the first size bytes.
  void truncate(std::size_t size) { used_ = std::min(used_, size); }

private:
  std::string& out_;
  std::size_t used_;
};

// The number at `at`, moving `at` past it; false when the bytes end inside it
// or it does not fit 32 bits.
inline bool get_leb128(std::string_view bytes, std::size_t& at, std::uint32_t& value) {
  value = 0;
  for (int shift = 0; shift <= 28; shift += 7) {
    if (at >= bytes.size()) return false;
    const auto byte = static_cast<unsigned char>(bytes[at++]);
    if (shift == 28 && byte > 0x0F) return false;
    value |= static_cast<std::uint32_t>(byte & 0x7F) << shift;
    if (!(byte & 0x80)) return true;
  }
  return false;
}

} // namespace shelvo
