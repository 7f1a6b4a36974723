// brintom: converts between the toolkit's files and those of the field's other tools, and
// describes them.
#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/deflate.hpp"
#include "tool/atomic_output.hpp"
#include "tool/convert.hpp"
#include "tool/formats.hpp"
#include "tool/info.hpp"

namespace {

using brintom::FileKind;

constexpr char kUsage[] =
    "usage: brintom convert [--format binary|ascii|ascii-structured] [--frame N]\n"
    "                       [--as image|mask|mesh] [--compress LEVEL] [--oblique drop]\n"
    "                       INPUT OUTPUT\n"
    "       brintom info [--json] FILE...\n"
    "       brintom --help | --version | COMMAND --help\n";
constexpr char kConvertHelp[] =
    "usage: brintom convert [OPTIONS] INPUT OUTPUT\n"
    "Converts INPUT into OUTPUT; each name's ending gives its format: .image, .mask, .mesh\n"
    "(native files; NAME.txt is their geometry header), .vtk, .vti, .vtp, .nii, .nii.gz, .nrrd,\n"
    ".nhdr (read only), .mha, .mhd, or for meshes .stl, .ply or .obj. An INPUT with another\n"
    "name is a VTK file when its first line says so.\n"
    "  --format WORD   VTK output: binary (default), ascii or ascii-structured for an image;\n"
    "                  binary (default) or ascii for a mask; STL and PLY output: binary\n"
    "                  (default) or ascii\n"
    "  --frame N       only frame N (from 0) of a multi-frame volume; without it a .vtk or\n"
    "                  .vti OUTPUT gets every frame as OUTPUT_000.vtk, ... and the series\n"
    "                  OUTPUT.series\n"
    "  --as KIND       a native INPUT's kind whatever its name (image, mask or mesh); for a\n"
    "                  NIfTI, NRRD or MetaImage INPUT, image or mask (by default a mask when\n"
    "                  its voxels are integers of 16 bits or fewer)\n"
    "  --compress N    0 (none where the format allows it, else the fastest) to 9 (smallest)\n"
    "                  for .nii.gz, .nrrd, .mha, .mhd, .vti and .vtp; default 1\n"
    "  --oblique drop  convert a volume whose axes are rotated off x, y and z by keeping its\n"
    "                  voxel grid and dropping the rotation (without it, refused)\n";
constexpr char kInfoHelp[] =
    "usage: brintom info [--json] FILE...\n"
    "Describes each file: kind, dimensions, frames, voxel type, geometry, and each frame's\n"
    "minimum, maximum, mean and NaN count, a mask's labels or a mesh's size.\n"
    "  --json   one JSON array, one object a file\n";

[[noreturn]] void usage_error(const std::string& complaint) {
  std::fprintf(stderr, "brintom: %s\n%s", complaint.c_str(), kUsage);
  std::exit(2);
}

// Our words for what CLI11 found wrong, so that the messages stay as they were.
[[noreturn]] void parse_failure(const CLI::ParseError& error, const CLI::App* command,
                                const char* missing) {
  const std::string what = error.what();
  if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
    for (const std::string& extra : command->remaining()) {
      if (extra.size() > 1 && extra[0] == '-') usage_error("unknown option " + extra);
    }
    usage_error(missing);
  }
  if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) usage_error(missing);
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
    const std::size_t at = what.find("--");
    usage_error("option " + what.substr(at, what.find_first_of(": ", at) - at) + " needs a value");
  }
  usage_error(what);
}

int run_convert(int argc, char** argv) {
  CLI::App app;
  app.set_help_flag();
  bool help = false;
  std::string as_word, frame_word, level_word, oblique_word;
  std::vector<std::string> names;
  brintom::ConvertRequest request;
  app.add_flag("-h,--help", help);
  app.add_option("--format", request.options.format);
  app.add_option("--as", as_word);
  app.add_option("--frame", frame_word);
  app.add_option("--compress", level_word);
  app.add_option("--oblique", oblique_word);
  app.add_option("names", names);
  app.allow_extras(false);
  try {
    app.parse(argc - 1, argv + 1);
  } catch (const CLI::ParseError& error) {
    parse_failure(error, &app, "convert takes an INPUT and an OUTPUT");
  }
  if (help) {
    std::fputs(kConvertHelp, stdout);
    return 0;
  }
  if (!as_word.empty() || app.count("--as") != 0) {
    request.as_kind = brintom::kind_from_word(as_word);
    if (request.as_kind == FileKind::unknown) usage_error("--as takes image, mask or mesh");
  }
  // A whole number from first to last, or -1 when not.
  auto whole_number = [](const std::string& word, long first, long last) {
    char* end = nullptr;
    const long value = std::strtol(word.c_str(), &end, 10);
    return word.empty() || *end != '\0' || value < first || value > last ? -1L : value;
  };
  if (app.count("--frame") != 0) {
    request.options.frame = static_cast<int>(whole_number(frame_word, 0, 0x7fffffff));
    if (request.options.frame < 0) usage_error("--frame takes a frame number from 0");
  }
  if (app.count("--compress") != 0) {
    request.options.level =
        static_cast<int>(whole_number(level_word, 0, brintom::kMaxCompressLevel));
    if (request.options.level < 0) usage_error("--compress takes a level from 0 to 9");
  }
  if (app.count("--oblique") != 0) {
    if (oblique_word != "drop") usage_error("--oblique takes drop");
    request.options.oblique = brintom::Oblique::drop;
  }
  if (names.size() != 2) usage_error("convert takes an INPUT and an OUTPUT");
  request.input = names[0];
  request.output = names[1];
  if (brintom::format_of_name(request.output) == nullptr) {
    usage_error("the OUTPUT name " + request.output + " must end in " + brintom::known_suffixes() +
                ", which names its format");
  }
  // A closed pipe must be a write failure with its message, not a silent death by signal.
  std::signal(SIGPIPE, SIG_IGN);
  brintom::make_outputs_atomic();
  const std::string complaint = brintom::convert(request);
  if (!complaint.empty()) usage_error(complaint);
  return 0;
}

int run_info(int argc, char** argv) {
  CLI::App app;
  app.set_help_flag();
  bool help = false, json = false;
  std::vector<std::string> files;
  app.add_flag("-h,--help", help);
  app.add_flag("--json", json);
  app.add_option("files", files);
  try {
    app.parse(argc - 1, argv + 1);
  } catch (const CLI::ParseError& error) {
    parse_failure(error, &app, "info takes at least one FILE");
  }
  if (help) {
    std::fputs(kInfoHelp, stdout);
    return 0;
  }
  if (files.empty()) usage_error("info takes at least one FILE");
  return brintom::describe_files(files, json);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) usage_error("a command is missing");
  const std::string command = argv[1];
  if (command == "--help" || command == "-h") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (command == "--version") {
    std::fputs("brintom " BRINTOM_VERSION "\n", stdout);
    return 0;
  }
  if (command == "convert") return run_convert(argc, argv);
  if (command == "info") return run_info(argc, argv);
  usage_error("unknown command " + command);
}
