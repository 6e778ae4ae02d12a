// tarnbuild: compiles an installation script and its payload into a setup program.
//
//   tarnbuild SCRIPT -o SETUP.EXE --stub tarnhost.exe --engine TARN0132.dll
//   tarnbuild SCRIPT --script-out COMPILED.BIN
//   tarnbuild --dump COMPILED.BIN|SETUP.EXE
#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "builder/script_language.h"
#include "builder/setup_file.h"

namespace {

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Writes through a temporary name so that a failed build never leaves a half-written file.
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::string temporary = path + ".partial";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) return false;
  }
  std::remove(path.c_str());
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

bool LoadPayload(const std::string& base, const std::string& name, tarn::PayloadFile* file) {
  std::string path = (name.size() > 1 && (name[0] == '/' || name[1] == ':')) ? name : base + name;
  if (!ReadFileBytes(path, &file->data)) return false;
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) {
    std::time_t written = info.st_mtime;
    std::tm* local = std::localtime(&written);
    if (local != nullptr && local->tm_year >= 80) {
      file->dosDate = static_cast<uint16_t>(((local->tm_year - 80) << 9) | ((local->tm_mon + 1) << 5) | local->tm_mday);
      file->dosTime = static_cast<uint16_t>((local->tm_hour << 11) | (local->tm_min << 5) | (local->tm_sec / 2));
    }
  }
  return true;
}

int Usage() {
  std::cerr << "usage: tarnbuild SCRIPT -o SETUP.EXE --stub STUB.EXE --engine TARN0132.DLL\n"
               "       tarnbuild SCRIPT --script-out COMPILED.BIN\n"
               "       tarnbuild --dump COMPILED.BIN|SETUP.EXE\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 2 && args[0] == "--dump") {
    std::vector<uint8_t> bytes, script;
    if (!ReadFileBytes(args[1], &bytes)) {
      std::cerr << args[1] << ": cannot be read\n";
      return 1;
    }
    if (!tarn::ExtractScript(bytes, &script)) script = bytes;
    std::cout << tarn::DumpScript(script);
    return 0;
  }
  std::string source, output, stub, engine, scriptOut;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool hasValue = i + 1 < args.size();
    if (a == "-o" && hasValue) output = args[++i];
    else if (a == "--stub" && hasValue) stub = args[++i];
    else if (a == "--engine" && hasValue) engine = args[++i];
    else if (a == "--script-out" && hasValue) scriptOut = args[++i];
    else if (!a.empty() && a[0] != '-' && source.empty()) source = a;
    else return Usage();
  }
  if (source.empty() || (output.empty() && scriptOut.empty())) return Usage();
  if (!output.empty() && (stub.empty() || engine.empty())) return Usage();

  std::vector<uint8_t> text;
  if (!ReadFileBytes(source, &text)) {
    std::cerr << source << ": cannot be read\n";
    return 1;
  }
  std::string base = DirectoryOf(source);
  tarn::CompiledSetup setup;
  tarn::BuildError error;
  auto load = [&](const std::string& name, tarn::PayloadFile* file) { return LoadPayload(base, name, file); };
  if (!tarn::CompileSetup(std::string(text.begin(), text.end()), source, load, &setup, &error)) {
    std::cerr << error.Text() << "\n";
    return 1;
  }
  if (!scriptOut.empty() && !WriteFileBytes(scriptOut, setup.script)) {
    std::cerr << scriptOut << ": cannot be written\n";
    return 1;
  }
  if (!output.empty()) {
    std::vector<uint8_t> stubBytes, engineBytes;
    if (!ReadFileBytes(stub, &stubBytes) || stubBytes.empty()) {
      std::cerr << stub << ": cannot be read\n";
      return 1;
    }
    if (!ReadFileBytes(engine, &engineBytes) || engineBytes.empty()) {
      std::cerr << engine << ": cannot be read\n";
      return 1;
    }
    std::vector<std::vector<uint8_t>> files =
        tarn::SplitSetup(tarn::AssembleSetup(stubBytes, engineBytes, setup), setup.diskSize);
    for (size_t i = 0; i < files.size(); ++i) {
      char part[16];
      std::snprintf(part, sizeof part, "SETUP.W%02zu", i + 1);
      std::string path = i == 0 ? output : DirectoryOf(output) + part;
      if (!WriteFileBytes(path, files[i])) {
        std::cerr << path << ": cannot be written\n";
        return 1;
      }
      if (i > 0) std::cout << path << "\n";
    }
    std::cout << output << ": " << setup.script.size() << " bytes of script, " << setup.fileData.size()
              << " bytes of packed files\n";
  }
  return 0;
}
