#include "engine/entry/command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace tarn {
namespace {

struct Case {
  const char* commandLine;
  RunMode mode;
  const char* answerFile;
  long extractArgument;  // -1 = none
  const char* service;
  bool announce;
};

TEST(CommandLine, Switches) {
  const Case cases[] = {
      {"/T", kRunTest, "", -1, "", false},
      {"/t", kRunTest, "", -1, "", false},
      {"  /q /T", kRunTest, "", -1, "", false},             // unknown option ignored, scan goes on
      {"/M4 /T", kRunNormal, "", -1, "", false},            // the scan ends at the 4
      {"/M", kRunNormal, "", -1, "", false},                // "/M" at the very end
      {"/T /", kRunTest, "", -1, "", false},                // a trailing "/"
      {"/", kRunNormal, "", -1, "", false},
      {"/M1", kRunDirectoryOverride, "", -1, "", true},
      {"/MX /T", kRunTest, "", -1, "", false},              // later options override earlier ones
      {"/T /MX", kRunDirectoryOverride, "", -1, "", false},
      {"/X C:\\OUT", kRunExtract, "", 2, "", false},
      {"/T /Z=C:\\LIST.TXT /T", kRunExtractExitZero, "", 5, "", false},
      {"/M=answers.txt /T", kRunTest, "C:\\HOST\\answers.txt", -1, "", false},
      {"/M=\"C:\\My Files\\a b.txt\" /T", kRunTest, "C:\\My Files\\a b.txt", -1, "", false},
      {"/M=\"two words.txt\"", kRunNormal, "C:\\HOST\\two words.txt", -1, "", false},
      {"/M=D:\\ans.txt", kRunNormal, "D:\\ans.txt", -1, "", false},
      {"/M2=Controller /T", kRunTest, "", -1, "Controller", false},
      {"setup.exe /T", kRunNormal, "", -1, "", false},      // text that is not an option ends the scan
  };
  for (const Case& c : cases) {
    CommandLineOptions options;
    ParseCommandLine(c.commandLine, "C:\\HOST\\SETUP.EXE", &options);
    EXPECT_EQ(options.runMode, c.mode) << c.commandLine;
    EXPECT_STREQ(options.answerFile, c.answerFile) << c.commandLine;
    EXPECT_EQ(options.extractArgument, c.extractArgument) << c.commandLine;
    EXPECT_STREQ(options.ddeServiceName, c.service) << c.commandLine;
    EXPECT_EQ(options.startPaused, c.service[0] != '\0') << c.commandLine;
    EXPECT_EQ(options.announceRegistration, c.announce) << c.commandLine;
  }
}

TEST(CommandLine, LongNamesAreCut) {
  std::string longName = "/M=" + std::string(400, 'n');
  CommandLineOptions options;
  ParseCommandLine(longName.c_str(), "C:\\H\\S.EXE", &options);
  EXPECT_EQ(std::string(options.answerFile), "C:\\H\\" + std::string(250, 'n'));
  std::string longService = "/M2=" + std::string(400, 's');
  CommandLineOptions service;
  ParseCommandLine(longService.c_str(), "", &service);
  EXPECT_EQ(std::string(service.ddeServiceName), std::string(255, 's'));
  CommandLineOptions open;
  ParseCommandLine("/M=\"unterminated", "C:\\H\\S.EXE", &open);
  EXPECT_STREQ(open.answerFile, "C:\\H\\unterminated");
}

}  // namespace
}  // namespace tarn
