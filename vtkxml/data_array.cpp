#include "vtkxml/data_array.hpp"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <vector>

#include "support/deflate.hpp"
#include "support/fatal.hpp"
#include "support/file_handle.hpp"
#include "support/input_limit.hpp"
#include "volume/voxel_views.hpp"
#include "vtk/missing_values.hpp"

namespace brintom {
namespace {

// clang-format off
constexpr char kWrongDataset[]   = " does not hold VTK XML ";
constexpr char kByteOrder[]      = " has a byte order other than LittleEndian or BigEndian\n";
constexpr char kHeaderType[]     = " has a header type other than UInt32 or UInt64\n";
constexpr char kCompressor[]     = " is compressed by other means than zlib (";
constexpr char kEncoding[]       = " has appended data in an encoding other than raw or base64\n";
constexpr char kArrayType[]      = " holds an array of a type that is not read here: ";
constexpr char kArrayFormat[]    = " holds an array whose format is not ascii, binary or appended\n";
constexpr char kArrayOffset[]    = " holds an appended array without a valid offset\n";
constexpr char kPieces[]         = " does not hold exactly one piece (files of several are not read)\n";
constexpr char kFarLessData[]    = " holds far less data than its arrays announce\n";
constexpr char kCannotBeRead[]   = " cannot be read\n";
constexpr char kBlockLength[]    = " holds a compressed block whose length is not the one announced\n";
// clang-format on

// Stored bytes read, and values converted, at a time.
constexpr std::size_t kBlock = std::size_t{1} << 18;

// The base64 alphabet's values; 64 marks the padding, 65 blank bytes, 66 anything else.
constexpr unsigned char kPad = 64, kBlank = 65, kOther = 66;
struct Base64Table {
  unsigned char value[256];
  constexpr Base64Table() : value() {
    for (unsigned char& v : value) v = kOther;
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (unsigned char i = 0; i < 64; ++i) value[static_cast<unsigned char>(alphabet[i])] = i;
    value[static_cast<unsigned char>('=')] = kPad;
    for (char c : {' ', '\t', '\n', '\r'}) value[static_cast<unsigned char>(c)] = kBlank;
  }
};
constexpr Base64Table kBase64;

// The bytes an array is stored in: raw bytes of the file, or base64 text of the file or of an
// element, decoded. Reads give fewer bytes than asked only where the bytes end.
class Encoded {
 public:
  virtual ~Encoded() = default;
  virtual std::size_t read(unsigned char* out, std::size_t size) = 0;
  // At most this many bytes are left to read.
  virtual long long available() const = 0;
  const char* failure = nullptr;
};

class RawFile final : public Encoded {
 public:
  explicit RawFile(FileHandle file)
      : file_(std::move(file)), left_(std::max(0LL, bytes_left(file_.get()))) {}
  std::size_t read(unsigned char* out, std::size_t size) override {
    const std::size_t got = std::fread(out, 1, size, file_.get());
    if (got < size && std::ferror(file_.get())) failure = kCannotBeRead;
    left_ -= static_cast<long long>(got);
    return got;
  }
  long long available() const override { return left_; }

 private:
  FileHandle file_;
  long long left_;
};

// Base64 quads one after another, blanks between them passed over. A quad padded with "=" gives
// fewer bytes, so pieces encoded apart (a compressed array's header and its blocks) decode in
// turn. The first byte that is none of these ends the data: the "<" of a closing tag.
class Base64 final : public Encoded {
 public:
  explicit Base64(FileHandle file) : file_(std::move(file)) {
    left_ = std::max(0LL, bytes_left(file_.get()));
    buffer_size_ = static_cast<std::size_t>(std::min<long long>(kBlock, left_ + 1));
    buffer_.reset(new char[buffer_size_]);
  }
  explicit Base64(const std::string& text) : at_(text.data()), end_(text.data() + text.size()) {}

  std::size_t read(unsigned char* out, std::size_t size) override {
    std::size_t done = 0;
    while (done < size) {
      if (pending_at_ < pending_count_) {
        out[done++] = pending_[pending_at_++];
        continue;
      }
      if (ended_) break;
      // Whole quads straight to the output while there is room for three bytes.
      while (size - done >= 3 && end_ - at_ >= 4) {
        const unsigned char a = sextet(0), b = sextet(1), c = sextet(2), d = sextet(3);
        if ((a | b | c | d) >= 64) break;
        out[done++] = static_cast<unsigned char>(a << 2 | b >> 4);
        out[done++] = static_cast<unsigned char>(b << 4 | c >> 2);
        out[done++] = static_cast<unsigned char>(c << 6 | d);
        at_ += 4;
      }
      if (done < size) next_quad();
    }
    return done;
  }
  long long available() const override { return (left_ + (end_ - at_)) / 4 * 3 + 3; }

