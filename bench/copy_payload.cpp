// The platform's limit for an installation: copies a folder tree with CopyFileA and
// nothing else (no archive, no decompression, no checksum, no log).
//   copy_payload.exe SOURCE_DIR DEST_DIR
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

bool CopyTree(const std::string& from, const std::string& to) {
  CreateDirectoryA(to.c_str(), nullptr);
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((from + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  do {
    std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    std::string source = from + "\\" + name, target = to + "\\" + name;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ok = CopyTree(source, target) && ok;
    } else if (!CopyFileA(source.c_str(), target.c_str(), FALSE)) {
      std::fprintf(stderr, "cannot copy %s (error %lu)\n", source.c_str(), GetLastError());
      ok = false;
    }
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: copy_payload SOURCE_DIR DEST_DIR\n");
    return 2;
  }
  return CopyTree(argv[1], argv[2]) ? 0 : 1;
}
