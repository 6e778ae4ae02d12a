// Self-registration: the queue's rules, and each of the four ways of registering, read
// back from the registry after whole runs.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "engine/changes/self_register.h"
#include "tests/fixtures/self_register_fixtures.h"
#include "tests/wine/end_runs.h"

namespace tarn {
namespace {

using test::EndPackage;
using test::FixturePath;
using test::ReadWholeFile;
using test::ShortPath;

constexpr const char kTypeLibraryKey[] = "TypeLib\\{6B1D5C3E-2F4A-4D7B-9C1E-7A3E5F0D2B41}";

std::string Registration(const char* name) {
  char value[MAX_PATH] = {};
  DWORD size = sizeof value;
  if (RegGetValueA(HKEY_CURRENT_USER, TARN_FIXTURE_REGISTRATION_KEY, name, RRF_RT_REG_SZ, nullptr, value, &size) !=
      ERROR_SUCCESS) {
    return "";
  }
  return value;
}

void ForgetRegistration(const char* name) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, TARN_FIXTURE_REGISTRATION_KEY, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, name);
    RegCloseKey(key);
  }
}

bool TypeLibraryRegistered() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kTypeLibraryKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

TEST(SelfRegister, EachKindRegistersAndIsLogged) {
  // Value names are the registered files' names: unique per process, since tests share
  // the registry of one prefix.
  std::string id = std::to_string(GetCurrentProcessId());
  std::string program = "app" + id + ".exe", library = "lib" + id + ".dll";
  ForgetRegistration(program.c_str());
  ForgetRegistration(library.c_str());
  RegDeleteTreeA(HKEY_CLASSES_ROOT, kTypeLibraryKey);
  std::string typeLibrary = FixturePath("registering.tlb");
  bool withTypeLibrary = GetFileAttributesA(typeLibrary.c_str()) != INVALID_FILE_ATTRIBUTES;

  EndPackage p("selfreg");
  std::string dir = p.directory() + "\\Long Directory Name";
  p.Install(dir + "\\" + program, ReadWholeFile(FixturePath("registering_app.exe")), kSelfRegister);
  p.Install(dir + "\\" + library, ReadWholeFile(FixturePath("registering_dll.dll")), kSelfRegister);
  if (withTypeLibrary) p.Install(dir + "\\types.tlb", ReadWholeFile(typeLibrary), kSelfRegister);
  p.Install(dir + "\\broken.exe", "MZ but nothing more", kSelfRegister);
  p.Install(dir + "\\readme.txt", "plain data", kSelfRegister);
  p.installation().auxEntries[1] = test::FileBytes(FixturePath("registration_program.exe"));
  int queued = -1;
  p.BeforeRelease([&] { queued = g_run.registrationCount; });
  test::RunResult r = p.Run("", 2 | kHostHasRegistrationProgram);

  EXPECT_EQ(r.returnValue, 0);
  EXPECT_EQ(queued, withTypeLibrary ? 4 : 3);  // the plain data file is not queued
  EXPECT_FALSE(Registration(program.c_str()).empty());
  EXPECT_FALSE(Registration(library.c_str()).empty());
  if (withTypeLibrary) {
    EXPECT_TRUE(TypeLibraryRegistered());
  }
  std::string log = p.Log();
  std::string expected = "Self-Register: " + ShortPath(dir + "\\" + program) + "\r\n" +
                         "Self-Register: " + dir + "\\" + library + "\r\n";  // in its long form
  if (withTypeLibrary) expected += "Self-Register: " + ShortPath(dir + "\\types.tlb") + "\r\n";
  expected += "Could not Self-Register: " + ShortPath(dir + "\\broken.exe") + "\r\n";
  EXPECT_NE(log.find(expected), std::string::npos) << log;
  EXPECT_EQ(log.find("readme.txt\r\n", log.find("Self-Register")), std::string::npos) << log;
  ForgetRegistration(program.c_str());
  ForgetRegistration(library.c_str());
  RegDeleteTreeA(HKEY_CLASSES_ROOT, kTypeLibraryKey);
  if (!withTypeLibrary) GTEST_SKIP() << "no type library fixture (widl was not found at build time)";
}

TEST(SelfRegister, ImageWithoutRegistrationProgramFails) {
  EndPackage p("noprog");
  std::string target = p.directory() + "\\component.dll";
  p.Install(target, ReadWholeFile(FixturePath("registering_dll.dll")), kSelfRegister);
  p.Run();
  EXPECT_NE(p.Log().find("Could not Self-Register: " + ShortPath(target) + "\r\n"), std::string::npos) << p.Log();
  EXPECT_EQ(Registration("component.dll"), "");
}

// Files that are not 32-bit images go through their DllRegisterServer.
TEST(SelfRegister, ServerEntryWay) {
  std::string dir = test::MakeTempDirectory("server");
  std::string library = dir + "\\server" + std::to_string(GetCurrentProcessId()) + ".dll";
  CopyFileA(FixturePath("registering_dll.dll").c_str(), library.c_str(), FALSE);
  std::string name = library.substr(library.rfind('\\') + 1);
  ForgetRegistration(name.c_str());
  EXPECT_EQ(RegisterThroughServerEntry(library.c_str()), 0);
  EXPECT_EQ(Registration(name.c_str()), library);
  EXPECT_EQ(GetModuleHandleA(library.c_str()), nullptr);  // released again
  ForgetRegistration(name.c_str());
  EXPECT_EQ(RegisterThroughServerEntry((dir + "\\missing.dll").c_str()), 1);
  std::string data = dir + "\\data.dll";
  test::WriteWholeFile(data, "not a library");
  EXPECT_EQ(RegisterThroughServerEntry(data.c_str()), 1);
}

TEST(SelfRegister, QueueRules) {
  test::EngineFixture fixture;
  std::string dir = test::MakeTempDirectory("queue");
  std::string data = dir + "\\data.bin", image = dir + "\\image.bin";
  test::WriteWholeFile(data, "plain");
  test::WriteWholeFile(image, "MZ");
  QueueSelfRegistration(data.c_str());
  QueueSelfRegistration(image.c_str());
  QueueSelfRegistration((dir + "\\waiting.dll").c_str());  // cannot be opened: may wait for a restart
  ASSERT_EQ(g_run.registrationCount, 2);
  EXPECT_EQ(std::string(g_run.registrationQueue[0]), ShortPath(image));
  RegisterQueuedFiles();  // both fail to register; the pass empties the queue all the same
  EXPECT_EQ(g_run.registrationCount, 0);
  EXPECT_EQ(g_run.registrationQueue[0], nullptr);
  // A type library is queued without being looked at; the 1025th path is dropped.
  for (int i = 0; i < 1025; ++i) QueueSelfRegistration((dir + "\\t" + std::to_string(i) + ".TlB").c_str());
  EXPECT_EQ(g_run.registrationCount, 1024);
  EXPECT_NE(std::string(g_run.registrationQueue[1023]).find("t1023.TlB"), std::string::npos);
}

}  // namespace
}  // namespace tarn
