#pragma once
// Little-endian binary readers and writers. Every read is bounds-checked and
// reports failure instead of reading past the data; records are built field by
// field, never by copying structs.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace rc {

// Reads little-endian values from a byte span at explicit offsets.
class ByteReader {
 public:
  ByteReader() = default;
  explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}
  ByteReader(const void* data, std::size_t size)
      : data_(static_cast<const std::uint8_t*>(data), size) {}

  std::size_t size() const { return data_.size(); }
  bool has(std::uint64_t offset, std::uint64_t width) const {
    return offset <= data_.size() && width <= data_.size() - offset;
  }

  std::optional<std::uint8_t> u8(std::uint64_t off) const;
  std::optional<std::uint16_t> u16(std::uint64_t off) const;
  std::optional<std::uint32_t> u32(std::uint64_t off) const;
  std::optional<std::int32_t> i32(std::uint64_t off) const;
  std::optional<std::uint64_t> u64(std::uint64_t off) const;
  std::optional<float> f32(std::uint64_t off) const;
  std::optional<double> f64(std::uint64_t off) const;

  // Copies count little-endian float32 values starting at off into out.
  bool f32Array(std::uint64_t off, float* out, std::size_t count) const;

  const std::uint8_t* data() const { return data_.data(); }

 private:
  std::span<const std::uint8_t> data_;
};

// A cursor over a ByteReader: reads advance the position; any failed read
// leaves ok() false and every later read fails too.
class ByteCursor {
 public:
  explicit ByteCursor(const ByteReader& r, std::uint64_t pos = 0) : r_(r), pos_(pos) {}
  bool ok() const { return ok_; }
  std::uint64_t pos() const { return pos_; }
  std::uint64_t remaining() const { return pos_ <= r_.size() ? r_.size() - pos_ : 0; }
  void skip(std::uint64_t n);
  std::uint8_t u8();
  std::uint16_t u16();
  std::uint32_t u32();
  std::int32_t i32();
  float f32();
  double f64();

 private:
  template <typename T, typename F>
  T take(std::size_t width, F read);
  const ByteReader& r_;
  std::uint64_t pos_;
  bool ok_ = true;
};

// Appends little-endian values to a growing byte buffer.
class ByteWriter {
 public:
  void u8(std::uint8_t v) { buf_.push_back(v); }
  void u16(std::uint16_t v);
  void u32(std::uint32_t v);
  void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
  void u64(std::uint64_t v);
  void f32(float v);
  void f64(double v);
  void zeros(std::size_t n) { buf_.insert(buf_.end(), n, 0); }
  void bytes(const void* p, std::size_t n);
  void f32Array(const float* v, std::size_t count);

  std::size_t size() const { return buf_.size(); }
  const std::vector<std::uint8_t>& buffer() const { return buf_; }
  std::vector<std::uint8_t>& buffer() { return buf_; }
  std::vector<std::uint8_t> take() { return std::move(buf_); }

 private:
  std::vector<std::uint8_t> buf_;
};

// Little-endian helpers on raw memory (no bounds checks: callers check).
inline std::uint32_t loadU32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}
inline void storeU32(std::uint8_t* p, std::uint32_t v) {
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
  p[2] = std::uint8_t(v >> 16);
  p[3] = std::uint8_t(v >> 24);
}
inline float loadF32(const std::uint8_t* p) {
  std::uint32_t u = loadU32(p);
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}
inline void storeF32(std::uint8_t* p, float f) {
  std::uint32_t u;
  std::memcpy(&u, &f, 4);
  storeU32(p, u);
}

}  // namespace rc
