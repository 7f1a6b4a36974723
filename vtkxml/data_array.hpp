#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "vtkxml/document.hpp"
#include "vtkxml/words.hpp"

namespace brintom {

// Internal: how every binary array of a VTK XML file is stored, from its VTKFile attributes.
struct XmlLayout {
  const char* path;
  bool big_endian = false;       // byte_order BigEndian
  std::size_t header_width = 4;  // header_type UInt32 (VTK's default) or UInt64
  bool compressed = false;       // zlib blocks (vtkZLibDataCompressor)
  long long appended = -1;       // where the appended data start; -1 without any
  bool appended_base64 = false;  // the appended data are base64 text, else raw bytes
};

// The layout of a document whose VTKFile type is dataset. Fatal for another type, and for a byte
// order, header type, compressor or appended encoding that is not read.
XmlLayout xml_layout(const XmlDocument& document, const char* path, const char* dataset);

// The one Piece of a dataset element; fatal for a file of several pieces, or of none.
const XmlElement& only_piece(const XmlElement& dataset, const char* path);

// Whole numbers of an attribute's text: count of them separated by blanks and nothing else, or
// false. Floats likewise (finite ones only; doubles when wide).
bool attribute_integers(const char* text, long long* out, int count);
bool attribute_numbers(const char* text, double* out, int count, bool wide);

// Internal: the values of one array (a DataArray or a field data Array) in the file's order,
// decoded a block at a time whatever the array's size: inline text (ascii), inline base64
// (binary) or appended data, each binary array behind its header, its bytes as they are or in
// zlib blocks, in either byte order.
class ArrayReader {
 public:
  // Takes the array for `expected` values (tuples times components) at most. Fatal when its
  // type is none of accepted (type_bit of each), its format or offset is not one,
  // its header cannot be read, or the file holds far too little to back `expected` values, so
  // that nothing the size of the values is allocated from a count the file cannot back. Data
  // that end early read as zero, with one warning line "warning: vtk file PATH: N of M [what ]
  // values missing, read as zero" when they are first found missing.
  ArrayReader(const XmlLayout& layout, const XmlElement& array, long long expected,
              unsigned accepted, const char* what, const char* zero);
  ~ArrayReader();
  ArrayReader(const ArrayReader&) = delete;
  ArrayReader& operator=(const ArrayReader&) = delete;

  const XmlTypeRow& type() const { return *type_; }

  // The next count values (of the expected ones) converted: to floats (doubles rounded), to
  // 64-bit integers (from integer types, beyond whose range a value saturates), or to a
  // mask's 16-bit integers, which fails at a value that is not one. False after a failure
  // (failure() says why: a corrupt compressed block, a value a mask cannot hold).
  bool read(float* out, std::size_t count);
  bool read(long long* out, std::size_t count);
  bool read(short* out, std::size_t count);
  // A string array's first string: its bytes up to the first zero byte or the array's end, at
  // most limit of them.
  std::string read_string(std::size_t limit);

  const char* failure() const { return failure_.empty() ? nullptr : failure_.c_str(); }
  long long missing() const { return missing_; }

  struct Stream;  // how the stored bytes come in

 private:
  template <typename T>
  bool read_converted(T* out, std::size_t count);
  std::size_t next_stored(unsigned char* out, std::size_t values);

  const XmlLayout layout_;
  const XmlTypeRow* type_;
  const long long expected_;
  const char* what_;
  const char* zero_;
  std::unique_ptr<Stream> stream_;
  std::unique_ptr<unsigned char[]> scratch_;
  long long done_ = 0, missing_ = 0;
  std::string failure_;
};

}  // namespace brintom
