// A command-line command run in the test's process: its exit status, what
// it wrote to `out`, and to `err` together with the messages that go to the
// process's standard error.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace vellum::testing {

struct CliRun {
  int status = -1;
  std::string out, err;
};

template <typename Run>
CliRun Call(Run run, std::vector<std::string> args) {
  std::ostringstream out, err;
  CliRun r;
  ::testing::internal::CaptureStderr();
  r.status = run(args, out, err);
  r.out = out.str();
  r.err = err.str() + ::testing::internal::GetCapturedStderr();
  return r;
}

}  // namespace vellum::testing
