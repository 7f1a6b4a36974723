#include "vtkxml/document.hpp"

#include <expat.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "support/fatal.hpp"
#include "support/file_handle.hpp"
#include "vtkxml/words.hpp"

namespace brintom {
namespace {

// clang-format off
constexpr char kCannotBeOpened[] = " cannot be opened\n";
constexpr char kNotVtkXml[]      = " is not a VTK XML file\n";
constexpr char kNotWellFormed[]  = " is not well-formed XML (line ";
constexpr char kCannotBeRead[]   = " cannot be read\n";
constexpr char kNoMemory[]       = "not enough memory for the XML parser\n";
// clang-format on

// VTK's files nest seven deep; this bounds what a hostile file makes us keep.
constexpr std::size_t kDeepest = 32;
constexpr std::size_t kChunk = std::size_t{1} << 16;

struct ParserFree {
  void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};

// What the parser's handlers build: the elements still open, innermost last.
struct Builder {
  XML_Parser parser;
  XmlDocument* document;
  std::vector<XmlElement*> open;
  bool refused = false;  // stopped: not a VTK XML file
};

void refuse(Builder& builder) {
  builder.refused = true;
  XML_StopParser(builder.parser, XML_FALSE);
}

bool holds_values(const std::string& name) { return name == kDataArray || name == kFieldArray; }

void start_element(void* data, const XML_Char* name, const XML_Char** attributes) {
  Builder& b = *static_cast<Builder*>(data);
  XmlElement* element = &b.document->root;
  if (b.open.empty()) {
    if (std::strcmp(name, kVtkFile) != 0) return refuse(b);
  } else if (b.open.size() >= kDeepest) {
    return refuse(b);
  } else {
    b.open.back()->children.emplace_back();
    element = &b.open.back()->children.back();
  }
  element->name = name;
  for (const XML_Char** pair = attributes; pair[0] != nullptr; pair += 2) {
    element->attributes.emplace_back(pair[0], pair[1]);
  }
  b.open.push_back(element);
  if (element->name == kAppendedData) {
    // What follows may be raw bytes: the parse ends with this start tag.
    b.document->appended = static_cast<long long>(XML_GetCurrentByteIndex(b.parser)) +
                           XML_GetCurrentByteCount(b.parser);
    const char* encoding = element->attribute(kEncodingKey);
    b.document->appended_encoding = encoding != nullptr ? encoding : "";
    XML_StopParser(b.parser, XML_FALSE);
  }
}

// A refused start tag was not kept, and the parser still ends an empty element it opened.
void end_element(void* data, const XML_Char*) {
  Builder& b = *static_cast<Builder*>(data);
  if (!b.refused && !b.open.empty()) b.open.pop_back();
}

void character_data(void* data, const XML_Char* text, int length) {
  Builder& b = *static_cast<Builder*>(data);
  if (!b.open.empty() && holds_values(b.open.back()->name)) {
    b.open.back()->text.append(text, static_cast<std::size_t>(length));
  }
}

// No VTK file declares a document type, and without one no entity can be declared.
void start_doctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
  refuse(*static_cast<Builder*>(data));
}

// The appended data start after the AppendedData start tag, white space and an underscore; a
// first byte that is no underscore is taken as data, as VTK takes it.
long long appended_start(std::FILE* file, long long tag_end, const char* path) {
  if (std::fseek(file, static_cast<long>(tag_end), SEEK_SET) != 0) {
    file_error("file ", path, kCannotBeRead);
  }
  int c;
  do {
    c = std::getc(file);
  } while (c == ' ' || c == '\t' || c == '\n' || c == '\r');
  const long at = std::ftell(file);
  return c == '_' ? at : at - 1;
}

}  // namespace

const char* XmlElement::attribute(const char* key) const {
  for (const auto& [own_key, value] : attributes) {
    if (own_key == key) return value.c_str();
  }
  return nullptr;
}

const XmlElement* XmlElement::child(const char* child_name) const {
  for (const XmlElement& element : children) {
    if (element.name == child_name) return &element;
  }
  return nullptr;
}

XmlDocument read_xml_document(const char* path) {
  FileHandle file(std::fopen(path, "rb"));
  if (!file) file_error("file ", path, kCannotBeOpened);
  XmlDocument document;
  std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreate(nullptr));
  if (!parser) error_message(kNoMemory);
  Builder builder{parser.get(), &document, {}};
  XML_SetUserData(parser.get(), &builder);
  XML_SetElementHandler(parser.get(), start_element, end_element);
  XML_SetCharacterDataHandler(parser.get(), character_data);
  XML_SetStartDoctypeDeclHandler(parser.get(), start_doctype);

  std::unique_ptr<char[]> chunk(new char[kChunk]);
  for (bool last = false; !last;) {
    const std::size_t got = std::fread(chunk.get(), 1, kChunk, file.get());
    if (got < kChunk && std::ferror(file.get())) file_error("file ", path, kCannotBeRead);
    last = got < kChunk;
    if (XML_Parse(parser.get(), chunk.get(), static_cast<int>(got), last ? 1 : 0) ==
        XML_STATUS_OK) {
      continue;
    }
    const XML_Error error = XML_GetErrorCode(parser.get());
    if (error == XML_ERROR_ABORTED && !builder.refused) break;  // at the appended data
    if (builder.refused || document.root.name.empty()) file_error("file ", path, kNotVtkXml);
    const std::string where = std::to_string(XML_GetCurrentLineNumber(parser.get())) + ": " +
                              XML_ErrorString(error) + ")\n";
    file_error("file ", path, kNotWellFormed, where.c_str());
  }
  if (document.root.name.empty()) file_error("file ", path, kNotVtkXml);
  if (document.appended >= 0)
    document.appended = appended_start(file.get(), document.appended, path);
  return document;
}

}  // namespace brintom