 private:
  unsigned char sextet(int i) const { return kBase64.value[static_cast<unsigned char>(at_[i])]; }

  // The next character's value, blanks passed over; kOther at the end of the text.
  unsigned char next_value() {
    for (;;) {
      if (at_ == end_ && !refill()) return kOther;
      const unsigned char v = kBase64.value[static_cast<unsigned char>(*at_++)];
      if (v != kBlank) return v;
    }
  }
  bool refill() {
    if (!file_) return false;
    const std::size_t got = std::fread(buffer_.get(), 1, buffer_size_, file_.get());
    if (got < buffer_size_ && std::ferror(file_.get())) failure = kCannotBeRead;
    left_ -= static_cast<long long>(got);
    at_ = buffer_.get();
    end_ = at_ + got;
    return got > 0;
  }
  // Decodes one quad into the pending bytes: three, or fewer for padding; none ends the data.
  void next_quad() {
    unsigned char v[4];
    for (unsigned char& value : v) value = next_value();
    pending_at_ = 0;
    pending_count_ = 0;
    if (v[0] >= 64 || v[1] >= 64 || v[2] == kOther || v[3] == kOther ||
        (v[2] == kPad && v[3] != kPad)) {
      ended_ = true;
      return;
    }
    pending_[0] = static_cast<unsigned char>(v[0] << 2 | v[1] >> 4);
    pending_[1] = static_cast<unsigned char>(v[1] << 4 | (v[2] & 63) >> 2);
    pending_[2] = static_cast<unsigned char>((v[2] & 63) << 6 | (v[3] & 63));
    pending_count_ = v[2] == kPad ? 1 : v[3] == kPad ? 2 : 3;
  }

  FileHandle file_;
  std::unique_ptr<char[]> buffer_;
  std::size_t buffer_size_ = 0;
  const char* at_ = nullptr;
  const char* end_ = nullptr;
  long long left_ = 0;  // in the file, after the buffer
  unsigned char pending_[3] = {0, 0, 0};
  int pending_at_ = 0, pending_count_ = 0;
  bool ended_ = false;
};

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
// Whether text at p ends a number: a blank, or the text's end.
bool ends_token(const char* p) { return *p == '\0' || is_blank(*p); }

// One unsigned header word of the file's width and byte order.
unsigned long long header_word(const unsigned char* bytes, const XmlLayout& layout) {
  unsigned long long value = 0;
  for (std::size_t i = 0; i < layout.header_width; ++i) {
    const std::size_t at = layout.big_endian ? i : layout.header_width - 1 - i;
    value = value << 8 | bytes[at];
  }
  return value;
}

}  // namespace

// The array's stored bytes in order, after its header, decoded and decompressed: whole values,
// in the file's byte order (binary) or the host's (ascii).
struct ArrayReader::Stream {
  virtual ~Stream() = default;
  // Up to size bytes; fewer only where the data end or fail (failure then names why).
  virtual std::size_t read(unsigned char* out, std::size_t size) = 0;
  virtual bool host_order() const { return false; }
  const char* failure = nullptr;
};

namespace {

// A binary array: its header (the byte count; or the block count, block size, last block's
// size and each block's compressed size), then its bytes or zlib blocks.
class BinaryStream final : public ArrayReader::Stream {
 public:
  BinaryStream(std::unique_ptr<Encoded> in, const XmlLayout& layout)
      : in_(std::move(in)), compressed_(layout.compressed) {
    unsigned char word[8];
    const std::size_t width = layout.header_width;
    const auto next_word = [&](unsigned long long& value) {
      if (in_->read(word, width) < width) return false;
      value = header_word(word, layout);
      return true;
    };
    if (!compressed_) {
      if (!next_word(left_)) left_ = 0;  // nothing of the array is left in the file
      return;
    }
    unsigned long long count = 0;
    if (!next_word(count) || !next_word(block_size_) || !next_word(last_size_)) return;
    // Sizes the file cannot hold are not kept: the data end at the last block whose size is.
    const unsigned long long held = std::min<unsigned long long>(
        count, static_cast<unsigned long long>(in_->available()) / width);
    sizes_.reserve(static_cast<std::size_t>(held));
    for (unsigned long long b = 0, size = 0; b < held && next_word(size); ++b)
      sizes_.push_back(size);
    if (sizes_.size() < count) last_size_ = 0;  // the blocks kept are whole
    blocks_ = count;
    inflater_ = std::make_unique<BlockInflater>();
    input_size_ = static_cast<std::size_t>(std::min<long long>(kBlock, in_->available() + 1));
    input_.reset(new unsigned char[input_size_]);
  }

