// SPDX-License-Identifier: MIT
#include "common/line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/temp_dir.h"

namespace {

struct ReadLine {
  std::string text;
  bool cut;
  bool operator==(const ReadLine& other) const { return text == other.text && cut == other.cut; }
};

void PrintTo(const ReadLine& line, std::ostream* out) {
  *out << '"' << line.text << '"' << (line.cut ? " (cut)" : "");
}

// Every line the reader gives for `contents`, read through a buffer of `capacity` bytes.
std::vector<ReadLine> read_lines(const std::string& contents, size_t capacity) {
  TempDir dir;
  int fd = open(dir.write("file", contents).c_str(), O_RDONLY | O_CLOEXEC);
  std::vector<char> buffer(capacity);
  LineReader reader(fd, buffer.data(), buffer.size());
  std::vector<ReadLine> lines;
  Line line;
  while (reader.next(&line)) lines.push_back({std::string(line.text, line.length), line.cut});
  close(fd);
  return lines;
}

TEST(LineReader, SplitsAtLineFeedsAndKeepsThem) {
  std::vector<ReadLine> expected = {{"a\n", false}, {"\n", false}, {"bc\n", false}};
  EXPECT_EQ(read_lines("a\n\nbc\n", 8), expected);
  // Lines that straddle reads of a small buffer come out whole.
  EXPECT_EQ(read_lines("a\n\nbc\n", 3), expected);
}

TEST(LineReader, GivesALastLineWithoutLineFeed) {
  std::vector<ReadLine> expected = {{"a\n", false}, {"tail", false}};
  EXPECT_EQ(read_lines("a\ntail", 8), expected);
  EXPECT_TRUE(read_lines("", 8).empty());
}

TEST(LineReader, GivesTheHeadOfALongLineOnceAndPassesOverItsRest) {
  std::vector<ReadLine> expected = {{"abcde", true}, {"next\n", false}};
  EXPECT_EQ(read_lines("abcdefghij\nnext\n", 5), expected);
  // A line that fills the buffer exactly, line feed included, is whole.
  expected = {{"abcd\n", false}, {"e\n", false}};
  EXPECT_EQ(read_lines("abcd\ne\n", 5), expected);
  // One character too many, and only the line feed is left over: it starts no line of its own.
  expected = {{"abcde", true}, {"f\n", false}};
  EXPECT_EQ(read_lines("abcde\nf\n", 5), expected);
  // The rest of a long line runs on to the end of the file.
  expected = {{"abcde", true}};
  EXPECT_EQ(read_lines("abcdefghijklmnop", 5), expected);
  expected = {{"a\n", false}, {"bcdef", true}};
  EXPECT_EQ(read_lines("a\nbcdefg", 5), expected);
}

TEST(LineReader, ALastLineThatFillsTheBufferIsWhole) {
  std::vector<ReadLine> expected = {{"abcde", false}};
  EXPECT_EQ(read_lines("abcde", 5), expected);
  expected = {{"a\n", false}, {"bcdef", false}};
  EXPECT_EQ(read_lines("a\nbcdef", 5), expected);
}

}  // namespace
