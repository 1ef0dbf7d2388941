// Small helpers shared by the file-service tests.
#pragma once

#include <fstream>
#include <string>
#include <vector>

namespace files_test {

inline void WriteText(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Byte i of a pattern whose 4-byte groups differ along the whole file.
inline std::string Pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131u + (i >> 8) * 7u) & 0xFF);
  return s;
}

}  // namespace files_test
