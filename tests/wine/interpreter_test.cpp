// The interpreter through TarnMain: small compiled scripts whose landmark records show
// which branches, loops and sections ran.
#include <gtest/gtest.h>
#include <windows.h>
#undef MessageBox  // the script writer's record helper, not the Windows macro

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "builder/script_writer.h"
#include "engine/entry/run_state.h"
#include "engine/script/condition.h"
#include "engine/script/script_format.h"
#include "engine/script/variables.h"
#include "tests/support/test_host.h"

extern "C" int __stdcall TarnMain(tarn::HostRecord*, const char*, int32_t*, char*, char*);

namespace tarn {
namespace {

constexpr uint8_t kLoop = kConditionLoop;
constexpr uint8_t kTestAtEnd = kConditionTestAtEnd;

ScriptHeaderFields Header() {
  ScriptHeaderFields h;
  LanguageTexts l = test::EnglishTexts("Interpreter Test");
  h.languages.push_back(l);
  return h;
}

// What one run did: the landmarks it passed, every opcode it executed, and how it ended.
struct Trace {
  std::vector<std::string> marks;
  std::vector<int> opcodes;
  int returnValue = -1;
  std::string errorText;
  std::vector<uint8_t> scriptAtEnd;  // the script bytes as the run left them
};
Trace g_trace;

// Landmarks act too: "+NAME" adds 1 to variable NAME (a step that changes a variable),
// "cancel" cancels the run as the user's cancel button does.
void OnRecord(const uint8_t* record) {
  g_trace.opcodes.push_back(*record);
  if (*record != OP_SKIPPED_TEXTS) return;
  std::string label = reinterpret_cast<const char*>(record + 2);
  g_trace.marks.push_back(label);
  if (label[0] == '+') {
    char value[256];
    GetVariable(*g_run.variables, label.c_str() + 1, value, sizeof value);
    SetVariable(*g_run.variables, label.c_str() + 1, std::to_string(std::atoi(value) + 1).c_str());
  } else if (label == "cancel") {
    g_run.host->cancelState = kCancelUser;
  }
}

void BeforeRelease() {
  g_trace.errorText = g_run.errorText;
  g_trace.scriptAtEnd.assign(g_run.script, g_run.script + g_run.scriptLength);
}

using Build = std::function<void(ScriptWriter&, test::Installation&)>;

Trace RunScript(const Build& build, const std::string& commandLine = "") {
  ScriptWriter w(Header());
  test::Installation installation;
  installation.commandLine = commandLine;
  build(w, installation);
  installation.script = w.bytes();
  g_trace = Trace{};
  g_run.hooks.onRecord = &OnRecord;
  g_run.hooks.beforeRelease = &BeforeRelease;
  g_trace.returnValue = test::RunInstallation(installation, &TarnMain).returnValue;
  return g_trace;
}

using Marks = std::vector<std::string>;

struct FlowCase {
  const char* what;
  const char* commandLine;  // %CMDLINE% is the variable the conditions test
  Build build;
  Marks marks;
};

void Check(const FlowCase& c) {
  Trace t = RunScript(c.build, c.commandLine);
  EXPECT_EQ(t.marks, c.marks) << c.what;
  EXPECT_EQ(t.returnValue, 0) << c.what;
  EXPECT_EQ(t.errorText, "") << c.what;
}

TEST(Interpreter, ConditionsAndBranches) {
  const FlowCase cases[] = {
      {"operator 4 ignores case, operator 0 does not", "Yes",
       [](ScriptWriter& w, test::Installation&) {
         w.If(4, "CMDLINE", "yes"), w.Marker("4"), w.End();
         w.If(0, "CMDLINE", "yes"), w.Marker("0"), w.End();
         w.Marker("after");
       },
       {"4", "after"}},
      {"IF false, ELSE IF true, ELSE", "b",
       [](ScriptWriter& w, test::Installation&) {
         w.If(0, "CMDLINE", "a"), w.Marker("if");
         w.ElseIf(0, "CMDLINE", "b"), w.Marker("elseif");
         w.Else(), w.Marker("else");
         w.End(), w.Marker("after");
       },
       {"elseif", "after"}},
      {"IF true with ELSE IF and ELSE", "a",
       [](ScriptWriter& w, test::Installation&) {
         w.If(0, "CMDLINE", "a"), w.Marker("if");
         w.ElseIf(0, "CMDLINE", "a"), w.Marker("elseif");
         w.Else(), w.Marker("else");
         w.End(), w.Marker("after");
       },
       {"if", "after"}},
      {"every condition false: the ELSE runs", "z",
       [](ScriptWriter& w, test::Installation&) {
         w.If(0, "CMDLINE", "a"), w.Marker("if");
         w.ElseIf(0, "CMDLINE", "b"), w.Marker("elseif b");
         w.ElseIf(0, "CMDLINE", "c"), w.Marker("elseif c");
         w.Else(), w.Marker("else");
         w.End(), w.Marker("after");
       },
       {"else", "after"}},
      {"the second ELSE IF of a chain", "c",
       [](ScriptWriter& w, test::Installation&) {
         w.If(0, "CMDLINE", "a"), w.Marker("if");
         w.ElseIf(0, "CMDLINE", "b"), w.Marker("elseif b");
         w.ElseIf(0, "CMDLINE", "c"), w.Marker("elseif c");
         w.ElseIf(1, "CMDLINE", "x"), w.Marker("elseif not x");
         w.End(), w.Marker("after");
       },
       {"elseif c", "after"}},
      {"a nested IF in a skipped block", "",
       [](ScriptWriter& w, test::Installation&) {
         w.If(0, "CMDLINE", "x"), w.Marker("outer");
         w.If(0, "CMDLINE", ""), w.Marker("inner"), w.Else(), w.Marker("inner else"), w.End();
         w.Marker("outer tail");
         w.Else(), w.Marker("else");
         w.End(), w.Marker("after");
       },
       {"else", "after"}},
      {"a nested block in a skipped ELSE", "",
       [](ScriptWriter& w, test::Installation&) {
         w.If(0, "CMDLINE", ""), w.Marker("if");
         w.Else(), w.If(0, "CMDLINE", ""), w.Marker("inner"), w.End(), w.Marker("else tail");
         w.End(), w.Marker("after");
       },
       {"if", "after"}},
      {"versions: 2.10 > 2.9, 3.1 < 3.1.1, dates by year", "2.10",
       [](ScriptWriter& w, test::Installation&) {
         w.If(6, "CMDLINE", "2.9"), w.Marker("2.10 > 2.9"), w.End();
         w.If(8, "CMDLINE", "2.10.1"), w.Marker("2.10 < 2.10.1"), w.End();
         w.If(9, "CMDLINE", "1.0b"), w.Marker("wrong"), w.End();
       },
       {"2.10 > 2.9", "2.10 < 2.10.1"}},
      {"dates: 12/31/99 is less than 01/01/00", "12/31/99",
       [](ScriptWriter& w, test::Installation&) {
         w.If(8, "CMDLINE", "01/01/00"), w.Marker("before 2000"), w.End();
         w.If(7, "CMDLINE", "01/01/99"), w.Marker("not before 1999"), w.End();
       },
       {"before 2000", "not before 1999"}},
      {"operators 10, 11 and 12 with empty texts", "",
       [](ScriptWriter& w, test::Installation&) {
         w.If(10, "CMDLINE", ""), w.Marker("10"), w.End();
         w.If(11, "CMDLINE", "abc"), w.Marker("11"), w.End();
         w.If(12, "CMDLINE", "0"), w.Marker("12"), w.End();
       },
       {"12"}},
      {"operator 13 evaluates its expanded text", "",
       [](ScriptWriter& w, test::Installation&) {
         w.If(13, "", "\"%LANG%\" \x80 7 \xA2"), w.Marker("length of English is 7"), w.End();
         w.If(13, "", "1 2"), w.Marker("no result is false"), w.End();
       },
       {"length of English is 7"}},
      {"a message box block in a silent run takes its first answer", "",
       [](ScriptWriter& w, test::Installation&) {
         w.MessageBox(0x01, {{"caption", "question"}}), w.Marker("yes"), w.Else(), w.Marker("no"), w.End();
         w.MessageBox(0x00, {{"caption", "notice"}}), w.Marker("after");
       },
       {"yes", "after"}},
      {"an exit step ends the script", "",
       [](ScriptWriter& w, test::Installation&) { w.Marker("a"), w.Exit(), w.Marker("b"); },
       {"a"}},
      {"the end marker reached while skipping ends the run normally", "",
       [](ScriptWriter& w, test::Installation&) { w.Marker("a"), w.If(0, "CMDLINE", "x"), w.Marker("b"); },
       {"a"}},
  };
  for (const FlowCase& c : cases) Check(c);
}

TEST(Interpreter, LoopsTestEveryPass) {
  const FlowCase cases[] = {
      {"a WHILE whose body changes its variable", "",
       [](ScriptWriter& w, test::Installation&) {
         w.If(kLoop | 13, "", "N 3 \xA4"), w.Marker("+N"), w.End(true);
         w.Marker("after");
       },
       {"+N", "+N", "+N", "after"}},
      {"a WHILE that is false at once", "",
       [](ScriptWriter& w, test::Installation&) {
         w.If(kLoop | 0, "CMDLINE", "x"), w.Marker("body"), w.End(true);
         w.Marker("after");
       },
       {"after"}},
      {"a test-at-end loop runs once although false, and again on the next entry", "",
       [](ScriptWriter& w, test::Installation&) {
         w.If(kLoop | 13, "", "M 2 \xA4"), w.Marker("+M");
         w.If(kLoop | kTestAtEnd | 0, "CMDLINE", "x"), w.Marker("body"), w.End(true);
         w.End(true), w.Marker("after");
       },
       {"+M", "body", "+M", "body", "after"}},
      {"a test-at-end loop that is true repeats", "",
       [](ScriptWriter& w, test::Installation&) {
         w.If(kLoop | kTestAtEnd | 13, "", "K 3 \xA4"), w.Marker("+K"), w.End(true);
         w.Marker("after");
       },
       {"+K", "+K", "+K", "after"}},
      {"32 nested loops fit on the loop stack", "",
       [](ScriptWriter& w, test::Installation&) {
         for (int i = 0; i < 32; ++i) w.If(kLoop | kTestAtEnd | 0, "CMDLINE", "x");
         w.Marker("innermost");
         for (int i = 0; i < 32; ++i) w.End(true);
         w.Marker("after");
       },
       {"innermost", "after"}},
  };
  for (const FlowCase& c : cases) Check(c);
}

TEST(Interpreter, TestAtEndLoopLeavesItsConditionByteAsFound) {
  size_t loop = 0;
  Trace t = RunScript([&](ScriptWriter& w, test::Installation&) {
    loop = w.If(kLoop | kTestAtEnd | 0, "CMDLINE", "x");
    w.Marker("body"), w.End(true);
  });
  ASSERT_GT(t.scriptAtEnd.size(), loop + 1);
  EXPECT_EQ(t.scriptAtEnd[loop + 1], kLoop | kTestAtEnd);
}

TEST(Interpreter, FillerRunsPassInOneGo) {
  Trace t = RunScript([](ScriptWriter& w, test::Installation&) {
    for (int i = 0; i < 5; ++i) w.Filler();
    w.Marker("after fillers");
    w.Filler();
    w.Marker("after one");
  });
  EXPECT_EQ(t.marks, (Marks{"after fillers", "after one"}));
  EXPECT_EQ(t.opcodes, (std::vector<int>{OP_FILLER, OP_SKIPPED_TEXTS, OP_FILLER, OP_SKIPPED_TEXTS}));
  EXPECT_EQ(t.returnValue, 0);
}

TEST(Interpreter, ExitAndAbortSectionsRunOnce) {
  struct SectionCase {
    const char* what;
    std::vector<const char*> main;  // landmarks; "invalid" is opcode 14
    std::vector<const char*> exitSection;
    std::vector<const char*> abortSection;
    Marks marks;
    int returnValue;
  } cases[] = {
      {"exit section after a normal end", {"main"}, {"exit"}, {"abort"}, {"main", "exit"}, 0},
      {"abort section after a cancel", {"main", "cancel", "not reached"}, {"exit"}, {"abort"},
       {"main", "cancel", "abort"}, 1},
      {"abort section after an invalid record", {"main", "invalid"}, {"exit"}, {"abort"}, {"main", "abort"}, 1},
      {"an aborted exit section runs no abort section", {"main"}, {"exit", "cancel"}, {"abort"},
       {"main", "exit", "cancel"}, 1},
      {"an abort section that aborts runs once", {"main", "cancel"}, {"exit"}, {"abort", "cancel"},
       {"main", "cancel", "abort", "cancel"}, 1},
  };
  for (const SectionCase& c : cases) {
    auto emit = [](ScriptWriter& w, const std::vector<const char*>& marks) {
      size_t first = w.offset();
      for (const char* m : marks) {
        if (std::string(m) == "invalid") {
          w.AppendRaw({14});
        } else {
          w.Marker(m);
        }
      }
      w.Exit();
      return first;
    };
    Trace t = RunScript([&](ScriptWriter& w, test::Installation& i) {
      emit(w, c.main);
      i.exitSectionOffset = static_cast<uint32_t>(emit(w, c.exitSection));
      i.abortSectionOffset = static_cast<uint32_t>(emit(w, c.abortSection));
    });
    EXPECT_EQ(t.marks, c.marks) << c.what;
    EXPECT_EQ(t.returnValue, c.returnValue) << c.what;
  }
}

TEST(Interpreter, BrokenScriptsEndWithMessage7) {
  const struct {
    const char* what;
    Build build;
    Marks marks;
  } cases[] = {
      {"an invalid opcode in sequence",
       [](ScriptWriter& w, test::Installation&) { w.Marker("a"), w.AppendRaw({33}), w.Marker("b"); }, {"a"}},
      {"an invalid opcode inside a skipped block",
       [](ScriptWriter& w, test::Installation&) {
         w.If(0, "CMDLINE", "x"), w.AppendRaw({1}), w.End(), w.Marker("after");
       },
       {}},
      {"a loop END with no loop open",
       [](ScriptWriter& w, test::Installation&) { w.Marker("a"), w.End(true), w.Marker("b"); }, {"a"}},
      {"33 nested loops",
       [](ScriptWriter& w, test::Installation&) {
         for (int i = 0; i < 33; ++i) w.If(kLoop | kTestAtEnd | 0, "CMDLINE", "x");
         w.Marker("innermost");
         for (int i = 0; i < 33; ++i) w.End(true);
       },
       {}},
      {"a record running past the end while skipping",
       [](ScriptWriter& w, test::Installation&) {
         w.If(0, "CMDLINE", "x"), w.AppendRaw({OP_CREATE_DIRECTORY, 'a'});
       },
       {}},
  };
  for (const auto& c : cases) {
    Trace t = RunScript(c.build);
    EXPECT_EQ(t.marks, c.marks) << c.what;
    EXPECT_EQ(t.returnValue, 1) << c.what;
    EXPECT_EQ(t.errorText, "message 7") << c.what;
  }
}

TEST(Interpreter, ControllerServiceNameWaitsAtTheFirstRecordUntilCancelled) {
  struct Canceller {
    // Cancels 700 ms after the run has come to wait at its stop point; a loaded machine
    // may take longer than that to start the run at all.
    static DWORD WINAPI After700ms(void*) {
      for (int i = 0; i < 1000 && !(g_run.host != nullptr && g_run.stops.paused); ++i) Sleep(10);
      Sleep(700);
      if (g_run.host != nullptr) g_run.host->cancelState = kCancelUser;
      return 0;
    }
  };
  HANDLE canceller = CreateThread(nullptr, 0, &Canceller::After700ms, nullptr, CREATE_SUSPENDED, nullptr);
  DWORD started = 0;
  Trace t = RunScript(
      [&](ScriptWriter& w, test::Installation&) {
        w.Marker("first");
        w.Marker("second");
        started = GetTickCount();
        ResumeThread(canceller);
      },
      "/M2=debugger");
  DWORD elapsed = GetTickCount() - started;
  WaitForSingleObject(canceller, INFINITE);
  CloseHandle(canceller);
  EXPECT_EQ(t.marks, Marks{});
  EXPECT_EQ(t.returnValue, 1);
  EXPECT_GE(elapsed, 600u);
}

}  // namespace
}  // namespace tarn