  std::size_t read(unsigned char* out, std::size_t size) override {
    if (!compressed_) {
      const std::size_t want = static_cast<std::size_t>(std::min<unsigned long long>(size, left_));
      const std::size_t got = in_->read(out, want);
      left_ = got < want ? 0 : left_ - got;
      failure = in_->failure;
      return got;
    }
    std::size_t done = 0;
    while (done < size && failure == nullptr && !ended_) {
      if (!in_block_ && !open_block()) break;
      if (in_at_ == in_end_ && block_in_ > 0) fill();
      const unsigned char* in = input_.get() + in_at_;
      std::size_t in_size = in_end_ - in_at_;
      unsigned char probe;
      // Past the block's announced bytes, its stream must end without giving more.
      const bool probing = block_out_ == 0;
      unsigned char* to = probing ? &probe : out + done;
      std::size_t room =
          probing ? 1
                  : static_cast<std::size_t>(std::min<unsigned long long>(size - done, block_out_));
      const std::size_t asked = room;
      const bool ended = inflater_->decode(in, in_size, to, room);
      in_at_ = in - input_.get();
      if (inflater_->failure() != nullptr) {
        failure = inflater_->failure();
        break;
      }
      if (probing && room == 0) {
        failure = kBlockLength;
        break;
      }
      if (!probing) {
        done += asked - room;
        block_out_ -= asked - room;
      }
      if (ended) {
        if (block_out_ != 0) {
          failure = kBlockLength;
          break;
        }
        end_block();
      } else if (in_at_ == in_end_ && block_in_ == 0 && asked == room) {
        // The block's compressed bytes are spent before its stream: a file cut short, or a
        // block that is not what its size says.
        if (input_short_) {
          ended_ = true;
        } else {
          failure = kBlockLength;
        }
      }
    }
    return done;
  }

 private:
  bool open_block() {
    if (block_ >= sizes_.size() || input_short_) {
      ended_ = true;
      return false;
    }
    const bool last = block_ + 1 == blocks_ && last_size_ != 0;
    block_out_ = last ? last_size_ : block_size_;
    block_in_ = sizes_[block_];
    inflater_->start();
    in_block_ = true;
    return true;
  }
  // The next piece of the block's compressed bytes; false when the file ends first.
  bool fill() {
    const std::size_t want =
        static_cast<std::size_t>(std::min<unsigned long long>(input_size_, block_in_));
    const std::size_t got = in_->read(input_.get(), want);
    block_in_ -= got;
    in_at_ = 0;
    in_end_ = got;
    if (got < want) {
      // Cut short: what the block gave so far is all there is.
      failure = in_->failure;
      input_short_ = true;
      block_in_ = 0;
    }
    return got > 0;
  }
  // Bytes after a block's stream are passed over, so the next block starts where it should.
  void end_block() {
    in_at_ = in_end_ = 0;
    while (block_in_ > 0) fill();
    ++block_;
    in_block_ = false;
  }

  std::unique_ptr<Encoded> in_;
  const bool compressed_;
  unsigned long long left_ = 0;  // uncompressed: the bytes the header announces, still unread
  unsigned long long blocks_ = 0, block_size_ = 0, last_size_ = 0;
  std::vector<unsigned long long> sizes_;  // compressed, of the blocks the file can hold
  std::size_t block_ = 0;
  bool in_block_ = false, ended_ = false, input_short_ = false;
  unsigned long long block_in_ = 0, block_out_ = 0;  // the open block's bytes still to come
  std::unique_ptr<unsigned char[]> input_;
  std::size_t input_size_ = 0;
  std::size_t in_at_ = 0, in_end_ = 0;
  std::unique_ptr<BlockInflater> inflater_;  // compressed arrays only
};

// An ascii array: numbers separated by blanks, each stored as its type in host order. The first
// text that is not a number of the type ends the data, as it ends VTK's reading.
class AsciiStream final : public ArrayReader::Stream {
 public:
  AsciiStream(const std::string& text, const XmlTypeRow& type) : at_(text.c_str()), type_(type) {}

