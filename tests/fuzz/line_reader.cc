// SPDX-License-Identifier: MIT
// Lines from a file that arrives in any pieces, through any buffer, against a model of what
// they must be. Input: the buffer's capacity (1 to 64), how many piece sizes follow (0 to 7)
// and those sizes, each read returning at most the next of them in turn (0: interrupted by a
// signal); the rest is the file.
#include "common/line_reader.h"

#include <errno.h>
#include <string.h>

#include <string>
#include <vector>

#include "tests/fuzz/fuzz_check.h"

namespace {

constexpr int kFileFd = 3;

struct PiecedFile {
  const uint8_t* contents;
  size_t size;
  size_t offset;
  std::vector<uint8_t> pieces;
  size_t next_piece;
};
PiecedFile file;

ssize_t read_piece(int fd, void* buffer, size_t count) {
  FUZZ_CHECK(fd == kFileFd);
  FUZZ_CHECK(count > 0);
  size_t most = file.size - file.offset;
  if (!file.pieces.empty()) {
    uint8_t piece = file.pieces[file.next_piece];
    file.next_piece = (file.next_piece + 1) % file.pieces.size();
    if (piece == 0) {
      errno = EINTR;
      return -1;
    }
    if (piece < most) most = piece;
  }
  if (count < most) most = count;
  memcpy(buffer, file.contents + file.offset, most);
  file.offset += most;
  return static_cast<ssize_t>(most);
}

struct ModelLine {
  std::string text;
  bool cut;
};

// Each line runs to its line feed or the end of the file. One that fits the buffer, line
// feed included, comes whole; a longer one comes as its head, cut to the buffer's size.
std::vector<ModelLine> model(const std::string& contents, size_t capacity) {
  std::vector<ModelLine> lines;
  for (size_t start = 0; start < contents.size();) {
    size_t feed = contents.find('\n', start);
    size_t end = feed == std::string::npos ? contents.size() : feed + 1;
    size_t length = end - start;
    bool cut = length > capacity;
    lines.push_back({contents.substr(start, cut ? capacity : length), cut});
    start = end;
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t capacity = 1 + data[0] % 64;
  size_t piece_count = data[1] % 8;
  data += 2;
  size -= 2;
  if (piece_count > size) piece_count = size;
  std::vector<uint8_t> pieces(data, data + piece_count);
  // Only interruptions would never read.
  bool reads = false;
  for (uint8_t piece : pieces) reads = reads || piece != 0;
  if (!reads) pieces.clear();
  file = PiecedFile{data + piece_count, size - piece_count, 0, pieces, 0};

  const std::string contents(reinterpret_cast<const char*>(file.contents), file.size);
  const std::vector<ModelLine> expected = model(contents, capacity);
  // The exact size, so that AddressSanitizer sees a write past it.
  std::vector<char> buffer(capacity);
  LineReader reader(kFileFd, buffer.data(), buffer.size(), read_piece);
  Line line;
  size_t count = 0;
  while (reader.next(&line)) {
    FUZZ_CHECK(count < expected.size());
    FUZZ_CHECK(line.length <= capacity);
    FUZZ_CHECK(line.text >= buffer.data() && line.text + line.length <= buffer.data() + capacity);
    FUZZ_CHECK(std::string(line.text, line.length) == expected[count].text);
    FUZZ_CHECK(line.cut == expected[count].cut);
    ++count;
  }
  FUZZ_CHECK(count == expected.size());
  FUZZ_CHECK(file.offset == file.size);
  return 0;
}
