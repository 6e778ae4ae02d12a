// Sets up just enough of a run for routines to be called directly, without TarnMain:
// a host record with the host's checksum, the variable store with the directory
// variables, the work buffers and a message table. Everything is released afterwards.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/entry/run_state.h"
#include "engine/script/script_format.h"
#include "engine/script/variables.h"
#include "host/archive_codec.h"

namespace tarn::test {

class EngineFixture {
 public:
  EngineFixture() {
    ResetRunState();
    g_run.host = &host_;
    host_.checksum = &HostChecksum;
    host_.archiveHandle = INVALID_HANDLE_VALUE;
    SetCodecHostRecord(&host_);
    g_run.variables = variables_.get();
    ClearVariables(*variables_);
    WriteSlotDirect(*variables_, 2, "%%", "%");
    char directory[MAX_PATH];
    GetWindowsDirectoryA(directory, sizeof directory);
    WriteSlotDirect(*variables_, 3, "%WIN%", directory);
    GetSystemDirectoryA(directory, sizeof directory);
    WriteSlotDirect(*variables_, 4, "%SYS%", directory);
    variables_->count = 5;
    g_run.textBuffer = text_.data();
    g_run.dataBuffer = data_.data();
    for (int i = 0; i < 54; ++i) {
      messages_.push_back("message " + std::to_string(i));
      table_[i] = messages_.back().data();
    }
    table_[0] = const_cast<char*>("Cannot create %s.");
    table_[26] = const_cast<char*>("Cannot open %s.");
    g_run.messageTable = table_;
    g_run.platform.isWinNT = true;
    g_run.hostInstance = GetModuleHandleA(nullptr);
    g_run.current = opcode_;
  }
  ~EngineFixture() {
    g_run.messageTable = nullptr;
    g_run.variables = nullptr;
    g_run.textBuffer = g_run.dataBuffer = nullptr;
    ResetRunState();
  }
  // The opcode of the record the routines believe they run for.
  void SetCurrentOpcode(uint8_t opcode) { opcode_[0] = opcode; }
  HostRecord& host() { return host_; }

 private:
  HostRecord host_{};
  std::unique_ptr<VariableStore> variables_ = std::make_unique<VariableStore>();
  std::vector<char> text_ = std::vector<char>(kWorkBufferSize);
  std::vector<char> data_ = std::vector<char>(kWorkBufferSize);
  std::vector<std::string> messages_;
  char* table_[54] = {};
  uint8_t opcode_[2] = {OP_FILLER, 0};
};

inline std::string ReadWholeFile(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string content(GetFileSize(file, nullptr), '\0');
  DWORD got = 0;
  ReadFile(file, content.data(), static_cast<DWORD>(content.size()), &got, nullptr);
  CloseHandle(file);
  return content;
}

inline void WriteWholeFile(const std::string& path, const std::string& content) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
}

inline bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace tarn::test
