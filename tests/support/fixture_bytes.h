// The bytes the fixture scripts write into their files, and a file read
// whole, for comparing restored files with what the image was made from.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace vellum::testing {

// Lines "TAG 00000042\n", cut to `size` bytes.
inline std::string Pattern(const std::string& tag, size_t size) {
  std::string bytes;
  char line[300];
  for (int i = 0; bytes.size() < size; ++i) {
    std::snprintf(line, sizeof line, "%s %08d\n", tag.c_str(), i);
    bytes += line;
  }
  bytes.resize(size);
  return bytes;
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return std::move(bytes).str();
}

}  // namespace vellum::testing
