// brintom: converts between the toolkit's files and legacy VTK files, and describes them.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tool/atomic_output.hpp"
#include "tool/convert.hpp"
#include "tool/info.hpp"

namespace {

using brintom::FileKind;

constexpr char kUsage[] =
    "usage: brintom convert [--format binary|ascii|ascii-structured] [--frame N]\n"
    "                       [--as image|mask|mesh] INPUT OUTPUT\n"
    "       brintom info [--json] FILE...\n"
    "       brintom --help | --version | COMMAND --help\n";
constexpr char kConvertHelp[] =
    "usage: brintom convert [OPTIONS] INPUT OUTPUT\n"
    "Converts INPUT into OUTPUT, whose extension names its kind: .vtk, .image, .mask or .mesh.\n"
    "INPUT is a native file by its extension (.image, .mask, .mesh; its geometry header is\n"
    "NAME.txt when there is one) or a VTK file by its first line.\n"
    "  --format WORD   VTK output: binary (default), ascii or ascii-structured for an image;\n"
    "                  binary (default) or ascii for a mask\n"
    "  --frame N       only frame N (from 0) of a multi-frame image; without it every frame\n"
    "                  goes to OUTPUT_000.vtk, ... and the series OUTPUT.series\n"
    "  --as KIND       INPUT is a native image, mask or mesh whatever its name\n";
constexpr char kInfoHelp[] =
    "usage: brintom info [--json] FILE...\n"
    "Describes each file: kind, dimensions, frames, voxel type, geometry, and each frame's\n"
    "minimum, maximum, mean and NaN count, a mask's labels or a mesh's size.\n"
    "  --json   one JSON array, one object a file\n";

[[noreturn]] void usage_error(const std::string& complaint) {
  std::fprintf(stderr, "brintom: %s\n%s", complaint.c_str(), kUsage);
  std::exit(2);
}

bool is(const char* argument, const char* word) { return std::strcmp(argument, word) == 0; }

// "--name value" or "--name=value"; false when argument is not that option.
bool option_value(const char* name, int& i, int argc, char** argv, std::string& value) {
  const std::size_t length = std::strlen(name);
  if (std::strncmp(argv[i], name, length) != 0) return false;
  if (argv[i][length] == '=') {
    value = argv[i] + length + 1;
    return true;
  }
  if (argv[i][length] != '\0') return false;
  if (++i == argc) usage_error(std::string("option ") + name + " needs a value");
  value = argv[i];
  return true;
}

int run_convert(int argc, char** argv) {
  brintom::ConvertRequest request;
  std::vector<std::string> names;
  bool options_end = false;
  for (int i = 2; i < argc; ++i) {
    std::string value;
    if (options_end || argv[i][0] != '-' || is(argv[i], "-")) {
      names.push_back(argv[i]);
    } else if (is(argv[i], "--")) {
      options_end = true;
    } else if (is(argv[i], "--help") || is(argv[i], "-h")) {
      std::fputs(kConvertHelp, stdout);
      return 0;
    } else if (option_value("--format", i, argc, argv, value)) {
      request.format = value;
    } else if (option_value("--as", i, argc, argv, value)) {
      request.as_kind = brintom::kind_from_word(value);
      if (request.as_kind == FileKind::unknown) usage_error("--as takes image, mask or mesh");
    } else if (option_value("--frame", i, argc, argv, value)) {
      char* end = nullptr;
      const long frame = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || frame < 0 || frame > 0x7fffffff) {
        usage_error("--frame takes a frame number from 0");
      }
      request.frame = static_cast<int>(frame);
    } else {
      usage_error(std::string("unknown option ") + argv[i]);
    }
  }
  if (names.size() != 2) usage_error("convert takes an INPUT and an OUTPUT");
  request.input = names[0];
  request.output = names[1];
  if (brintom::kind_from_name(request.output) == FileKind::unknown) {
    usage_error("the OUTPUT name " + request.output +
                " must end in .vtk, .image, .mask or .mesh, which names its kind");
  }
  // A closed pipe must be a write failure with its message, not a silent death by signal.
  std::signal(SIGPIPE, SIG_IGN);
  brintom::make_outputs_atomic();
  const std::string complaint = brintom::convert(request);
  if (!complaint.empty()) usage_error(complaint);
  return 0;
}

int run_info(int argc, char** argv) {
  bool json = false;
  std::vector<std::string> files;
  bool options_end = false;
  for (int i = 2; i < argc; ++i) {
    if (options_end || argv[i][0] != '-' || is(argv[i], "-")) {
      files.push_back(argv[i]);
    } else if (is(argv[i], "--")) {
      options_end = true;
    } else if (is(argv[i], "--help") || is(argv[i], "-h")) {
      std::fputs(kInfoHelp, stdout);
      return 0;
    } else if (is(argv[i], "--json")) {
      json = true;
    } else {
      usage_error(std::string("unknown option ") + argv[i]);
    }
  }
  if (files.empty()) usage_error("info takes at least one FILE");
  return brintom::describe_files(files, json);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) usage_error("a command is missing");
  if (is(argv[1], "--help") || is(argv[1], "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (is(argv[1], "--version")) {
    std::fputs("brintom " BRINTOM_VERSION "\n", stdout);
    return 0;
  }
  if (is(argv[1], "convert")) return run_convert(argc, argv);
  if (is(argv[1], "info")) return run_info(argc, argv);
  usage_error(std::string("unknown command ") + argv[1]);
}
