// Unpack throughput of "amzl" containers against raw liblzma on the same data.
//
//   amzl_bench [MB]    (default 64)
//
// Makes MB of deterministic mixed data (text-like lines, incompressible bytes
// from a fixed-seed generator, and runs of repeated records), packs it with the
// build's container packer, then times three things over the same LZMA data:
// DecodeContainer (decode + size checks + MD5), a bare lzma_raw_decoder pass
// into a preallocated buffer, and MD5 alone. Prints MB/s of unpacked bytes,
// best of three runs, by wall clock and by process CPU time (the second holds
// steady on a busy machine). Figures only: nothing passes or fails on time.
#include <lzma.h>
#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "payload/amzl.h"

namespace {

using Clock = std::chrono::steady_clock;

// xorshift64*: fixed seed, the same bytes on every run and machine.
struct Rng {
  uint64_t s = 0x9E3779B97F4A7C15ull;
  uint64_t Next() {
    s ^= s >> 12;
    s ^= s << 25;
    s ^= s >> 27;
    return s * 2685821657736338717ull;
  }
};

std::vector<uint8_t> MakeMixedData(size_t size) {
  Rng rng;
  std::vector<std::string> words;
  for (int i = 0; i < 2000; ++i) {
    std::string w;
    for (uint64_t n = 2 + rng.Next() % 10; n > 0; --n) w += static_cast<char>('a' + rng.Next() % 26);
    words.push_back(w);
  }
  std::vector<uint8_t> out;
  out.reserve(size);
  constexpr size_t kBlock = 256 * 1024;
  for (uint64_t block = 0; out.size() < size; ++block) {
    const size_t end = std::min(size, out.size() + kBlock);
    switch (block % 4) {
      case 0:  // incompressible
        while (out.size() < end) out.push_back(static_cast<uint8_t>(rng.Next() >> 56));
        break;
      case 3: {  // records that repeat with small changes, like tables in binaries
        uint8_t record[64];
        for (auto& b : record) b = static_cast<uint8_t>(rng.Next());
        while (out.size() < end) {
          record[rng.Next() % sizeof(record)] = static_cast<uint8_t>(rng.Next());
          out.insert(out.end(), record, record + std::min(sizeof(record), end - out.size()));
        }
        break;
      }
      default:  // text-like lines
        while (out.size() < end) {
          std::string line;
          for (int i = 0; i < 10; ++i) line += words[rng.Next() % words.size()] + ' ';
          line += "= " + std::to_string(rng.Next() % 100000) + ";\r\n";
          out.insert(out.end(), line.begin(), line.begin() + std::min(line.size(), end - out.size()));
        }
    }
  }
  return out;
}

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

double CpuSeconds() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Best wall and CPU time of the runs of one measurement.
struct Best {
  double wall = 1e9, cpu = 1e9;
  template <typename F>
  bool Time(F&& body) {
    const double c0 = CpuSeconds();
    const auto t0 = Clock::now();
    const bool ok = body();
    const auto t1 = Clock::now();
    cpu = std::min(cpu, CpuSeconds() - c0);
    wall = std::min(wall, Seconds(t0, t1));
    return ok;
  }
  void Print(const char* name, double mb, const char* note) const {
    std::printf("%-22s: %8.1f MB/s wall, %8.1f MB/s cpu  (%.3f s, %.3f s cpu)%s\n", name,
                mb / wall, mb / cpu, wall, cpu, note);
  }
};

// The container's LZMA data decoded with liblzma alone: no checks, no digest.
bool RawDecode(const std::vector<uint8_t>& container, std::vector<uint8_t>& out) {
  const uint8_t* props = container.data() + lum::kContainerHeaderSize;
  lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
  if (lzma_properties_decode(&filters[0], nullptr, props, 5) != LZMA_OK) return false;
  lzma_stream s = LZMA_STREAM_INIT;
  const lzma_ret init = lzma_raw_decoder(&s, filters);
  free(filters[0].options);
  if (init != LZMA_OK) return false;
  s.next_in = props + 5;
  s.avail_in = container.size() - lum::kContainerHeaderSize - 5;
  s.next_out = out.data();
  s.avail_out = out.size();
  lzma_ret ret = LZMA_OK;
  while (s.avail_out > 0 && ret == LZMA_OK) ret = lzma_code(&s, LZMA_RUN);
  const bool ok = s.avail_out == 0 && (ret == LZMA_OK || ret == LZMA_STREAM_END);
  lzma_end(&s);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t mb = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
  if (mb == 0 || mb > 1024) {
    std::fprintf(stderr, "usage: amzl_bench [MB 1-1024]\n");
    return 2;
  }
  const std::vector<uint8_t> data = MakeMixedData(mb << 20);
  const double mbs = static_cast<double>(data.size()) / (1 << 20);

  // Packed once with the build's own packer (LZMA preset 9e: slow, by design).
  std::vector<uint8_t> container;
  Best pack;
  if (!pack.Time([&] { return lum::BuildContainer(data.data(), data.size(), container); })) {
    std::fprintf(stderr, "amzl_bench: packing failed\n");
    return 1;
  }
  std::printf("data: %.0f MB mixed, container %.1f MB (ratio %.2f), packed in %.1f s (%.1f s cpu)\n",
              mbs, container.size() / 1048576.0,
              static_cast<double>(data.size()) / container.size(), pack.wall, pack.cpu);

  Best amzl, rawLzma, md5;
  std::vector<uint8_t> raw(data.size());
  for (int run = 0; run < 3; ++run) {
    std::vector<uint8_t> out;
    int code = -1;
    amzl.Time([&] {
      code = lum::DecodeContainer(container.data(), container.size(), out);
      return true;
    });
    if (code != lum::kContainerOk || out != data) {
      std::fprintf(stderr, "amzl_bench: DecodeContainer answered %d (%s)\n", code,
                   lum::ContainerCodeText(code));
      return 1;
    }
    if (!rawLzma.Time([&] { return RawDecode(container, raw); }) || raw != data) {
      std::fprintf(stderr, "amzl_bench: raw liblzma decoding failed\n");
      return 1;
    }
    md5.Time([&] {
      unsigned char digest[EVP_MAX_MD_SIZE];
      unsigned int length = 0;
      return EVP_Digest(data.data(), data.size(), digest, &length, EVP_md5(), nullptr) == 1;
    });
  }
  amzl.Print("amzl DecodeContainer", mbs, ", decode + checks + MD5");
  rawLzma.Print("liblzma raw decoder", mbs, "");
  md5.Print("MD5 alone", mbs, "");
  std::printf("container / raw       : %.2f (cpu time)\n", amzl.cpu / rawLzma.cpu);
  return 0;
}
