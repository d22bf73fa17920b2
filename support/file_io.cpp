#include "support/file_io.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace rc {

namespace {
std::atomic<bool> g_failNextCommit{false};

std::string errnoText(const std::string& what, const fs::path& p) {
  return what + " " + p.string() + ": " + std::strerror(errno);
}
}  // namespace

namespace testing {
void failNextAtomicCommit() { g_failNextCommit = true; }
}  // namespace testing

Result<std::vector<std::uint8_t>> readWholeFile(const fs::path& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Status::error(errnoText("cannot open", path));
  std::vector<std::uint8_t> out;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_size > 0) out.reserve(static_cast<std::size_t>(st.st_size));
  std::uint8_t buf[1 << 16];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      Status s = Status::error(errnoText("cannot read", path));
      ::close(fd);
      return s;
    }
    if (n == 0) break;
    out.insert(out.end(), buf, buf + n);
  }
  ::close(fd);
  return out;
}

MappedFile::~MappedFile() { close(); }

MappedFile::MappedFile(MappedFile&& o) noexcept
    : data_(o.data_), size_(o.size_), open_(o.open_) {
  o.data_ = nullptr;
  o.size_ = 0;
  o.open_ = false;
}

MappedFile& MappedFile::operator=(MappedFile&& o) noexcept {
  if (this != &o) {
    close();
    data_ = o.data_;
    size_ = o.size_;
    open_ = o.open_;
    o.data_ = nullptr;
    o.size_ = 0;
    o.open_ = false;
  }
  return *this;
}

Status MappedFile::open(const fs::path& path) {
  close();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Status::error(errnoText("cannot open", path));
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    Status s = Status::error(errnoText("cannot stat", path));
    ::close(fd);
    return s;
  }
  size_ = static_cast<std::size_t>(st.st_size);
  if (size_ > 0) {
    void* p = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) {
      Status s = Status::error(errnoText("cannot map", path));
      ::close(fd);
      size_ = 0;
      return s;
    }
    data_ = p;
  }
  ::close(fd);
  open_ = true;
  return Status::ok();
}

void MappedFile::close() {
  if (data_) ::munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
  open_ = false;
}

AtomicWriter::~AtomicWriter() { abandon(); }

Status AtomicWriter::open(const fs::path& target) {
  abandon();
  target_ = target;
  fs::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  std::string pattern = (dir / ("." + target.filename().string() + ".tmpXXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) return Status::error(errnoText("cannot create a temporary file for", target));
  temp_ = name.data();
  // Keep the permissions of the file being replaced, or the usual ones for a new file.
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    (void)::fchmod(fd, st.st_mode & 07777);
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    (void)::fchmod(fd, 0666 & ~mask);
  }
  file_ = ::fdopen(fd, "wb");
  if (!file_) {
    ::close(fd);
    ::unlink(temp_.c_str());
    temp_.clear();
    return Status::error(errnoText("cannot open", target));
  }
  failed_ = false;
  return Status::ok();
}

void AtomicWriter::write(const void* data, std::size_t size) {
  if (!file_ || failed_ || size == 0) return;
  if (std::fwrite(data, 1, size, file_) != size) failed_ = true;
}

Status AtomicWriter::commit() {
  if (!file_) return Status::error("no file is open for writing");
  bool ok = !failed_;
  if (std::fflush(file_) != 0) ok = false;
  if (ok && sync_ && ::fsync(::fileno(file_)) != 0) ok = false;
  if (std::fclose(file_) != 0) ok = false;
  file_ = nullptr;
  if (g_failNextCommit.exchange(false)) ok = false;
  if (!ok) {
    ::unlink(temp_.c_str());
    temp_.clear();
    return Status::error("cannot write " + target_.string());
  }
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    Status s = Status::error(errnoText("cannot replace", target_));
    ::unlink(temp_.c_str());
    temp_.clear();
    return s;
  }
  temp_.clear();
  return Status::ok();
}

void AtomicWriter::abandon() {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

Status writeFileAtomic(const fs::path& target, std::span<const std::uint8_t> data) {
  AtomicWriter w;
  if (Status s = w.open(target); !s) return s;
  w.write(data);
  return w.commit();
}

Status writeFileAtomic(const fs::path& target, const std::string& data) {
  return writeFileAtomic(target, std::span<const std::uint8_t>(
                                     reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
}

}  // namespace rc
