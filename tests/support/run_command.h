// Runs a shell command for tests that compare with an independent tool.
#pragma once

#include <cstdio>
#include <string>

namespace vellum::testing {

// Standard output of `command`, or empty when it could not run.
inline std::string RunCommand(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  ::pclose(pipe);
  return out;
}

}  // namespace vellum::testing
