#pragma once
// Compressed response bodies for tests.
#include <array>
#include <cstdint>
#include <string>

namespace kestrelin::test {

// A gzip member holding `data` in one stored (uncompressed) deflate block:
// a real gzip body without needing a compressor in the test.
inline std::string StoredGzip(const std::string& data) {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  std::uint32_t crc = 0xffffffffu;
  for (const unsigned char byte : data) crc = table[(crc ^ byte) & 0xff] ^ (crc >> 8);
  crc ^= 0xffffffffu;
  auto little = [](std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xff);
  };
  std::string out("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10);
  out += '\x01';  // final block, stored
  little(out, static_cast<std::uint32_t>(data.size()), 2);
  little(out, static_cast<std::uint32_t>(~data.size()) & 0xffff, 2);
  out += data;
  little(out, crc, 4);
  little(out, static_cast<std::uint32_t>(data.size()), 4);
  return out;
}

}  // namespace kestrelin::test
