// The script steps that the interpreter dispatches to other parts of the engine. Each
// receives the current record (the address of its opcode byte; the run-program step gets
// the byte after it) and returns 0 to go on; -2 aborts the run, and how the interpreter
// treats any other value is fixed per opcode in its dispatch table (run_loop.cpp).
#pragma once
#include <cstdint>

namespace tarn {

using StepHandler = int (*)(const uint8_t* record);

int InstallFileStep(const uint8_t* record);        // opcodes 0 and 18
int ProgmanCommandStep(const uint8_t* record);     // 4
int EditIniSectionStep(const uint8_t* record);     // 5
int DisplayGraphicStep(const uint8_t* record);     // 6
int RunProgramStep(const uint8_t* fields);         // 7: the byte after the opcode
int CallFunctionStep(const uint8_t* record);       // 9
int EditRegistryStep(const uint8_t* record);       // 10
int DeleteFilesStep(const uint8_t* record);        // 11
int BeginProgmanStep(const uint8_t* record);       // 15
int EndProgmanStep(const uint8_t* record);         // 16
int CreateDirectoryStep(const uint8_t* record);    // 17
int CustomDialogStep(const uint8_t* record);       // 20
int GetSystemInfoStep(const uint8_t* record);      // 21
int GetTempFileNameStep(const uint8_t* record);    // 22
int OdbcInstallDriverStep(const uint8_t* record);  // 25
int OdbcConfigSourceStep(const uint8_t* record);   // 26
int AddLogTextStep(const uint8_t* record);         // 28
int RenameFileStep(const uint8_t* record);         // 29
int LogControlStep(const uint8_t* record);         // 30

}  // namespace tarn
