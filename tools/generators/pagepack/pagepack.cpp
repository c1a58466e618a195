// pagepack OUT_DIR NAME=FILE...: packs the files a page downloads into
// OUT_DIR/data.bin, with OUT_DIR/data.json saying where each lies and how to
// unpack it. The page unpacks with the browser's own DecompressionStream
// ("deflate-raw"), so the whole show, default data included, downloads in a
// few megabytes from a server that compresses nothing:
//   - an MP3 is stored as it is (it does not compress);
//   - an uncompressed 24- or 32-bit TGA has its rows filtered as PNG filters
//     them (each row by the filter that leaves the smallest residues), then
//     deflated: smooth images shrink to a third of what deflate alone gives;
//   - anything else is deflated.
// Unpacking gives back each file byte for byte.
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

static bool ReadFile(const char* path, std::vector<uint8_t>* bytes) {
  std::FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  uint8_t chunk[65536];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) bytes->insert(bytes->end(), chunk, chunk + n);
  const bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}

static bool Deflate(const std::vector<uint8_t>& in, std::vector<uint8_t>* out) {
  z_stream z = {};
  if (deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK) return false;  // raw deflate
  out->resize(deflateBound(&z, uLong(in.size())));
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = uInt(in.size());
  z.next_out = out->data();
  z.avail_out = uInt(out->size());
  const int result = deflate(&z, Z_FINISH);
  out->resize(z.total_out);
  deflateEnd(&z);
  return result == Z_STREAM_END;
}

static int Paeth(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
}

// The pixel rows of an uncompressed true-colour TGA with nothing after them,
// filtered: the header as it is, then per row a filter byte (0 none, 1 sub,
// 2 up, 3 average, 4 Paeth) and the row's residues. False for any other file.
static bool FilterTga(const std::vector<uint8_t>& tga, std::vector<uint8_t>* out) {
  if (tga.size() < 18 || tga[1] != 0 || tga[2] != 2 || (tga[16] != 24 && tga[16] != 32)) return false;
  const size_t pixelBytes = tga[16] / 8, width = tga[12] | tga[13] << 8, height = tga[14] | tga[15] << 8;
  const size_t start = 18 + size_t(tga[0]), row = width * pixelBytes;
  if (width == 0 || height == 0 || start + row * height != tga.size()) return false;
  out->assign(tga.begin(), tga.begin() + long(start));
  std::vector<uint8_t> best(row), trial(row);
  for (size_t y = 0; y < height; ++y) {
    const uint8_t* line = &tga[start + y * row];
    const uint8_t* above = y > 0 ? line - row : nullptr;
    long bestCost = -1;
    int bestFilter = 0;
    for (int filter = 0; filter <= 4; ++filter) {
      long cost = 0;
      for (size_t i = 0; i < row; ++i) {
        const int a = i >= pixelBytes ? line[i - pixelBytes] : 0, b = above ? above[i] : 0;
        const int c = above && i >= pixelBytes ? above[i - pixelBytes] : 0;
        const int predicted = filter == 0 ? 0 : filter == 1 ? a : filter == 2 ? b : filter == 3 ? (a + b) / 2
                                                                                               : Paeth(a, b, c);
        trial[i] = uint8_t(line[i] - predicted);
        cost += std::abs(int(int8_t(trial[i])));
      }
      if (bestCost < 0 || cost < bestCost) bestCost = cost, bestFilter = filter, best.swap(trial);
    }
    out->push_back(uint8_t(bestFilter));
    out->insert(out->end(), best.begin(), best.end());
  }
  return true;
}

static bool EndsWith(const std::string& text, const char* suffix) {
  const std::string s(suffix);
  if (text.size() < s.size()) return false;
  for (size_t i = 0; i < s.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[text.size() - s.size() + i])) != s[i]) return false;
  return true;
}

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: pagepack OUT_DIR NAME=FILE...\n", stderr);
    return 2;
  }
  const std::string dir = argv[1];
  std::vector<uint8_t> pack;
  std::string json = "{\"files\": [\n";
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    const size_t equals = arg.find('=');
    if (equals == std::string::npos) {
      std::fprintf(stderr, "pagepack: %s is not NAME=FILE\n", argv[i]);
      return 2;
    }
    const std::string name = arg.substr(0, equals), path = arg.substr(equals + 1);
    std::vector<uint8_t> bytes, stored, filtered;
    if (!ReadFile(path.c_str(), &bytes)) {
      std::fprintf(stderr, "pagepack: cannot read %s\n", path.c_str());
      return 1;
    }
    const char* method = "deflate";
    const char* filter = "none";
    if (EndsWith(name, ".mp3")) {
      method = "store";
      stored = bytes;
    } else if (EndsWith(name, ".tga") && FilterTga(bytes, &filtered)) {
      filter = "tga";
      if (!Deflate(filtered, &stored)) return 1;
    } else if (!Deflate(bytes, &stored)) {
      return 1;
    }
    char entry[512];
    std::snprintf(entry, sizeof entry,
                  "  {\"name\": \"%s\", \"offset\": %zu, \"length\": %zu, \"size\": %zu, \"method\": \"%s\", "
                  "\"filter\": \"%s\"}%s\n",
                  name.c_str(), pack.size(), stored.size(), bytes.size(), method, filter, i + 1 < argc ? "," : "");
    json += entry;
    pack.insert(pack.end(), stored.begin(), stored.end());
  }
  json += "]}\n";
  std::FILE* bin = std::fopen((dir + "/data.bin").c_str(), "wb");
  std::FILE* index = std::fopen((dir + "/data.json").c_str(), "wb");
  bool ok = bin && index && std::fwrite(pack.data(), 1, pack.size(), bin) == pack.size() &&
            std::fwrite(json.data(), 1, json.size(), index) == json.size();
  if (bin) ok = std::fclose(bin) == 0 && ok;
  if (index) ok = std::fclose(index) == 0 && ok;
  if (!ok) {
    std::fprintf(stderr, "pagepack: cannot write %s/data.bin and data.json\n", dir.c_str());
    return 1;
  }
  std::printf("pagepack: %d files, %zu bytes\n", argc - 2, pack.size());
  return 0;
}
