// A bounded view over the bytes of one archive header. Every accessor takes an
// offset counted from the start of the header, as the layout diagrams above the
// header parsers give them; a field that lies (even partly) outside the bytes
// really read comes back as 0 or empty, so a short or hostile header can never
// make a parser read past its buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace shelvo {

class ByteCursor {
public:
  explicit ByteCursor(std::span<const char> bytes) : bytes_(bytes) {}

  std::size_t size() const { return bytes_.size(); }
  // True when the field [offset, offset + width) lies wholly inside the header.
  bool has(std::size_t offset, std::size_t width) const {
    return offset <= bytes_.size() && width <= bytes_.size() - offset;
  }

  std::uint8_t u8(std::size_t offset) const {
    return has(offset, 1) ? static_cast<std::uint8_t>(bytes_[offset]) : 0;
  }
  std::uint16_t u16le(std::size_t offset) const {
    if (!has(offset, 2)) return 0;
    return static_cast<std::uint16_t>(u8(offset) | (u8(offset + 1) << 8));
  }
  std::uint32_t u32le(std::size_t offset) const {
    if (!has(offset, 4)) return 0;
    return static_cast<std::uint32_t>(u16le(offset)) | (static_cast<std::uint32_t>(u16le(offset + 2)) << 16);
  }
  std::uint64_t u64le(std::size_t offset) const {
    if (!has(offset, 8)) return 0;
    return static_cast<std::uint64_t>(u32le(offset)) | (static_cast<std::uint64_t>(u32le(offset + 4)) << 32);
  }

  // The bytes of [offset, offset + width), cut to what the header holds.
  std::string_view bytes(std::size_t offset, std::size_t width) const {
    if (offset >= bytes_.size()) return {};
    const std::size_t available = bytes_.size() - offset;
    return {bytes_.data() + offset, width < available ? width : available};
  }
  // The bytes from offset to the end of the header.
  std::string_view rest(std::size_t offset) const { return bytes(offset, bytes_.size()); }

private:
  std::span<const char> bytes_;
};

} // namespace shelvo
