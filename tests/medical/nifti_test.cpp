// The NIfTI-1 header against nibabel: we parse the files it writes, and it reads (and the
// reference library's nifti_tool checks) files that our header opens.
#include "medical/nifti.hpp"

#include <algorithm>
#include <sstream>

#include "test_support.hpp"

namespace brintom {
namespace {

using namespace test;

// What command prints on standard output; it must succeed.
std::string output_of(const std::string& command) {
  std::FILE* pipe = ::popen(command.c_str(), "r");
  std::string out;
  char block[4096];
  for (std::size_t n; (n = std::fread(block, 1, sizeof block, pipe)) > 0;) out.append(block, n);
  EXPECT_EQ(::pclose(pipe), 0) << command << "\n" << out;
  return out;
}

std::string run_python(const std::string& script, const std::string& argument) {
  return output_of("/usr/bin/python3 " + temp_file(script, ".py") + " " + argument);
}

bool have_nibabel() { return std::system("/usr/bin/python3 -c 'import nibabel' 2>/dev/null") == 0; }

ForeignVolume parse(const std::string& bytes, const std::string& path) {
  return parse_nifti_header(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                            path.c_str());
}

// The numbers of a parse, in the order the scripts below print nibabel's view.
std::vector<double> facts(const ForeignVolume& v) {
  const VoxelLayout& l = v.layout;
  std::vector<double> f = {static_cast<double>(l.big_endian)};
  f.insert(f.end(), l.dimensions, l.dimensions + 4);
  f.insert(f.end(), {static_cast<double>(l.stream_offset), l.slope, l.intercept});
  f.push_back(v.placement.frame_step);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) f.push_back(v.placement.axes[c][r]);
    f.push_back(v.placement.origin[r]);
  }
  return f;
}

// case(name, check, image, header fields, ...) saves a file with nibabel, sets the fields in its
// header and prints its name and path; with check also nibabel's type, title and facts() in mm,
// seconds and LPS: RAS rows x and y negated.
constexpr char kMakeFiles[] = R"(import os, sys, numpy as np, nibabel as nib
A = np.array([[1.5, 0, 0, -20], [0, 2, 0, 30], [0, 0, 3, 10], [0, 0, 0, 1]])
SAG = np.array([[0, 0, -3, 90], [1.5, 0, 0, -120], [0, 2, 0, 100], [0, 0, 0, 1]])
c, s = np.cos(0.5), np.sin(0.5)
OBL = np.array([[1, 0, 0, 0], [0, c, -s, 0], [0, s, c, 0], [0, 0, 0, 1]]) @ A
def image(shape=(2, 3, 4), dtype='f4', affine=A, kind=nib.Nifti1Image, endian='<', ext=None):
    img = kind(np.zeros(shape, dtype), affine, kind.header_class(endianness=endian))
    img.set_data_dtype(dtype)
    if len(shape) == 5 and shape[4] == 3: img.header.set_intent('vector')
    if ext: img.header.extensions.append(nib.nifti1.Nifti1Extension('comment', ext))
    return img
def case(name, check, img, fields={}, suffix='.nii', cut=None):
    path = f'{sys.argv[1]}/{name}{suffix}'
    nib.save(img, path)
    h = type(img.header).from_fileobj(open(path, 'rb'))
    for key, value in fields.items():
        if isinstance(key, tuple): h[key[0]][key[1]] = value
        else: h[key] = value
    open(path, 'r+b').write(h.binaryblock)
    if cut: os.truncate(path, cut)
    if not check: return print(name, path)
    (space, time), shape = h.get_xyzt_units(), h.get_data_shape()
    step = h.get_zooms()[3] * {'msec': 1e-3}.get(time, 1) if len(shape) > 3 else 1
    slope, inter = h.get_slope_inter()
    best = h.get_best_affine() if h['sform_code'] > 0 or h['qform_code'] > 0 else \
        np.diag([-1, -1, 1, 1]) @ np.diag((list(h.get_zooms()) + [1, 1])[:3] + [1])
    lps = np.diag([-1, -1, 1]) @ best[:3] * {'micron': 1e-3}.get(space, 1)
    print(name, path, h.get_data_dtype().name, repr(h['descrip'].item().decode()),
          int(h.endianness == '>'), *(shape + (1,) * 3)[:4], h['vox_offset'], slope or 1,
          inter or 0, step or 1, *lps.ravel())
)";

struct FileCase {
  const char* name;
  const char* make;     // case()'s arguments after name and check
  const char* refused;  // the message's tail after "file <path>"; empty when the file is read
};

