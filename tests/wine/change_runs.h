// Shared by the registry, INI and system-information tests: a script header, a run
// through TarnMain with its log in a fresh directory, and the log's records.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "builder/script_writer.h"
#include "engine/entry/run_state.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/test_host.h"

extern "C" int __stdcall TarnMain(tarn::HostRecord*, const char*, int32_t*, char*, char*);

namespace tarn::test {

inline ScriptHeaderFields ChangeHeader(const std::string& logPath, const std::string& userKeyName = "") {
  ScriptHeaderFields h;
  h.logPath = logPath;
  h.userKeyName = userKeyName;
  LanguageTexts l = EnglishTexts("Change Test");
  h.languages.push_back(l);
  return h;
}

// The records of a log: everything after the header's "Source:" line, without the
// administrator line that ends runs on the NT family.
inline std::string LogRecords(const std::string& log) {
  size_t source = log.find("\r\nSource: ");
  if (source == std::string::npos) return "<no header>";
  std::string records = log.substr(log.find("\r\n", source + 2) + 2);
  const std::string admin = "User Rights: Admin\r\n";
  if (records.size() >= admin.size() && records.compare(records.size() - admin.size(), admin.size(), admin) == 0) {
    records.resize(records.size() - admin.size());
  }
  return records;
}

struct LoggedRun {
  RunResult result;
  std::string records;
};

inline LoggedRun RunLogged(const std::string& userKeyName, const std::function<void(ScriptWriter&)>& build,
                           const std::string& commandLine = "") {
  std::string log = MakeTempDirectory("chg") + "\\INSTALL.LOG";
  ScriptWriter w(ChangeHeader(log, userKeyName));
  build(w);
  Installation i;
  i.script = w.bytes();
  i.commandLine = commandLine;
  LoggedRun run;
  run.result = RunInstallation(i, &TarnMain);
  run.records = LogRecords(ReadWholeFile(log));
  return run;
}

}  // namespace tarn::test
