#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace brintom {

// What the NRRD and MetaImage header modules share: the line reader, number parsing by C rules,
// the checks and messages that read alike in both, and the number text their writers print.

// The most header text a reader takes: real headers are a few KiB (a diffusion series's gradient
// table included), and a file of one endless line must not make us allocate without bound.
inline constexpr long long kMaxHeaderBytes = 1 << 20;

// Message tails both readers give after "file <path>"; the modules' own tables hold the rest.
// clang-format off
inline constexpr char kHeaderTooLong[] = " has a header longer than 1 MiB\n";
inline constexpr char kSizeBelowOne[]  = " gives a size below 1\n";
inline constexpr char kTooManyVoxels[] = " has more voxels than a file can hold\n";
inline constexpr char kNotFinite[]     = " places its voxels with a number that is not finite\n";
inline constexpr char kSeveralFiles[]  = " spreads its voxels over several data files (a list or a "
                                         "pattern); we read a single data file\n";
// clang-format on

enum class LineRead { line, end, too_long };

// Reads the next line of a header into line, without its "\n" or "\r\n"; a last line may lack
// its line break. consumed counts the bytes taken so far, line breaks included; a line that would
// take it past limit gives too_long. end: the file ended before the line's first byte.
LineRead read_header_line(std::FILE* file, std::string& line, long long& consumed,
                          long long limit = kMaxHeaderBytes);

// Spaces and tabs dropped from both ends.
std::string trim_blanks(const std::string& text);
// The words of text, split at C white space.
std::vector<std::string> split_words(const std::string& text);
// ASCII letters compared without case.
bool equal_ignoring_case(const std::string& a, const char* b);

// Numbers by C rules (strtoll, strtod: signs, hexadecimal, inf and nan as C reads them); each
// takes all of text and nothing else. Integers beyond 64 bits are refused, not saturated.
bool parse_integer(const std::string& text, long long& value);
bool parse_number(const std::string& text, double& value);
// White-space separated numbers; false unless every word is one.
bool parse_numbers(const std::string& text, std::vector<double>& values);

// At most 64 bytes of text for a message, control bytes shown as '?', then "\n".
std::string excerpt_line(const std::string& text);

// The file a header names for its data: name as it is when absolute, else in the header's folder.
std::string data_file_beside(const char* header_path, const std::string& name);

// Whether the voxels of these dimensions, width bytes each, stay below 2^62 bytes.
bool volume_bytes_fit(const long long (&dimensions)[4], int width);

// The unit third axis of a 2-D image: the normal of its two axes, by the right hand; z when
// they are parallel.
void complete_third_axis(double (&axes)[3][3]);

// text on one line: line breaks and NUL bytes become spaces, for a title in a header line.
std::string one_line(const std::string& text);

// Writers' number text: the value as a float, in the fewest digits that read back exactly.
std::string number_text(double value);

// JSON text of numbers read from a header: a JSON array of them.
std::string json_numbers(const std::vector<double>& values);

}  // namespace brintom
