// End to end: runs the built brintom command and checks its statuses, messages and files.
#include <glob.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>

#include "test_support.hpp"

namespace brintom {
namespace {

using namespace test;

// The command with its arguments as one shell line (paths hold no blanks).
Outcome brintom(const std::string& arguments, const char* program = BRINTOM) {
  const std::string out = temp_path(".out"), err = temp_path(".err");
  const int status = std::system(("ASAN_OPTIONS=detect_leaks=0 " + std::string(program) + " " +
                                  arguments + " >" + out + " 2>" + err)
                                     .c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(out), read_file(err)};
}

// How many files match a pattern; a leading dot in it matches hidden files.
std::size_t matching(const std::string& pattern) {
  glob_t found{};
  const std::size_t count = ::glob(pattern.c_str(), 0, nullptr, &found) == 0 ? found.gl_pathc : 0;
  ::globfree(&found);
  return count;
}

TEST(Brintom, ConvertsEveryKindAndBackByteForByte) {
  const std::string base = temp_path("");
  write_file(base + "s.image", host_bytes(3, 1, 1, 1, 1.5f, -0.25f, 1e-3f));
  write_file(base + "s.txt", "Label {Head scan}\nColumnSpacing 0.3\nSliceOrigin -60\n");
  write_file(base + "s.mask", host_bytes(3, 1, 1, short{0}, short{-5}, short{7}));
  write_file(base + "s.mesh", host_bytes(3, 3, 1.0f, 2.0f, 1.0f, 1.0f, 1.0f, 2.0f, 1.0f, 1.0f, 1.5f,
                                         1, 3, 1, 2, 3, 1, 1.0f));
  struct Row {
    std::string input;    // whose extension the native output takes
    const char* options;  // for the conversion to VTK
    bool exact;           // whether the native file comes back whole (ASCII images keep 2 decimals)
  };
  const Row rows[] = {
      {"s.image", "", true},                            // binary floats
      {"s.image", "--format ascii", false},             // RECTILINEAR_GRID text
      {"s.image", "--format ascii-structured", false},  // STRUCTURED_POINTS text
      {"s.mask", "", true},                             // binary unsigned_short
      {"s.mask", "--format=ascii", true},               // save_mask_vtk's file
      {"s.mesh", "", true},                             // POLYDATA
  };
  for (const Row& row : rows) {
    const std::string a = base + "a.vtk", b = base + "b" + row.input.substr(1), c = base + "c.vtk";
    write_file(c, "earlier");
    ::chmod(c.c_str(), 0640);
    const std::string how = row.input + " " + row.options, options = row.options;
    for (const std::string& pair :
         {options + " " + base + row.input + " " + a, a + " " + b, options + " " + b + " " + c}) {
      EXPECT_EQ(brintom("convert " + pair).status, 0) << how << ": " << pair;
    }
    EXPECT_EQ(read_file(c), read_file(a)) << how;
    // info reads each file in the encoding its preamble names.
    const std::string described = brintom("info " + a).out;
    const bool ascii = options.find("ascii") != std::string::npos || row.input == "s.mesh";
    EXPECT_NE(described.find(ascii ? "encoding: ASCII\n" : "encoding: BINARY\n"), std::string::npos)
        << how;
    EXPECT_TRUE(row.input != "s.image" ||
                described.find("min -0.25, max 1.5,") != std::string::npos)
        << how << described;
    EXPECT_TRUE(!row.exact || read_file(b) == read_file(base + row.input)) << how;
    struct stat info {};
    EXPECT_EQ(::stat(c.c_str(), &info) == 0 ? info.st_mode & 0777 : 0, 0640u) << how;
    if (row.input != "s.mesh" && std::string(row.options).empty()) {
      EXPECT_EQ(read_file(base + "b.txt"),
                "Label {Head scan}\nColumnSpacing 0.3\nRowSpacing 1\nSliceSpacing 1\n"
                "ColumnOrigin 0\nRowOrigin 0\nSliceOrigin -60\n")
          << how;
    }
  }
  // The same bytes as brintom2vtk for each image format.
  for (const char* format : {"binary", "ascii", "ascii-structured"}) {
    brintom("convert --format " + std::string(format) + " " + base + "s.image " + base + "n.vtk");
    brintom(base + "s " + base + "o.vtk " + format, BRINTOM2VTK);
    EXPECT_EQ(read_file(base + "n.vtk"), read_file(base + "o.vtk")) << format;
  }
}

TEST(Brintom, WritesEveryFrameAndTheSeries) {
  const std::string base = temp_path("");
  write_file(base + "d.image", host_bytes(2, 1, 1, 3, 0.0f, 1.0f, 10.0f, 11.0f, 20.0f, 21.0f));
  // The series file's text and every frame's values: vtk_converter_check.py.
  ASSERT_EQ(brintom("convert " + base + "d.image " + base + "out.vtk").status, 0);
  EXPECT_FALSE(file_exists(base + "out.vtk"));
  ASSERT_EQ(brintom("convert --frame 1 " + base + "d.image " + base + "one.vtk").status, 0);
  EXPECT_EQ(read_file(base + "one.vtk"), read_file(base + "out_001.vtk"));
  const std::string one = read_file(base + "one.vtk");
  EXPECT_EQ(one.substr(one.size() - 9), big_endian_bytes(10.0f, 11.0f) + "\n");
  EXPECT_EQ(brintom("convert --frame 3 " + base + "d.image " + base + "x.vtk").out,
            " file " + base + "d.image has no such frame");
}

TEST(Brintom, RefusesWithUsageOrMessage) {
  const std::string base = temp_path("");
  write_file(base + "m.mesh", host_bytes(0, 3, 0, 3, 0));
  write_file(base + "t.txt", "not vtk\n");
  write_file(base + "m.obj", "v 0 0 0\n");
  struct Row {
    std::string arguments;
    int status;
    std::string text;  // in standard error for status 2, standard output for 10
  };
  const Row rows[] = {
      {"", 2, "a command is missing"},
      {"frobnicate", 2, "unknown command frobnicate"},
      {"convert --level 3 a.image b.vtk", 2, "unknown option --level"},
      {"convert a.image", 2, "convert takes an INPUT and an OUTPUT"},
      {"convert a.image b.png", 2, "must end in .image, .mask, .mesh, .vtk, .nii.gz, .nii"},
      {"convert --compress 3 a.image b.nii", 2, "--compress is for compressed outputs"},
      {"convert --compress 10 a.image b.nrrd", 2, "--compress takes a level from 0 to 9"},
      {"convert --oblique keep a.nii b.image", 2, "--oblique takes drop"},
      {"convert --format ascii a.image b.nii.gz", 2, "--format is for outputs in .vtk"},
      {"convert " + base + "m.mesh " + base + "o.image", 2, "cannot convert mesh to .image"},
      {"convert " + base + "m.mesh " + base + "o.nii", 2, "cannot convert mesh to .nii"},
      {"convert --format ascii-structured " + base + "m.mesh " + base + "o.vtk", 2, "--format"},
      {"convert --format ascii-structured " + base + "m.mesh " + base + "o.ply", 2,
       "--format for an STL or PLY mesh: binary or ascii"},
      {"convert --format ascii " + base + "m.mesh " + base + "o.obj", 2,
       "--format is for outputs in .vtk, .stl, .ply\n"},
      {"convert " + base + "m.obj " + base + "o.mask", 2,
       "cannot convert mesh to .mask; conversions: a volume (image or mask) between any of .image, "
       ".mask, .vtk, .nii.gz, .nii, .nrrd, .nhdr, .mha, .mhd, .vti; a mesh between any of .mesh, "
       ".vtk, .vtp, .stl, .ply, .obj\n"},
      {"convert " + base + "t.txt " + base + "t.stl", 10, "is not a VTK file"},
      {"convert --as mesh " + base + "t.txt " + base + "t.stl", 10, "mesh file is too short"},
      {"convert " + base + "t.txt " + base + "o.image", 10, "is not a VTK file"},
      {"convert " + base + "none.image " + base + "o.vtk", 10, "none.image cannot be opened"},
      {"info", 2, "info takes at least one FILE"},
  };
  for (const Row& row : rows) {
    const Outcome run = brintom(row.arguments);
    EXPECT_EQ(run.status, row.status) << row.arguments;
    EXPECT_NE((row.status == 2 ? run.err : run.out).find(row.text), std::string::npos)
        << row.arguments << ": " << run.out << run.err;
  }
}

TEST(Brintom, KilledConversionLeavesEarlierOutput) {
  const std::string base = temp_path(""), slash = base.substr(0, base.rfind('/') + 1);
  const std::string hidden_files = slash + "." + base.substr(slash.size()) + "*";
  const int columns = 1 << 22;  // long enough in ASCII to be caught while it writes
  write_file(base + "big.image", host_bytes(columns, 1, 1, 1) + std::string(4u * columns, '\0'));
  for (int signal : {SIGKILL, SIGTERM}) {
    write_file(base + "out.vtk", "earlier");
    const std::size_t hidden = matching(hidden_files);
    const pid_t child = ::fork();
    if (child == 0) {
      ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
      ::execl(BRINTOM, BRINTOM, "convert", "--format", "ascii", (base + "big.image").c_str(),
              (base + "out.vtk").c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    // Wait for the hidden file to fill, then kill.
    for (int i = 0; i < 2000 && matching(hidden_files) == hidden; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(child, signal);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status)) << signal;
    EXPECT_EQ(read_file(base + "out.vtk"), "earlier") << signal;
    // After SIGKILL only the hidden file may remain; SIGTERM removes it.
    EXPECT_EQ(matching(hidden_files), hidden + (signal == SIGKILL));
  }
}

// Every format of the field's tools, both ways: a two-frame image and a mask come back byte for
// byte, geometry header included, and a VTK file made through each is the one made directly.
TEST(Brintom, FieldFormatsRoundTripByteForByte) {
  const std::string base = temp_path("");
  write_file(base + "s.image", host_bytes(3, 2, 1, 2, 1.5f, -0.25f, 1e-3f, 7.0f, 0.0f, -1e30f, 2.0f,
                                          3.0f, 4.0f, 5.0f, 6.0f, 8.0f));
  write_file(base + "s.mask", host_bytes(3, 2, 1, short{0}, short{-5}, short{7}, short{32767},
                                         short{-32768}, short{1}));
  for (const char* kind : {"image", "mask"}) {
    write_file(base + "s.txt",
               "Label {Head scan}\nColumnSpacing 0.3\nRowSpacing 0.001\n"
               "SliceSpacing 2.5\nColumnOrigin -7.25\nRowOrigin 0\n"
               "SliceOrigin -60\n");
    const std::string native = base + "s." + kind, header = read_file(base + "s.txt");
    const std::string direct = base + "direct.vtk", frame = *kind == 'i' ? "--frame 1 " : "";
    ASSERT_EQ(brintom("convert " + frame + native + " " + direct).status, 0);
    for (const char* format : {"nii", "nii.gz", "nrrd", "mha", "mhd"}) {
      for (const char* options : {"", "--compress 0 ", "--compress 9 "}) {
        if (std::string(format) == "nii" && *options != '\0') continue;  // never compressed
        const std::string middle = base + "m." + format, back = base + "b." + kind;
        const std::string what = std::string(kind) + " " + options + format;
        ASSERT_EQ(brintom("convert " + std::string(options) + native + " " + middle).status, 0)
            << what;
        EXPECT_EQ(brintom("convert " + middle + " " + back).err, "") << what;
        EXPECT_EQ(read_file(back), read_file(native)) << what;
        EXPECT_EQ(read_file(base + "b.txt"), header) << what;
        EXPECT_EQ(brintom("convert " + frame + middle + " " + base + "m.vtk").status, 0) << what;
        EXPECT_EQ(read_file(base + "m.vtk"), read_file(direct)) << what;
      }
    }
    // The field's formats convert to themselves too: attached to detached here.
    ASSERT_EQ(brintom("convert " + native + " " + base + "t.mha").status, 0);
    ASSERT_EQ(brintom("convert " + base + "t.mha " + base + "t.mhd").status, 0);
    ASSERT_EQ(brintom("convert " + base + "t.mhd " + base + "b." + kind).status, 0);
    EXPECT_EQ(read_file(base + "b." + kind), read_file(native)) << kind;
  }
}

// VTK's XML files both ways: volumes and their geometry headers come back byte for byte at every
// level, a mesh with its weights, and several frames become a series.
TEST(Brintom, VtkXmlRoundTripsByteForByte) {
  const std::string base = temp_path("");
  write_file(base + "s.image", host_bytes(3, 2, 1, 1, 1.5f, -0.25f, 1e-3f, 7.0f, 0.0f, -1e30f));
  write_file(base + "s.mask", host_bytes(3, 2, 1, short{0}, short{-5}, short{7}, short{32767},
                                         short{-32768}, short{1}));
  write_file(base + "s.txt",
             "Label {Head scan}\nColumnSpacing 0.3\nRowSpacing 0.001\n"
             "SliceSpacing 2.5\nColumnOrigin -7.25\nRowOrigin 0\nSliceOrigin -60\n");
  const std::string header = read_file(base + "s.txt");
  for (const char* kind : {"image", "mask"}) {
    const std::string native = base + "s." + kind, back = base + "b." + kind;
    ASSERT_EQ(brintom("convert " + native + " " + base + "direct.vtk").status, 0);
    for (const char* options : {"", "--compress 0 ", "--compress 9 "}) {
      const std::string what = std::string(kind) + " " + options;
      ASSERT_EQ(brintom("convert " + std::string(options) + native + " " + base + "m.vti").status,
                0)
          << what;
      // To itself, which recompresses, then back.
      ASSERT_EQ(brintom("convert " + base + "m.vti " + base + "n.vti").status, 0) << what;
      EXPECT_EQ(brintom("convert " + base + "n.vti " + back).err, "") << what;
      EXPECT_EQ(read_file(back), read_file(native)) << what;
      EXPECT_EQ(read_file(base + "b.txt"), header) << what;
      EXPECT_EQ(brintom("convert " + base + "m.vti " + base + "m.vtk").status, 0) << what;
      EXPECT_EQ(read_file(base + "m.vtk"), read_file(base + "direct.vtk")) << what;
    }
  }
  // The mesh through .vtp comes back whole; through .vtk with the same points and polygons, and
  // weights of 1.0.
  const std::string mesh =
      host_bytes(3, 3, 1.0f, 2.0f, 1.0f, 1.0f, 1.0f, 2.0f, 1.0f, 1.0f, 1.5f, 1, 3, 1, 2, 3);
  write_file(base + "s.mesh", mesh + host_bytes(1, 0.25f));
  for (const std::string via : {"m.vtp", "m.vtk"}) {
    ASSERT_EQ(brintom("convert " + base + "s.mesh " + base + via).status, 0) << via;
    ASSERT_EQ(brintom("convert " + base + via + " " + base + "b.mesh").status, 0) << via;
    EXPECT_EQ(read_file(base + "b.mesh"), mesh + host_bytes(1, via == "m.vtp" ? 0.25f : 1.0f));
  }
  const std::string info = brintom("info " + base + "m.vtp").out;
  EXPECT_NE(info.find("format: vtk-xml\n  kind: mesh\n"), std::string::npos) << info;
  EXPECT_NE(info.find("bounding box: from [0, 0, 0] to [1, 1, 0.5]"), std::string::npos) << info;
  // Two frames: one file each, and the series.
  write_file(base + "d.image", host_bytes(2, 1, 1, 2, 0.0f, 1.0f, 10.0f, 11.0f));
  ASSERT_EQ(brintom("convert " + base + "d.image " + base + "out.vti").status, 0);
  const std::string name = base.substr(base.rfind('/') + 1);
  EXPECT_EQ(read_file(base + "out.vti.series"),
            "{\"file-series-version\": \"1.0\", \"files\": [{\"name\": \"" + name +
                "out_000.vti\", \"time\": 0}, {\"name\": \"" + name +
                "out_001.vti\", \"time\": 1}]}\n");
  ASSERT_EQ(brintom("convert " + base + "out_001.vti " + base + "one.image").status, 0);
  EXPECT_EQ(read_file(base + "one.image"), host_bytes(2, 1, 1, 1, 10.0f, 11.0f));
  EXPECT_NE(brintom("info --json " + base + "out_001.vti")
                .out.find("\"kind\": \"image\", \"dimensions\": [2, 1, 1], \"frames\": 1, "
                          "\"voxel_type\": \"Float32\""),
            std::string::npos);
}

// The mesh formats end to end: a mesh through any of them comes back as through its .vtk
// (through PLY with its weights), each converts to every other and to itself, and info gives
// them the .vtk's bounding box, in the files' coordinates.
TEST(Brintom, MeshFormatsConvertEveryWay) {
  const std::string base = temp_path("");
  // Four points, each first used in its order, and two triangles, weighted 0.5 and -2: points'
  // columns and rows, then rows x, y, z; polygons' columns and rows, then their rows; weights.
  const std::string shape = host_bytes(4, 3, 1.0f, 2.0f, 1.0f, 2.0f, 1.0f, 1.0f, 2.0f, 2.0f, 1.0f,
                                       1.0f, 1.0f, 1.5f, 2, 3, 1, 2, 2, 4, 3, 3, 2);
  const std::string weighted = shape + host_bytes(0.5f, -2.0f);
  const std::string unit = shape + host_bytes(1.0f, 1.0f);
  write_file(base + "s.mesh", weighted);
  struct Row {
    const char* name;     // the middle file's
    const char* options;  // for writing it
  };
  const Row rows[] = {
      {"m.vtk", ""},                 // the reference: ASCII POLYDATA
      {"m.stl", ""},                 // binary
      {"a.stl", "--format ascii "},  // text
      {"m.ply", ""},                 // binary little-endian, with the weights
      {"a.ply", "--format ascii "},  // text, with the weights
      {"m.obj", ""},                 // text
  };
  const std::string box = "\"bounding_box\": [[0, 0, 0], [1, 1, 0.5]]";
  for (const Row& row : rows) {
    const std::string middle = base + row.name,
                      ply = std::string(row.name).find(".ply") != std::string::npos ? "ply" : "";
    ASSERT_EQ(brintom("convert " + std::string(row.options) + base + "s.mesh " + middle).status, 0)
        << row.name;
    EXPECT_NE(brintom("info --json " + middle).out.find(box), std::string::npos) << row.name;
    for (const Row& to : rows) {  // to every format, then to a native mesh
      const std::string next = base + "n_" + to.name;
      const Outcome run = brintom("convert " + std::string(to.options) + middle + " " + next);
      EXPECT_EQ(run.status, 0) << row.name << " to " << to.name << ": " << run.out << run.err;
      ASSERT_EQ(brintom("convert " + next + " " + base + "b.mesh").status, 0) << row.name;
      const bool kept = !ply.empty() && std::string(to.name).find(".ply") != std::string::npos;
      EXPECT_TRUE(read_file(base + "b.mesh") == (kept ? weighted : unit))
          << row.name << " to " << to.name;
    }
  }
  // A quadrilateral becomes a fan of triangles, with one warning line.
  write_file(base + "q.mesh", host_bytes(4, 3, 1.0f, 2.0f, 2.0f, 1.0f, 1.0f, 1.0f, 2.0f, 2.0f, 1.0f,
                                         1.0f, 1.0f, 1.0f, 1, 4, 1, 2, 3, 4, 1, 1.0f));
  const Outcome fan = brintom("convert " + base + "q.mesh " + base + "q.stl");
  EXPECT_EQ(fan.err, "warning: output file for mesh " + base +
                         "q.stl: polygons of 4 vertices written as 2 triangles each (STL holds "
                         "triangles only)\n");
  EXPECT_NE(brintom("info " + base + "q.stl").out.find("  polygons: 2\n  vertices per polygon: 3"),
            std::string::npos);
}

// Kinds change only where every voxel fits; the message names the first that does not.
TEST(Brintom, KindChangesNameTheVoxelThatDoesNotFit) {
  const std::string base = temp_path("");
  write_file(base + "i.image", host_bytes(2, 1, 1, 1, 3.0f, -4.0f));
  write_file(base + "f.image", host_bytes(2, 1, 1, 1, 3.0f, 2.5f));
  write_file(base + "big.image", host_bytes(2, 1, 1, 1, 32768.0f, 0.0f));
  ASSERT_EQ(brintom("convert " + base + "i.image " + base + "i.nii").status, 0);
  EXPECT_EQ(brintom("convert " + base + "i.image " + base + "i.mask").status, 0);
  EXPECT_EQ(read_file(base + "i.mask"), host_bytes(2, 1, 1, short{3}, short{-4}));
  EXPECT_NE(brintom("info --json " + base + "i.nii").out.find("\"kind\": \"image\""),
            std::string::npos);
  for (const char* name : {"f", "big"}) {  // a fraction; past the 16-bit integers
    ASSERT_EQ(brintom("convert " + base + name + ".image " + base + name + ".nii").status, 0);
    for (const std::string to : {".nrrd", ".mask"}) {
      const Outcome run = brintom("convert --as mask " + base + name + ".nii " + base + name + to);
      EXPECT_EQ(run.status, 10) << name << to;
      EXPECT_NE(run.out.find(name[0] == 'f' ? "holds the value 2.5, which a mask (16-bit "
                                            : "holds the value 32768, which a mask (16-bit "),
                std::string::npos)
          << run.out;
      EXPECT_EQ(matching(base + name + to), 0u) << name << to;
    }
  }
}

}  // namespace
}  // namespace brintom