  std::size_t read(unsigned char* out, std::size_t size) override {
    std::size_t done = 0;
    for (; done + type_.width <= size && next(out + done); done += type_.width) {
    }
    return done;
  }
  bool host_order() const override { return true; }

 private:
  template <typename T, typename Parsed>
  static void store(unsigned char* out, Parsed value) {
    const T stored = static_cast<T>(value);
    std::memcpy(out, &stored, sizeof stored);
  }

  bool next(unsigned char* out) {
    while (*at_ != '\0' && ends_token(at_)) ++at_;
    if (*at_ == '\0') return false;
    char* end = nullptr;
    switch (type_.type) {
      case XmlType::float32:
        store<float>(out, std::strtof(at_, &end));
        break;
      case XmlType::float64:
        store<double>(out, std::strtod(at_, &end));
        break;
      case XmlType::uint64:
        store<std::uint64_t>(out, std::strtoull(at_, &end, 10));
        break;
      default: {
        // Narrower integers as VTK takes them: read wide, then cut to the type's bytes.
        const std::uint64_t bits = static_cast<std::uint64_t>(std::strtoll(at_, &end, 10));
        std::memcpy(out, &bits, type_.width);  // the low bytes on a little-endian host
      }
    }
    if (end == at_ || !ends_token(end)) return false;
    at_ = end;
    return true;
  }

