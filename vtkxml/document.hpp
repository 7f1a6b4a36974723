#pragma once

#include <string>
#include <utility>
#include <vector>

namespace brintom {

// Internal: one element of a VTK XML file, with its attributes in the file's order.
struct XmlElement {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  std::string text;  // the character data of an array (DataArray, Array); empty for others
  std::vector<XmlElement> children;

  // The value of an attribute, or null.
  const char* attribute(const char* key) const;
  // The first child of that name, or null.
  const XmlElement* child(const char* child_name) const;
};

// Internal: the XML of a VTK XML file up to its appended data, whose raw bytes are no XML.
struct XmlDocument {
  XmlElement root;                // VTKFile
  long long appended = -1;        // where the appended data start: the byte after the "_"
  std::string appended_encoding;  // the AppendedData element's encoding attribute
};

// Reads the document of the file at path. Fatal when the file cannot be opened, is not
// well-formed XML (the message names the line and the parser's complaint), declares a document
// type, nests elements more than 32 deep, or is not a VTKFile.
XmlDocument read_xml_document(const char* path);

}  // namespace brintom
