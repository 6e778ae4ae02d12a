// The main of the test programs that run under Wine. Once the tests have run and their
// output is out, the process ends at once: now and then Wine keeps a process that has made
// windows, dialogs and tray icons hanging in its orderly exit for minutes, after every test
// in it has passed, and the test would then fail on its time limit.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  std::fflush(stdout);
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(result));
  return result;
}