  const char* at_;
  const XmlTypeRow& type_;
};

// One stored value of type S at bytes, byte-swapped when swap.
template <typename S>
S stored(const unsigned char* bytes, bool swap) {
  unsigned char copy[sizeof(S)];
  std::memcpy(copy, bytes, sizeof(S));
  if (swap) std::reverse(copy, copy + sizeof(S));
  S value;
  std::memcpy(&value, copy, sizeof value);
  return value;
}

// A stored value as a float, a 64-bit integer (saturating) or a mask's 16 bits (false when it
// is not an integer a mask can hold).
template <typename S>
bool convert(S value, float& out) {
  out = static_cast<float>(value);
  return true;
}
template <typename S>
bool convert(S value, long long& out) {
  if constexpr (std::is_floating_point_v<S>) {
    out = value >= 9.2e18    ? LLONG_MAX
          : value <= -9.2e18 ? LLONG_MIN
          : value == value   ? static_cast<long long>(value)
                             : 0;
  } else if constexpr (std::is_unsigned_v<S>) {
    out = value > static_cast<unsigned long long>(LLONG_MAX) ? LLONG_MAX
                                                             : static_cast<long long>(value);
  } else {
    out = value;
  }
  return true;
}
template <typename S>
bool convert(S value, short& out) {
  if constexpr (std::is_floating_point_v<S>) {
    if (!(value >= -32768 && value <= 32767 && value == std::nearbyint(value))) return false;
  } else if constexpr (std::is_unsigned_v<S>) {
    if (value > 32767) return false;
  } else {
    if (value < -32768 || value > 32767) return false;
  }
  out = static_cast<short>(value);
  return true;
}

// Converts count stored values of S; gives the index of the first that does not convert, or
// count.
template <typename S, typename T>
std::size_t convert_all(const unsigned char* in, std::size_t count, bool swap, T* out) {
  for (std::size_t i = 0; i < count; ++i, in += sizeof(S)) {
    if (!convert(stored<S>(in, swap), out[i])) return i;
  }
  return count;
}

template <typename T>
std::size_t convert_values(XmlType type, const unsigned char* in, std::size_t count, bool swap,
                           T* out) {
  switch (type) {
    case XmlType::int8:
      return convert_all<std::int8_t>(in, count, swap, out);
    case XmlType::uint8:
    case XmlType::string:
      return convert_all<std::uint8_t>(in, count, swap, out);
    case XmlType::int16:
      return convert_all<std::int16_t>(in, count, swap, out);
    case XmlType::uint16:
      return convert_all<std::uint16_t>(in, count, swap, out);
    case XmlType::int32:
      return convert_all<std::int32_t>(in, count, swap, out);
    case XmlType::uint32:
      return convert_all<std::uint32_t>(in, count, swap, out);
    case XmlType::int64:
      return convert_all<std::int64_t>(in, count, swap, out);
    case XmlType::uint64:
      return convert_all<std::uint64_t>(in, count, swap, out);
    case XmlType::float32:
      return convert_all<float>(in, count, swap, out);
    case XmlType::float64:
      break;
  }
  return convert_all<double>(in, count, swap, out);
}

// The stored value at in as a double, for a message.
double value_at(XmlType type, const unsigned char* in, bool swap) {
  float value = 0.0f;
  convert_values(type, in, 1, swap, &value);
  double wide = value;
  if (type == XmlType::float64) wide = stored<double>(in, swap);
  return wide;
}

// The type whose stored values are already T's in host order.
template <typename T>
constexpr XmlType kSameType = std::is_same_v<T, float>       ? XmlType::float32
                              : std::is_same_v<T, long long> ? XmlType::int64
                                                             : XmlType::int16;

}  // namespace

XmlLayout xml_layout(const XmlDocument& document, const char* path, const char* dataset) {
  const XmlElement& root = document.root;
  const char* type = root.attribute(kTypeKey);
  if (type == nullptr || std::strcmp(type, dataset) != 0 || root.child(dataset) == nullptr) {
    file_error("file ", path, kWrongDataset, (std::string(dataset) + " data\n").c_str());
  }
  XmlLayout layout;
  layout.path = path;
  const char* order = root.attribute(kByteOrderKey);
  if (order != nullptr && std::strcmp(order, kLittleEndian) != 0) {
    if (std::strcmp(order, kBigEndian) != 0) file_error("file ", path, kByteOrder);
    layout.big_endian = true;
  }
  const char* header = root.attribute(kHeaderTypeKey);
  if (header != nullptr) {
    const XmlTypeRow* row = find_xml_type(header);
    if (row == nullptr || (row->type != XmlType::uint32 && row->type != XmlType::uint64)) {
      file_error("file ", path, kHeaderType);
    }
    layout.header_width = row->width;
  }
  const char* compressor = root.attribute(kCompressorKey);
  if (compressor != nullptr) {
    if (std::strcmp(compressor, kZlibCompressor) != 0) {
      file_error("file ", path, kCompressor, (std::string(compressor) + ")\n").c_str());
    }
    layout.compressed = true;
  }
  if (document.appended >= 0) {
    layout.appended = document.appended;
    layout.appended_base64 = document.appended_encoding == kBase64Encoding;
    if (!layout.appended_base64 && document.appended_encoding != kRawEncoding) {
      file_error("file ", path, kEncoding);
    }
  }
  return layout;
}

const XmlElement& only_piece(const XmlElement& dataset, const char* path) {
  const XmlElement* piece = nullptr;
  for (const XmlElement& child : dataset.children) {
    if (child.name != kPiece) continue;
    if (piece != nullptr) file_error("file ", path, kPieces);
    piece = &child;
  }
  if (piece == nullptr) file_error("file ", path, kPieces);
  return *piece;
}

bool attribute_integers(const char* text, long long* out, int count) {
  if (text == nullptr) return false;
  for (int i = 0; i < count; ++i) {
    char* end = nullptr;
    errno = 0;
    out[i] = std::strtoll(text, &end, 10);
    if (end == text || errno != 0) return false;
    text = end;
  }
  while (*text != '\0' && ends_token(text)) ++text;
  return *text == '\0';
}

bool attribute_numbers(const char* text, double* out, int count, bool wide) {
  if (text == nullptr) return false;
  for (int i = 0; i < count; ++i) {
    char* end = nullptr;
    out[i] = wide ? std::strtod(text, &end) : std::strtof(text, &end);
    if (end == text || !std::isfinite(out[i])) return false;
    text = end;
  }
  while (*text != '\0' && ends_token(text)) ++text;
  return *text == '\0';
}

ArrayReader::ArrayReader(const XmlLayout& layout, const XmlElement& array, long long expected,
                         unsigned accepted, const char* what, const char* zero)
    : layout_(layout), type_(nullptr), expected_(expected), what_(what), zero_(zero) {
  const char* path = layout.path;
  const char* type_word = array.attribute(kTypeKey);
  const XmlTypeRow* row = type_word != nullptr ? find_xml_type(type_word) : nullptr;
  if (row == nullptr || (accepted & type_bit(row->type)) == 0) {
    file_error("file ", path, kArrayType,
               (std::string(type_word ? type_word : "none") + "\n").c_str());
  }
  type_ = row;
  const char* format = array.attribute(kFormatKey);
  const std::string how = format != nullptr ? format : "";
  long long backed = 0;  // the most bytes of values the stored data can decode to
  if (how == kAsciiFormat) {
    stream_ = std::make_unique<AsciiStream>(array.text, *type_);
    backed = static_cast<long long>(array.text.size() / 2 + 1) * static_cast<long long>(row->width);
  } else {
    std::unique_ptr<Encoded> encoded;
    if (how == kBinaryFormat) {
      encoded = std::make_unique<Base64>(array.text);
    } else if (how == kAppendedFormat) {
      long long offset = -1;
      if (layout.appended < 0 || !attribute_integers(array.attribute(kOffsetKey), &offset, 1) ||
          offset < 0 || offset > LLONG_MAX / 2) {
        file_error("file ", path, kArrayOffset);
      }
      FileHandle file(std::fopen(path, "rb"));
      if (!file ||
          std::fseek(file.get(), static_cast<long>(layout.appended + offset), SEEK_SET) != 0) {
        file_error("file ", path, kCannotBeRead);
      }
      if (layout.appended_base64) {
        encoded = std::make_unique<Base64>(std::move(file));
      } else {
        encoded = std::make_unique<RawFile>(std::move(file));
      }
    } else {
      file_error("file ", path, kArrayFormat);
    }
    backed = encoded->available() * (layout.compressed ? kDeflateRatio : 1);
    stream_ = std::make_unique<BinaryStream>(std::move(encoded), layout);
  }
  const long long width = static_cast<long long>(row->width);
  if (expected < 0 || expected > LLONG_MAX / 8 || !within_reach(expected * width, backed)) {
    file_error("file ", path, kFarLessData);
  }
}

ArrayReader::~ArrayReader() = default;

// Up to `values` stored values into out; fewer where the data end, which is then reported once.
std::size_t ArrayReader::next_stored(unsigned char* out, std::size_t values) {
  const std::size_t width = type_->width;
  const std::size_t got = stream_->read(out, values * width) / width;
  if (stream_->failure != nullptr) {
    failure_ = "file " + std::string(layout_.path) + stream_->failure;
  } else if (got < values && missing_ == 0) {
    missing_ = expected_ - done_ - static_cast<long long>(got);
    if (zero_ != nullptr) warn_missing_values(layout_.path, missing_, expected_, what_, zero_);
  }
  done_ += static_cast<long long>(got);
  return got;
}

template <typename T>
bool ArrayReader::read_converted(T* out, std::size_t count) {
  if (failure() != nullptr) return false;
  const bool swap = layout_.big_endian && !stream_->host_order() && type_->width > 1;
  const bool direct = type_->type == kSameType<T> && !swap;
  for (std::size_t done = 0; done < count;) {
    const std::size_t values = std::min(count - done, kBlock);
    std::size_t got = 0;
    if (direct) {
      got = next_stored(reinterpret_cast<unsigned char*>(out + done), values);
    } else {
      if (!scratch_) {
        const auto most = static_cast<std::size_t>(std::min<long long>(kBlock, expected_));
        scratch_.reset(new unsigned char[most * type_->width]);
      }
      got = next_stored(scratch_.get(), values);
      const std::size_t converted =
          convert_values(type_->type, scratch_.get(), got, swap, out + done);
      if (converted < got && failure_.empty()) {
        const double value = value_at(type_->type, scratch_.get() + converted * type_->width, swap);
        failure_ = "file " + std::string(layout_.path) + mask_value_refusal(value);
      }
    }
    if (failure() != nullptr) return false;
    std::fill(out + done + got, out + done + values, T{0});
    done += values;
  }
  return true;
}

bool ArrayReader::read(float* out, std::size_t count) { return read_converted(out, count); }
bool ArrayReader::read(long long* out, std::size_t count) { return read_converted(out, count); }
bool ArrayReader::read(short* out, std::size_t count) { return read_converted(out, count); }

std::string ArrayReader::read_string(std::size_t limit) {
  std::string text;
  unsigned char piece[4096];
  while (text.size() < limit) {
    const std::size_t got = stream_->read(piece, std::min(sizeof piece, limit - text.size()));
    const unsigned char* end = std::find(piece, piece + got, 0);
    text.append(reinterpret_cast<const char*>(piece), static_cast<std::size_t>(end - piece));
    if (end != piece + got || got < sizeof piece) break;
  }
  return text;
}

}  // namespace brintom
