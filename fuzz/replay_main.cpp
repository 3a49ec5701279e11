// Runs fuzz targets over saved inputs when the compiler has no libFuzzer (gcc):
// every argument is a file or a folder of files, each fed once.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

int RunFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    return 1;
  }
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int failures = 0;
  size_t runs = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!arg.empty() && arg[0] == '-') continue;  // libFuzzer options mean nothing here
    struct stat st {};
    if (stat(arg.c_str(), &st) != 0) {
      std::fprintf(stderr, "no such input: %s\n", arg.c_str());
      ++failures;
      continue;
    }
    if (S_ISDIR(st.st_mode)) {
      DIR* dir = opendir(arg.c_str());
      if (dir == nullptr) {
        ++failures;
        continue;
      }
      while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        failures += RunFile(arg + "/" + name);
        ++runs;
      }
      closedir(dir);
    } else {
      failures += RunFile(arg);
      ++runs;
    }
  }
  std::printf("replayed %zu inputs\n", runs);
  return failures == 0 && runs > 0 ? 0 : 1;
}
