// Runs a fuzz target's entry function over saved inputs, without libFuzzer,
// so that every build (gcc included) replays the seed corpus and every input
// that once broke the code. Arguments are files or directories of files; a
// directory that does not exist holds no inputs.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void Replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)),
                          std::istreambuf_iterator<char>());
  std::printf("replay %s (%zu bytes)\n", file.string().c_str(), bytes.size());
  std::fflush(stdout);
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                         bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path path(argv[i]);
    if (std::filesystem::is_directory(path)) {
      // Sorted, so that a failure is reported at the same input every time.
      std::vector<std::filesystem::path> files;
      for (const auto& entry : std::filesystem::directory_iterator(path)) {
        if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') {
          files.push_back(entry.path());
        }
      }
      std::sort(files.begin(), files.end());
      for (const auto& file : files) Replay(file);
      replayed += files.size();
    } else if (std::filesystem::is_regular_file(path)) {
      Replay(path);
      ++replayed;
    }
  }
  std::printf("%zu inputs replayed, every property held\n", replayed);
  return 0;
}
