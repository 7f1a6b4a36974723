#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>

#include "support/deflate.hpp"
#include "support/output_file.hpp"

namespace brintom {

// Internal: the bytes of one array that a writer stores, handed out in order.
class ArrayBytes {
 public:
  explicit ArrayBytes(std::uint64_t size) : total(size) {}
  virtual ~ArrayBytes() = default;
  // The next size bytes (whole values): where they already are, or written at scratch (room for
  // size bytes). Null when they cannot be had; failure() then says why.
  virtual const void* next(void* scratch, std::size_t size) = 0;
  virtual const char* failure() const { return nullptr; }

  const std::uint64_t total;  // bytes
};

// Uncompressed bytes of an array in each zlib block, VTK's own default. ISA-L fits its codes to
// each block: on 256 MiB of noisy floats 32 KiB blocks came out 0.4% smaller than 256 KiB ones,
// and smaller than zlib's level 6 in VTK's 32 KiB, for 0.1 s more.
inline constexpr std::size_t kXmlBlockBytes = std::size_t{1} << 15;

// Internal: a VTK XML file of ours, as ParaView writes them: every array appended as raw data
// behind a UInt64 header, its bytes in zlib blocks (levels 1 to 9) or as they are (level 0),
// little-endian. Written in order: the XML up to the appended data, the arrays, the end.
class AppendedFile {
 public:
  // Opens path as OutputFile does, with its messages.
  AppendedFile(const char* path, const char* head, int level, OpenFailure cannot_open = {});

  // The VTKFile start tag's attributes after the type: version, byte order, header type, and the
  // compressor when there is one.
  std::string file_attributes() const;
  // Writes the XML text up to the appended data: it ends with the "_" that opens them.
  void begin(const std::string& xml);
  // Appends one array; gives its offset from the appended data's start.
  unsigned long long append(ArrayBytes& bytes);
  // Writes xml again over the first (the same length, its offsets found now; empty: the first
  // stands), then the end of the file, and finishes it.
  void finish(const std::string& xml);
  // Gives the file up, removing it.
  [[noreturn]] void abandon(const char* message) { out_.abandon(message); }

 private:
  void append_blocks(ArrayBytes& bytes);
  void append_raw(ArrayBytes& bytes);

  // Taken before the file is opened: running out of memory leaves no file.
  std::unique_ptr<unsigned char[]> block_;
  std::unique_ptr<BlockCompressor> compressor_;  // null at level 0
  OutputFile out_;
  const int level_;
  long long data_start_ = 0;
};

// Internal: one attribute of a start tag, and the blanks after it.
struct XmlAttribute {
  const char* key;
  std::string value;  // no markup: numbers and words
  std::size_t pad = 0;
};

// offset="N" padded with blanks to one length for any N, so that the XML can be written again
// over itself once the offsets are known.
XmlAttribute offset_attribute(unsigned long long offset);

// Internal: the XML text of our files, an element a line, indented two blanks a level.
class XmlText {
 public:
  // The declaration, and the VTKFile start tag of a dataset type with the file's attributes.
  XmlText(const char* dataset, const std::string& file_attributes);
  // A start tag, or an empty element's tag.
  void open(const char* name, std::initializer_list<XmlAttribute> attributes);
  void empty(const char* name, std::initializer_list<XmlAttribute> attributes);
  void close(const char* name);
  // A line of character data inside the element last opened.
  void line(const std::string& data);
  // The AppendedData start tag and the "_" before the data: the text is complete.
  const std::string& appended();

 private:
  void tag(const char* name, std::initializer_list<XmlAttribute> attributes, const char* end);

  std::string text_;
  int depth_ = 0;
};

}  // namespace brintom
