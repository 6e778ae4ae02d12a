// Start-up as the archive and the host record drive it: auxiliary entries, the built-in
// dialog block, the data base position, and the real DLL loaded by a host.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "builder/script_writer.h"
#include "engine/entry/run_state.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/test_host.h"

extern "C" int __stdcall TarnMain(tarn::HostRecord*, const char*, int32_t*, char*, char*);

namespace tarn {
namespace {

using test::Installation;
using test::RunInstallation;
using test::RunResult;

std::vector<uint8_t> SimpleScript() {
  ScriptHeaderFields h;
  LanguageTexts l = test::EnglishTexts("Start-up Test");
  h.languages.push_back(l);
  ScriptWriter w(h);
  w.Filler();
  return w.bytes();
}

struct Observed {
  std::string auxPath[4];
  bool auxExisted[4] = {};
  std::string auxContent[4];
  std::string dialogBlock;
  uint32_t archiveDataBase = 0;
};
Observed g_seen;

void Observe() {
  for (int i = 0; i < 4; ++i) {
    g_seen.auxPath[i] = g_run.auxPath[i];
    g_seen.auxExisted[i] = !g_seen.auxPath[i].empty() && GetFileAttributesA(g_run.auxPath[i]) != INVALID_FILE_ATTRIBUTES;
    if (g_seen.auxExisted[i]) g_seen.auxContent[i] = test::ReadWholeFile(g_run.auxPath[i]);
  }
  const char* block = static_cast<const char*>(g_run.dialogBlockData);
  g_seen.dialogBlock = block ? std::string(block, g_run.host->dialogBlockSize) : "";
  g_seen.archiveDataBase = g_run.archiveDataBase;
}

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

TEST(StartUp, NoAuxiliaryEntriesMeansTheDialogBlockComesFirst) {
  Installation i;
  i.script = SimpleScript();
  i.dialogBlock = Bytes("DIALOG-BLOCK");
  g_run.hooks.beforeRelease = &Observe;
  RunResult r = RunInstallation(i, &TarnMain);
  EXPECT_EQ(r.returnValue, 0);
  EXPECT_EQ(g_seen.dialogBlock, "DIALOG-BLOCK");
  EXPECT_EQ(g_seen.archiveDataBase, 1u + 12u);  // method byte + block
  for (const std::string& path : g_seen.auxPath) EXPECT_TRUE(path.empty());
}

TEST(StartUp, AuxiliaryEntriesAreExtractedInOrderAndDeletedAtTheEnd) {
  Installation i;
  i.script = SimpleScript();
  i.hostFlags = 2 | kHostHasRegistrationProgram;
  i.auxEntries[1] = Bytes("registration program");  // entry 5
  i.auxEntries[3] = Bytes("download library");      // entry 7
  i.dialogBlock = Bytes("BLOCK");
  g_run.hooks.beforeRelease = &Observe;
  RunResult r = RunInstallation(i, &TarnMain);
  EXPECT_EQ(r.returnValue, 0);
  ASSERT_TRUE(g_seen.auxExisted[1]);
  ASSERT_TRUE(g_seen.auxExisted[3]);
  EXPECT_EQ(g_seen.auxContent[1], "registration program");
  EXPECT_EQ(g_seen.auxContent[3], "download library");
  std::string name5 = g_seen.auxPath[1].substr(g_seen.auxPath[1].rfind('\\') + 1);
  std::string name7 = g_seen.auxPath[3].substr(g_seen.auxPath[3].rfind('\\') + 1);
  EXPECT_EQ(name5.substr(0, 3), "ZEJ");
  EXPECT_EQ(name7.substr(0, 3), "ZEM");
  EXPECT_EQ(g_seen.dialogBlock, "BLOCK");
  // After the run no extracted file is left behind.
  EXPECT_EQ(GetFileAttributesA(g_seen.auxPath[1].c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA(g_seen.auxPath[3].c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(StartUp, RegistrationEntryIsSkippedWithoutItsFlag) {
  // Without host flag 0x20000 entry 5 is not read, so its bytes are taken for the
  // dialog block: the archive layout follows the flags, not the data.
  Installation i;
  i.script = SimpleScript();
  i.auxEntries[1] = Bytes("XY");
  i.dialogBlock = Bytes("BLOCK");
  g_run.hooks.beforeRelease = &Observe;
  RunInstallation(i, &TarnMain);
  EXPECT_TRUE(g_seen.auxPath[1].empty());
  EXPECT_EQ(g_seen.dialogBlock.substr(0, 2), "XY");
}

TEST(StartUp, UnloadableTransformLibraryFailsAtOnce) {
  Installation i;
  i.script = SimpleScript();
  i.hostFlags = 2 | kHostHasTransformLibrary;
  i.auxEntries[0] = Bytes("not a library");
  RunResult r = RunInstallation(i, &TarnMain);
  EXPECT_EQ(r.returnValue, 1);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_STREQ(g_run.errorText, "Internal Error");
  // The host keeps its window: the engine tears nothing of the host down.
  EXPECT_FALSE(r.hostWindowDestroyed);
  EXPECT_TRUE(r.titlesSet.empty());
  // The extracted file does not outlive the failed start.
  EXPECT_EQ(GetFileAttributesA(g_run.auxPath[0]), INVALID_FILE_ATTRIBUTES);
}

TEST(StartUp, HostThroughTheRealDll) {
  const char* dll = std::getenv("TARN_DLL");
  ASSERT_NE(dll, nullptr) << "TARN_DLL names the engine DLL";
  HMODULE engine = LoadLibraryA(dll);
  ASSERT_NE(engine, nullptr) << dll;
  auto tarnMain = reinterpret_cast<test::TarnMainFunction>(GetProcAddress(engine, "TarnMain"));
  ASSERT_NE(tarnMain, nullptr);
  EXPECT_NE(GetProcAddress(engine, "_BannerDlg@16"), nullptr);
  Installation i;
  i.script = SimpleScript();
  i.commandLine = "/T";
  RunResult r = RunInstallation(i, tarnMain);
  EXPECT_EQ(r.returnValue, 0);
  EXPECT_EQ(r.exitCode, 1);
  ASSERT_FALSE(r.titlesSet.empty());
  EXPECT_EQ(r.titlesSet.back(), "Start-up Test");
  ASSERT_TRUE(r.messageTableSeen);
  EXPECT_EQ(r.messages[53], "message 53");
  EXPECT_TRUE(r.scriptEndMarked);
  FreeLibrary(engine);
}

}  // namespace
}  // namespace tarn
