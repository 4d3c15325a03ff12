// SPDX-License-Identifier: MIT
#ifndef SPIN_DOWN_TESTS_TEMP_DIR_H_
#define SPIN_DOWN_TESTS_TEMP_DIR_H_

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

// A folder of the test's own, removed with what it holds when the test ends.
class TempDir {
 public:
  TempDir() {
    std::string pattern = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/sdw.XXXXXX";
    path_ = mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempDir() {
    std::string command = "rm -rf '" + path_ + "'";
    if (system(command.c_str()) != 0) perror("rm");
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string path(const std::string& name) const { return path_ + "/" + name; }

  // Writes `contents` to `name`, with `mode`.
  std::string write(const std::string& name, const std::string& contents,
                    mode_t mode = 0644) const {
    std::string file = path(name);
    int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd >= 0) {
      ssize_t written = ::write(fd, contents.data(), contents.size());
      (void)written;
      fchmod(fd, mode);
      close(fd);
    }
    return file;
  }

  std::string read(const std::string& name) const {
    std::string contents;
    int fd = open(path(name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return contents;
    char chunk[4096];
    for (ssize_t got; (got = ::read(fd, chunk, sizeof chunk)) > 0;) {
      contents.append(chunk, static_cast<size_t>(got));
    }
    close(fd);
    return contents;
  }

  bool exists(const std::string& name) const { return access(path(name).c_str(), F_OK) == 0; }

 private:
  std::string path_;
};

#endif  // SPIN_DOWN_TESTS_TEMP_DIR_H_
