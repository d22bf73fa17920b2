#include "support/binary.h"

#include <bit>

namespace rc {

namespace {
std::uint64_t loadLE(const std::uint8_t* p, std::size_t width) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < width; ++i) v |= std::uint64_t(p[i]) << (8 * i);
  return v;
}
}  // namespace

std::optional<std::uint8_t> ByteReader::u8(std::uint64_t off) const {
  if (!has(off, 1)) return std::nullopt;
  return data_[off];
}
std::optional<std::uint16_t> ByteReader::u16(std::uint64_t off) const {
  if (!has(off, 2)) return std::nullopt;
  return static_cast<std::uint16_t>(loadLE(data_.data() + off, 2));
}
std::optional<std::uint32_t> ByteReader::u32(std::uint64_t off) const {
  if (!has(off, 4)) return std::nullopt;
  return static_cast<std::uint32_t>(loadLE(data_.data() + off, 4));
}
std::optional<std::int32_t> ByteReader::i32(std::uint64_t off) const {
  auto v = u32(off);
  if (!v) return std::nullopt;
  return static_cast<std::int32_t>(*v);
}
std::optional<std::uint64_t> ByteReader::u64(std::uint64_t off) const {
  if (!has(off, 8)) return std::nullopt;
  return loadLE(data_.data() + off, 8);
}
std::optional<float> ByteReader::f32(std::uint64_t off) const {
  auto v = u32(off);
  if (!v) return std::nullopt;
  return std::bit_cast<float>(*v);
}
std::optional<double> ByteReader::f64(std::uint64_t off) const {
  auto v = u64(off);
  if (!v) return std::nullopt;
  return std::bit_cast<double>(*v);
}

bool ByteReader::f32Array(std::uint64_t off, float* out, std::size_t count) const {
  if (count > (UINT64_MAX / 4) || !has(off, std::uint64_t(count) * 4)) return false;
  const std::uint8_t* p = data_.data() + off;
  if constexpr (std::endian::native == std::endian::little) {
    if (count) std::memcpy(out, p, count * 4);
  } else {
    for (std::size_t i = 0; i < count; ++i) out[i] = loadF32(p + 4 * i);
  }
  return true;
}

template <typename T, typename F>
T ByteCursor::take(std::size_t width, F read) {
  if (!ok_) return T{};
  auto v = read(pos_);
  if (!v) {
    ok_ = false;
    return T{};
  }
  pos_ += width;
  return *v;
}

void ByteCursor::skip(std::uint64_t n) {
  if (!ok_) return;
  if (!r_.has(pos_, n)) {
    ok_ = false;
    return;
  }
  pos_ += n;
}
std::uint8_t ByteCursor::u8() { return take<std::uint8_t>(1, [&](auto o) { return r_.u8(o); }); }
std::uint16_t ByteCursor::u16() { return take<std::uint16_t>(2, [&](auto o) { return r_.u16(o); }); }
std::uint32_t ByteCursor::u32() { return take<std::uint32_t>(4, [&](auto o) { return r_.u32(o); }); }
std::int32_t ByteCursor::i32() { return take<std::int32_t>(4, [&](auto o) { return r_.i32(o); }); }
float ByteCursor::f32() { return take<float>(4, [&](auto o) { return r_.f32(o); }); }
double ByteCursor::f64() { return take<double>(8, [&](auto o) { return r_.f64(o); }); }

void ByteWriter::u16(std::uint16_t v) {
  buf_.push_back(std::uint8_t(v));
  buf_.push_back(std::uint8_t(v >> 8));
}
void ByteWriter::u32(std::uint32_t v) {
  for (int i = 0; i < 4; ++i) buf_.push_back(std::uint8_t(v >> (8 * i)));
}
void ByteWriter::u64(std::uint64_t v) {
  for (int i = 0; i < 8; ++i) buf_.push_back(std::uint8_t(v >> (8 * i)));
}
void ByteWriter::f32(float v) { u32(std::bit_cast<std::uint32_t>(v)); }
void ByteWriter::f64(double v) { u64(std::bit_cast<std::uint64_t>(v)); }
void ByteWriter::bytes(const void* p, std::size_t n) {
  auto b = static_cast<const std::uint8_t*>(p);
  buf_.insert(buf_.end(), b, b + n);
}
void ByteWriter::f32Array(const float* v, std::size_t count) {
  std::size_t at = buf_.size();
  buf_.resize(at + count * 4);
  if constexpr (std::endian::native == std::endian::little) {
    if (count) std::memcpy(buf_.data() + at, v, count * 4);
  } else {
    for (std::size_t i = 0; i < count; ++i) storeF32(buf_.data() + at + 4 * i, v[i]);
  }
}

}  // namespace rc
