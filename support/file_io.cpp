#include "support/file_io.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <functional>
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
void forceNamedTemporaries(bool on);
}  // namespace testing

std::string systemReason(int error) { return std::strerror(error); }

Result<std::vector<std::uint8_t>> readWholeFile(const fs::path& path, std::uint64_t maxBytes) {
  // O_NONBLOCK: opening a pipe must not wait for a writer; it is refused below.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Status::error(errnoText("cannot open", path));
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    Status s = Status::error(errnoText("cannot read", path));
    ::close(fd);
    return s;
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    return Status::error(path.string() +
                         (S_ISDIR(st.st_mode) ? ": a folder, not a file" : ": not a regular file"));
  }
  auto tooLarge = [&] {
    ::close(fd);
    return Status::error(path.string() + ": larger than " + std::to_string(maxBytes) +
                         " bytes, more than a file of its kind can hold");
  };
  if (static_cast<std::uint64_t>(st.st_size) > maxBytes) return tooLarge();
  std::vector<std::uint8_t> out;
  out.reserve(static_cast<std::size_t>(st.st_size));
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
    // The file may grow while it is read.
    if (out.size() + static_cast<std::size_t>(n) > maxBytes) return tooLarge();
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

namespace {

std::atomic<bool> g_namedTemporaries{false};

std::string tempPrefix(const fs::path& target) { return "." + target.filename().string() + ".tmp"; }

bool isTemporaryName(const std::string& name, const std::string& prefix) {
  if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) return false;
  for (std::size_t i = prefix.size(); i < name.size(); ++i)
    if (!std::isalnum(static_cast<unsigned char>(name[i]))) return false;
  return true;
}

// Removes the named temporaries in dir that match: regular files untouched
// for a minute (younger ones may belong to a writer still at work).
int removeStale(const fs::path& dir, const std::function<bool(const std::string&)>& matches) {
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  if (ec) return 0;
  const auto now = fs::file_time_type::clock::now();
  int removed = 0;
  for (const fs::directory_entry& e : it) {
    const std::string name = e.path().filename().string();
    if (!matches(name)) continue;
    std::error_code ec2;
    if (!e.is_regular_file(ec2) || ec2) continue;
    const auto written = e.last_write_time(ec2);
    if (ec2 || now - written < std::chrono::minutes(1)) continue;
    if (fs::remove(e.path(), ec2)) ++removed;
  }
  return removed;
}

// Leftovers of this target.
void removeStaleTemporaries(const fs::path& dir, const fs::path& target) {
  const std::string prefix = tempPrefix(target);
  removeStale(dir, [&](const std::string& name) { return isTemporaryName(name, prefix); });
}

mode_t newFileMode() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// A name for the temporary file that does not exist yet.
std::string uniqueSuffix() {
  static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::atomic<unsigned long long> counter{0};
  unsigned long long v = (static_cast<unsigned long long>(::getpid()) << 32) ^
                         static_cast<unsigned long long>(
                             std::chrono::steady_clock::now().time_since_epoch().count()) ^
                         (counter++ * 0x9E3779B97F4A7C15ull);
  std::string out;
  for (int i = 0; i < 6; ++i) {
    out += kChars[v % 62];
    v /= 62;
  }
  return out;
}

}  // namespace

Status AtomicWriter::open(const fs::path& target) {
  abandon();
  target_ = target;
  failed_ = false;
  error_ = 0;
  fs::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  removeStaleTemporaries(dir, target);
  // Keep the permissions of the file being replaced, or the usual ones for a new file.
  struct stat st {};
  const bool replacing = ::stat(target.c_str(), &st) == 0;
  const mode_t mode = replacing ? (st.st_mode & 07777) : newFileMode();
#ifdef O_TMPFILE
  if (!g_namedTemporaries) {
    fd_ = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd_ >= 0 && ::access("/proc/self/fd", X_OK) != 0) {
      ::close(fd_);  // no way to give the file a name later
      fd_ = -1;
    }
  }
#endif
  if (fd_ < 0) {
    std::string pattern = (dir / (tempPrefix(target) + "XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0) return Status::error(errnoText("cannot create a temporary file for", target));
    temp_ = name.data();
  }
  (void)::fchmod(fd_, mode);
  return Status::ok();
}

void AtomicWriter::write(const void* data, std::size_t size) {
  if (fd_ < 0 || failed_ || size == 0) return;
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::write(fd_, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      failed_ = true;
      error_ = errno;
      return;
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
}

Status AtomicWriter::commit() {
  if (fd_ < 0) return Status::error("no file is open for writing");
  bool ok = !failed_;
  if (ok && sync_ && ::fsync(fd_) != 0) {
    ok = false;
    error_ = errno;
  }
  if (g_failNextCommit.exchange(false)) ok = false;
  if (ok && temp_.empty()) {
    // Give the unnamed file its hidden name, then rename it over the target.
    const fs::path dir = target_.parent_path().empty() ? fs::path(".") : target_.parent_path();
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    for (int attempt = 0; attempt < 100; ++attempt) {
      const fs::path name = dir / (tempPrefix(target_) + uniqueSuffix());
      if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        temp_ = name;
        break;
      }
      if (errno != EEXIST) break;
    }
    if (temp_.empty()) {
      ok = false;
      error_ = errno;
    }
  }
  if (::close(fd_) != 0 && ok) {
    ok = false;
    error_ = errno;
  }
  fd_ = -1;
  if (!ok) {
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
    std::string text = "cannot write " + target_.string();
    if (error_ != 0) text += ": " + systemReason(error_);
    return Status::error(text);
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
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

int removeStaleTemporaries(const fs::path& folder) {
  return removeStale(folder, [](const std::string& name) {
    if (name.size() < 12 || name[0] != '.') return false;
    const std::size_t tmp = name.size() - 10;  // ".tmp" and six characters
    return name.compare(tmp, 4, ".tmp") == 0 && isTemporaryName(name, name.substr(0, tmp + 4));
  });
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

namespace testing {
void forceNamedTemporaries(bool on) { g_namedTemporaries = on; }
}  // namespace testing

}  // namespace rc
