#include "vtkxml/appended_data.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include "vtkxml/words.hpp"

namespace brintom {
namespace {

// Uncompressed bytes written at a time.
constexpr std::size_t kRawPiece = std::size_t{1} << 16;
// What closes the appended data and the file.
constexpr char kEnd[] = "\n  </AppendedData>\n</VTKFile>\n";
// The digits of the largest offset, 2^64 - 1.
constexpr std::size_t kOffsetDigits = 20;

// Header words: little-endian 64-bit integers.
void put_word(unsigned char* at, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

}  // namespace

AppendedFile::AppendedFile(const char* path, const char* head, int level, OpenFailure cannot_open)
    : block_(new unsigned char[std::max(kXmlBlockBytes, kRawPiece)]),
      compressor_(level > 0 ? std::make_unique<BlockCompressor>(level) : nullptr),
      out_(path, head, cannot_open),
      level_(level) {}

std::string AppendedFile::file_attributes() const {
  std::string text = std::string(" ") + kVersionKey + "=\"" + kVersion + "\" " + kByteOrderKey +
                     "=\"" + kLittleEndian + "\" " + kHeaderTypeKey + "=\"" +
                     xml_type_row(XmlType::uint64).word + "\"";
  if (level_ > 0) text += std::string(" ") + kCompressorKey + "=\"" + kZlibCompressor + "\"";
  return text;
}

void AppendedFile::begin(const std::string& xml) {
  out_.write(xml.data(), xml.size());
  data_start_ = out_.size();
}

unsigned long long AppendedFile::append(ArrayBytes& bytes) {
  const unsigned long long offset = static_cast<unsigned long long>(out_.size() - data_start_);
  if (level_ > 0) {
    append_blocks(bytes);
  } else {
    append_raw(bytes);
  }
  return offset;
}

void AppendedFile::append_raw(ArrayBytes& bytes) {
  unsigned char header[8];
  put_word(header, bytes.total);
  out_.write(header, sizeof header);
  for (std::uint64_t done = 0; done < bytes.total;) {
    const std::size_t size =
        static_cast<std::size_t>(std::min<std::uint64_t>(kRawPiece, bytes.total - done));
    const void* from = bytes.next(block_.get(), size);
    if (from == nullptr) out_.abandon(bytes.failure());
    out_.write(from, size);
    done += size;
  }
}

// The header (block count, block size, last block's size when it is short, else 0, and each
// block's compressed size) goes out first with the sizes unknown, and again over itself once
// the blocks are written: its length depends on the block count alone.
void AppendedFile::append_blocks(ArrayBytes& bytes) {
  const std::uint64_t blocks = (bytes.total + kXmlBlockBytes - 1) / kXmlBlockBytes;
  std::vector<unsigned char> header(static_cast<std::size_t>(3 + blocks) * 8, 0);
  put_word(&header[0], blocks);
  put_word(&header[8], kXmlBlockBytes);
  put_word(&header[16], bytes.total % kXmlBlockBytes);
  const long long at = out_.size();
  out_.write(header.data(), header.size());
  std::uint64_t done = 0;
  for (std::size_t b = 0; b < blocks; ++b) {
    const std::size_t size =
        static_cast<std::size_t>(std::min<std::uint64_t>(kXmlBlockBytes, bytes.total - done));
    const void* from = bytes.next(block_.get(), size);
    if (from == nullptr) out_.abandon(bytes.failure());
    put_word(&header[24 + 8 * b], compressor_->compress(from, size, out_));
    done += size;
  }
  out_.write_at(at, header.data(), header.size());
}

void AppendedFile::finish(const std::string& xml) {
  if (!xml.empty()) out_.write_at(0, xml.data(), xml.size());
  out_.write(kEnd, sizeof kEnd - 1);
  out_.finish();
}

XmlAttribute offset_attribute(unsigned long long offset) {
  const std::string digits = std::to_string(offset);
  return {kOffsetKey, digits, kOffsetDigits - digits.size()};
}

XmlText::XmlText(const char* dataset, const std::string& file_attributes)
    : text_("<?xml version=\"1.0\"?>\n") {
  text_ += std::string("<") + kVtkFile + " " + kTypeKey + "=\"" + dataset + "\"" + file_attributes +
           ">\n";
  depth_ = 1;
}

void XmlText::tag(const char* name, std::initializer_list<XmlAttribute> attributes,
                  const char* end) {
  text_ += std::string(2 * depth_, ' ') + "<" + name;
  for (const XmlAttribute& attribute : attributes) {
    text_ += std::string(" ") + attribute.key + "=\"" + attribute.value + "\"" +
             std::string(attribute.pad, ' ');
  }
  text_ += end;
}

void XmlText::open(const char* name, std::initializer_list<XmlAttribute> attributes) {
  tag(name, attributes, ">\n");
  ++depth_;
}

void XmlText::empty(const char* name, std::initializer_list<XmlAttribute> attributes) {
  tag(name, attributes, "/>\n");
}

void XmlText::close(const char* name) {
  --depth_;
  text_ += std::string(2 * depth_, ' ') + "</" + name + ">\n";
}

void XmlText::line(const std::string& data) { text_ += std::string(2 * depth_, ' ') + data + "\n"; }

const std::string& XmlText::appended() {
  open(kAppendedData, {{kEncodingKey, kRawEncoding}});
  text_ += std::string(2 * depth_ - 1, ' ') + "_";
  return text_;
}

}  // namespace brintom