// clang-format off
const FileCase kFiles[] = {
  // Read: nibabel's own way, sform code 2 and no qform; then the types of three widths
  {"float32",      "image()", ""},
  {"uint8",        "image(dtype='u1')", ""},                     // bytes
  {"int16",        "image(dtype='i2')", ""},                     // shorts
  {"float64",      "image(dtype='f8')", ""},                     // doubles
  {"frames",       "image((2, 3, 4, 5)), {('pixdim', 4): 2500, 'xyzt_units': 2 | 16}", ""},  // ms
  {"scaled",       "image(dtype='i2'), {'scl_slope': 2, 'scl_inter': -1}", ""},  // slope applies
  {"big_endian",   "image(dtype='i2', endian='>', affine=SAG)", ""},  // every field swapped
  {"sagittal",     "image(affine=SAG)", ""},                     // permuted and flipped axes
  {"oblique",      "image(affine=OBL)", ""},                     // the caller refuses it, not we
  {"sform_first",  "image(), {'sform_code': 1, 'qform_code': 1, 'qoffset_x': 9}", ""},  // sform
  {"qform_only",   "image(affine=SAG), {'sform_code': 0, 'qform_code': 1}", ""},  // qfac -1
  {"qform_tilted", "image(affine=OBL), {'sform_code': 0, 'qform_code': 1}", ""},  // a rotation
  {"neither",      "image((2, 3, 4, 2)), {'sform_code': 0}", ""},  // pixdim, origin 0
  {"flat",         "image((3, 4)), {'sform_code': 0}", ""},      // 2-D: one slice, 1 mm
  {"micron",       "image(), {'xyzt_units': 3}", ""},            // lengths to millimetres
  {"extension",    "image(ext=b'a note'), {'descrip': b'head scan'}", ""},  // vox_offset 368
  // Refused
  {"complex",      "image(dtype='c8')",                          // two floats a voxel
                   " holds complex voxels (datatype 32), not a scalar volume\n"},
  {"int64",        "image(), {'datatype': 1024}",                // nibabel writes no int64
                   " holds 64-bit integer voxels (datatype 1024), not a scalar volume\n"},
  {"five",         "image((2, 3, 4, 1, 2))",                     // dim[5] with no intent
                   " holds a 5-D volume, not a 3-D or 4-D one\n"},
  {"vector",       "image((2, 3, 4, 1, 3))",                     // dim[5] with intent vector
                   " holds 3 values a voxel (intent code 1007), not a scalar volume\n"},
  {"line",         "image((5,))",                                // too few axes
                   " holds a 1-D volume, not a 3-D or 4-D one\n"},
  {"empty_axis",   "image(), {('dim', 2): 0}",                   // no voxels
                   " has dim[2] 0, where every axis has at least one voxel\n"},
  {"low_offset",   "image(), {'vox_offset': 348}",               // inside the header
                   " has vox_offset 348, not a whole number from 352 on\n"},
  {"nan_sform",    "image(), {('srow_y', 1): np.nan}",           // no grid to place
                   " has a value not finite or an axis of length 0 in its sform\n"},
  {"nifti2",       "image(kind=nib.Nifti2Image)",                // sizeof_hdr 540
                   " is a NIfTI-2 file, which is not read\n"},
  {"pair",         "image(kind=nib.Nifti1Pair), suffix='.hdr'",  // ni1: the .hdr is 348 bytes
                   " is the .hdr of a NIfTI-1 pair, which is not read\n"},
  {"analyze",      "image(kind=nib.AnalyzeImage), suffix='.hdr'",  // no magic at all
                   " is an Analyze 7.5 header (no NIfTI magic), which is not read\n"},
  {"no_flag",      "image(), cut=350", " is too short to hold a NIfTI header\n"},  // 348 to 351
  {"size_field",   "image(), {'sizeof_hdr': 350}", " is not a NIfTI-1 file\n"},    // nor swapped
};
// clang-format on

