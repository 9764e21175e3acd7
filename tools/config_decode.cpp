// Host tool: the product side of the configuration cipher. It turns a stored
// record (the promotion tips' "Config", the theme record's "ext", the business
// hash record's "Hash") back into its JSON, as the product does when it reads
// the record.
//
//   config_decode [--record tips|theme|hash | --key KEY] [TEXT]
//       Deciphers TEXT (or standard input when TEXT is not given; blanks and
//       line ends are ignored) and prints the plain text. The record names
//       the key; without one the promotion tips' key is used. Exit 1 when the
//       text is not a record of the cipher, 2 for usage errors.
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>

#include "browser/config_cipher.h"
#include "install/product_records.h"

int main(int argc, char** argv) {
  std::string key = lum::ProductRecordKey(lum::ProductRecord::kPromoTips);
  std::string text;
  bool haveText = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    lum::ProductRecord record;
    if (arg == "--key" && i + 1 < argc) {
      key = argv[++i];
    } else if (arg == "--record" && i + 1 < argc && lum::ProductRecordByName(argv[i + 1], &record)) {
      key = lum::ProductRecordKey(record);
      ++i;
    } else if (!haveText && arg.rfind("--", 0) != 0) {
      text = arg;
      haveText = true;
    } else {
      std::fprintf(stderr, "usage: config_decode [--record tips|theme|hash | --key KEY] [TEXT]\n");
      return 2;
    }
  }
  if (!haveText)
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  std::string plain;
  if (!lum::DecipherConfig(text, key, &plain)) {
    std::fprintf(stderr, "config_decode: not a record of the configuration cipher\n");
    return 1;
  }
  std::fwrite(plain.data(), 1, plain.size(), stdout);
  std::fputc('\n', stdout);
  return 0;
}
