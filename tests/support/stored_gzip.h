#pragma once
// Compressed response bodies for tests.
#include <cstdint>
#include <string>

namespace kestrelin::test {

// A gzip member holding `data` in one stored (uncompressed) deflate block:
// a real gzip body without needing a compressor in the test.
inline std::string StoredGzip(const std::string& data) {
  std::uint32_t crc = 0xffffffffu;  // CRC-32, bit by bit
  for (const unsigned char byte : data) {
    crc ^= byte;
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0xedb88320u ^ (crc >> 1) : crc >> 1;
  }
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