TEST(ParseNiftiHeader, ReadsWhatNibabelReads) {
  if (!have_nibabel()) GTEST_SKIP() << "/usr/bin/python3 cannot import nibabel";
  std::string script = kMakeFiles;
  for (const FileCase& row : kFiles) {
    script += "case('" + std::string(row.name) + "', " + (*row.refused ? "0, " : "1, ") + row.make +
              ")\n";
  }
  std::filesystem::create_directory(temp_path(""));
  std::istringstream lines(run_python(script, temp_path("")));
  std::size_t rows = 0;
  for (std::string line; std::getline(lines, line); ++rows) {
    std::istringstream in(line);
    std::string name, path, type, title;
    in >> name >> path >> type >> std::quoted(title, '\'');
    const FileCase& row = *std::find_if(std::begin(kFiles), std::end(kFiles),
                                        [&](const FileCase& f) { return f.name == name; });
    if (*row.refused) {
      EXPECT_FATAL(parse(read_file(path), path), "file " + path + row.refused) << name;
      continue;
    }
    const ForeignVolume v = parse(read_file(path), path);
    EXPECT_STREQ(scalar_type_row(v.layout.type).word, type.c_str()) << name;
    EXPECT_EQ(v.title, title) << name;
    EXPECT_EQ(v.layout.data_path, path);
    const std::vector<double> expected{std::istream_iterator<double>(in), {}}, seen = facts(v);
    ASSERT_EQ(seen.size(), expected.size()) << name;
    for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_NEAR(seen[i], expected[i], 1e-5) << name;
  }
  EXPECT_EQ(rows, std::size(kFiles));
}

// nibabel's view of a file: affine rows, sform and qform codes, zooms, quaternion b c d, qfac,
// then the voxels in file order.
constexpr char kReadBack[] = R"(import sys, numpy as np, nibabel as nib
img = nib.load(sys.argv[1]); h = img.header
print(*img.affine[:3].ravel(), h['sform_code'], h['qform_code'], *h.get_zooms(), h['quatern_b'],
      h['quatern_c'], h['quatern_d'], h['pixdim'][0], *np.asarray(img.dataobj).ravel(order='F'))
)";

// A 3-D float image; or a short series whose title runs past descrip, with an "é" across its cut.
ForeignVolume volume(long long frames) {
  ForeignVolume v;
  v.layout.type = frames > 1 ? ScalarType::int16 : ScalarType::float32;
  v.layout.stream_offset = kNiftiHeadBytes;
  v.layout.dimensions[0] = 2, v.layout.dimensions[1] = 3, v.layout.dimensions[2] = 4;
  v.layout.dimensions[3] = frames;
  v.placement = {{{0.5, 0, 0}, {0, 2, 0}, {0, 0, 3}}, {10, -20, 30}, frames > 1 ? 2.5 : 1};
  v.title = frames > 1 ? std::string(78, 't') + "\xC3\xA9 and on" : "head scan";
  return v;
}

TEST(NiftiHeaderBytes, NibabelAndNiftiToolReadOurHeader) {
  if (!have_nibabel()) GTEST_SKIP() << "/usr/bin/python3 cannot import nibabel";
  for (long long frames : {1, 3}) {
    const ForeignVolume v = volume(frames);
    const std::string header = nifti_header_bytes(v);
    ASSERT_EQ(header.size(), kNiftiHeadBytes);
    std::string voxels;  // 0, 1, 2, ... as shorts, or halves as floats
    for (int i = 0; i < 24 * frames; ++i) {
      voxels += frames > 1 ? host_bytes(static_cast<std::int16_t>(i)) : host_bytes(i * 0.5f);
    }
    const std::string path = temp_file(header + voxels, std::to_string(frames) + ".nii");
    EXPECT_EQ(output_of("nifti_tool -check_hdr -infiles " + path + " 2>&1"),
              "header IS GOOD for file " + path + "\n");
    // diag(-sx, -sy, sz) and (-ox, -oy, oz); codes 1; a half turn about z, qfac 1; the voxels.
    std::vector<double> expected = {-0.5, 0, 0, -10, 0, -2, 0, 20, 0, 0, 3, 30, 1, 1, 0.5, 2, 3};
    if (frames > 1) expected.push_back(2.5);
    expected.insert(expected.end(), {0, 0, 1, 1});
    for (int i = 0; i < 24 * frames; ++i) expected.push_back(frames > 1 ? i : i * 0.5);
    std::istringstream in(run_python(kReadBack, path));
    EXPECT_EQ(std::vector<double>(std::istream_iterator<double>(in), {}), expected);

    const ForeignVolume back = parse(header, "back.nii");  // our own parse gives it back
    EXPECT_EQ(back.title, frames > 1 ? std::string(78, 't') : "head scan");
    EXPECT_EQ(back.layout.type, v.layout.type);
    EXPECT_EQ(facts(back), facts(v));
  }
}

TEST(NiftiHeaderBytesDeathTest, RefusesMoreThanAShortHolds) {
  for (long long frames : {0, 32768}) {
    EXPECT_FATAL(nifti_header_bytes(volume(frames)),
                 "A NIfTI-1 file has 1 to 32767 columns, rows, slices and frames\n");
  }
}

}  // namespace
}  // namespace brintom
