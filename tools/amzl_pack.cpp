// amzl_pack <input> <output>: packs a file into an "amzl" container for the
// installer's resources. The container is decoded again and compared with the
// input before it is written, so a broken packer can never reach a build.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "payload/amzl.h"

namespace {

bool ReadFile(const char* path, std::vector<uint8_t>& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool WriteFile(const char* path, const std::vector<uint8_t>& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  out.close();
  return !out.fail();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: amzl_pack <input> <output>\n");
    return 2;
  }
  const char* inputPath = argv[1];
  const char* outputPath = argv[2];

  std::vector<uint8_t> input;
  if (!ReadFile(inputPath, input)) {
    std::fprintf(stderr, "amzl_pack: cannot read %s\n", inputPath);
    return 1;
  }
  if (input.empty()) {
    std::fprintf(stderr, "amzl_pack: %s is empty; an empty container cannot be unpacked\n",
                 inputPath);
    return 1;
  }

  std::vector<uint8_t> container;
  if (!lum::BuildContainer(input.data(), input.size(), container)) {
    std::fprintf(stderr, "amzl_pack: packing %s failed (encoder error or larger than 4 GiB)\n",
                 inputPath);
    return 1;
  }

  std::vector<uint8_t> check;
  const int code = lum::DecodeContainer(container.data(), container.size(), check);
  if (code != lum::kContainerOk || check != input) {
    std::fprintf(stderr, "amzl_pack: verification of the packed data failed: %d (%s)\n", code,
                 lum::ContainerCodeText(code));
    return 1;
  }

  if (!WriteFile(outputPath, container)) {
    std::fprintf(stderr, "amzl_pack: cannot write %s\n", outputPath);
    std::remove(outputPath);
    return 1;
  }
  std::printf("amzl_pack: %s: %zu -> %zu bytes (%.1f%%)\n", inputPath, input.size(),
              container.size(), 100.0 * static_cast<double>(container.size()) / input.size());
  return 0;
}
