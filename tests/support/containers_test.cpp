#include "support/containers.hpp"

#include <array>
#include <climits>
#include <cmath>

#include "support/settings.hpp"
#include "support/text.hpp"
#include "test_support.hpp"

namespace brintom {
namespace {

using ContainersTest = test::GlobalsTest;
using ContainersDeathTest = test::GlobalsTest;

using Ledger = std::array<int, 6>;  // Tmem, Tmemax, Vecnt, Ivecnt, Matcnt, Imatcnt
Ledger ledger() { return {Tmem, Tmemax, Vecnt, Ivecnt, Matcnt, Imatcnt}; }

// Taken before any test resets them: what a program sees before it calls anything.
const std::array<int, 8> kLedgerAtStart{Tmem,   Tmemax,  Vecnt,  Ivecnt,
                                        Matcnt, Imatcnt, Imgcnt, Mskcnt};
const std::array<float, 6> kSettingsAtStart{ColumnSpacing, RowSpacing, SliceSpacing,
                                            ColumnOrigin,  RowOrigin,  SliceOrigin};
const bool kLabelAtStart = Label == nullptr;

TEST(Globals, ProgramStartsWithAnEmptyLedgerAndDefaultSettings) {
  EXPECT_EQ(kLedgerAtStart, (std::array<int, 8>{}));
  EXPECT_EQ(kSettingsAtStart, (std::array<float, 6>{1, 1, 1, 0, 0, 0}));
  EXPECT_TRUE(kLabelAtStart);
}

TEST_F(ContainersTest, VectorsAreZeroFilledOneBasedAndCounted) {
  for (int n : {0, 5}) {
    const int bytes = 4 * (n + 1);
    Vector v = new_vector(n);
    IntegerVector w = new_integer_vector(n);
    EXPECT_EQ(ledger(), (Ledger{2 * bytes, 2 * bytes, 1, 1, 0, 0}));
    EXPECT_EQ(std::pair(v[0], w[0]), std::pair(static_cast<float>(n), n));
    for (int i = 1; i <= n; ++i) EXPECT_EQ(std::pair(v[i], w[i]), std::pair(0.0f, 0)) << i;
    EXPECT_EQ(std::pair(vector_size(v), ivector_size(w)), std::pair(n, n));
    free_vector(v);
    free_integer_vector(w);
    EXPECT_EQ(ledger(), (Ledger{0, 2 * bytes, 0, 0, 0, 0}));
    Tmemax = 0;
  }
  // Element 0 truncates toward zero and saturates beyond int.
  Vector v = new_vector(3);
  for (auto [stored, size] :
       {std::pair{2.9f, 2}, {-2.9f, -2}, {3e9f, INT_MAX}, {-3e9f, INT_MIN}, {std::nanf(""), 0}}) {
    v[0] = stored;
    EXPECT_EQ(vector_size(v), size) << stored;
  }
  v[0] = 3.0f;
  free_vector(v);
}

TEST_F(ContainersTest, LengthsAboveTwoToThe24ReadBackWithinTheBlock) {
  // 16,777,219 stored as a float reads back as 16,777,220: that element must exist.
  Vector v = new_vector(16777219);
  ASSERT_EQ(vector_size(v), 16777220);
  v[vector_size(v)] = 1.0f;
  free_vector(v);
  Matrix m = new_matrix(16777219, 0);  // free_matrix walks the rows as read back
  int rows = 0, columns = 0;
  matrix_size(m, &rows, &columns);
  EXPECT_EQ(rows, 16777220);
  EXPECT_EQ(m[rows], nullptr);
  free_matrix(m);
  EXPECT_EQ(std::pair(Vecnt, Matcnt), std::pair(0, 0));
}

// clang-format off
constexpr struct { bool integer; int mark, tmem, n, tmem_after, mark_after; } kHighWater[] = {
  {false, -100, -100,        0, -96,         -96},   // above: a new mark
  {false, 5,    -200,        0, -196,        5},     // below, compared signed, not unsigned
  {true,  0,    INT_MAX - 3, 1, INT_MIN + 4, 0},     // the ledger wraps in 32 bits, and back
};
// clang-format on

TEST_F(ContainersTest, TmemaxIsASignedHighWaterMarkAndFreeVectorSubtractsInSinglePrecision) {
  for (const auto& c : kHighWater) {
    Tmemax = c.mark;
    Tmem = c.tmem;
    IntegerVector w = c.integer ? new_integer_vector(c.n) : nullptr;
    Vector v = c.integer ? nullptr : new_vector(c.n);
    EXPECT_EQ(std::pair(Tmem, Tmemax), std::pair(c.tmem_after, c.mark_after)) << c.tmem;
    c.integer ? free_integer_vector(w) : free_vector(v);
    EXPECT_EQ(Tmem, c.tmem);
  }
  // A matrix's info row takes Tmem to INT_MAX - 4, its first row wraps it below zero.
  Tmemax = 0;
  Tmem = INT_MAX - 20;
  Matrix m = new_matrix(2, 3);
  EXPECT_EQ(std::pair(Tmemax, Tmem), std::pair(INT_MAX - 4, INT_MIN + 39));
  free_matrix(m);
  Tmem = INT_MAX - 12;  // the info row (12) reaches INT_MAX exactly
  Tmemax = 0;
  IntegerMatrix im = new_integer_matrix(2, 3);
  EXPECT_EQ(Tmemax, INT_MAX);
  free_integer_matrix(im);
  // free_vector subtracts in single precision with element 0 as stored (2^24 + 1 rounds down,
  // ties to even; 2^24 + 3 up) and leaves Tmemax alone: Tmem before, element 0, Tmem after.
  Tmem = Tmemax = 0;
  // clang-format off
  const struct { int tmem; float stored; int expected; } cases[] = {
    {100, 0.0f, 96}, {100, 2.5f, 86}, {16777217, 0.0f, 16777212}, {16777219, 0.0f, 16777216},
    {1073741825, 0.0f, 1073741824}, {0, 0.0f, -4}, {-16777217, 0.0f, -16777220},
    {INT_MAX, 0.0f, INT_MIN}};
  // clang-format on
  for (const auto& c : cases) {
    Vector v = new_vector(0);
    v[0] = c.stored;
    Tmem = c.tmem;
    const int mark = Tmemax;
    free_vector(v);
    EXPECT_EQ(std::pair(Tmem, Tmemax), std::pair(c.expected, mark)) << c.tmem << " " << c.stored;
  }
}

// Rows 1 to rows: each its own zero-filled vector of the columns, only when there are columns.
template <typename T>
void expect_rows(T** m, int rows, int columns) {
  for (int i = 1; i <= rows; ++i) {
    ASSERT_EQ(m[i] == nullptr, columns <= 0) << i;
    for (int j = 0; columns > 0 && j <= columns; ++j) EXPECT_EQ(m[i][j], j == 0 ? columns : 0) << i;
    if (columns > 0) m[i][columns] = 7;  // the next row must not see it
  }
}

// Info row: a Vector {rows, columns, 1.0} (IntegerVector {rows, columns}); the ledger adds 4 bytes
// a row handle, and one more.
TEST_F(ContainersTest, MatrixAndStringVectorLayoutAndLedger) {
  // clang-format off
  const struct { bool integer; int rows, columns, tmem, vectors; } cases[] = {
    {false, 2, 3, 60, 3}, {false, 4, 0, 36, 1}, {false, 2, -5, 28, 1}, {false, 0, 3, 20, 1},
    {true, 2, 3, 56, 3}, {true, 3, 0, 28, 1}};
  // clang-format on
  for (const auto& c : cases) {
    int rows = -1, columns = -1;
    if (c.integer) {
      IntegerMatrix m = new_integer_matrix(c.rows, c.columns);
      EXPECT_EQ(ledger(), (Ledger{c.tmem, c.tmem, 0, c.vectors, 0, 1})) << c.rows << c.columns;
      EXPECT_EQ((std::vector<int>(m[0], m[0] + 3)), (std::vector<int>{2, c.rows, c.columns}));
      expect_rows(m, c.rows, c.columns);
      imatrix_size(m, &rows, &columns);
      free_integer_matrix(m);
    } else {
      Matrix m = new_matrix(c.rows, c.columns);
      EXPECT_EQ(ledger(), (Ledger{c.tmem, c.tmem, c.vectors, 0, 1, 0})) << c.rows << c.columns;
      const auto r = static_cast<float>(c.rows), k = static_cast<float>(c.columns);
      EXPECT_EQ((std::vector<float>(m[0], m[0] + 4)), (std::vector<float>{3, r, k, 1}));
      expect_rows(m, c.rows, c.columns);
      matrix_size(m, &rows, &columns);
      free_matrix(m);
    }
    EXPECT_EQ(std::pair(rows, columns), std::pair(c.rows, c.columns));
    EXPECT_EQ(ledger(), (Ledger{0, c.tmem, 0, 0, 0, 0}));
    Tmemax = 0;
  }
  Tmem = 11;
  Tmemax = Vecnt = Matcnt = 12;
  free_matrix(nullptr);  // changes nothing
  EXPECT_EQ(ledger(), (Ledger{11, 12, 12, 0, 12, 0}));
  // A StringVector keeps its count as text, owns its strings and leaves the ledger alone.
  Tmem = Tmemax = Vecnt = Matcnt = 0;
  for (int n : {0, 3, 12}) {
    StringVector v = new_stringvector(n);
    EXPECT_EQ(std::string(v[0]), std::to_string(n));
    EXPECT_EQ(stringvector_size(v), n);
    for (int i = 1; i <= n; ++i) EXPECT_EQ(std::exchange(v[i], integer_to_string(i)), nullptr);
    free_stringvector(v);
    EXPECT_EQ(ledger(), (Ledger{0, 0, 0, 0, 0, 0}));
  }
}

TEST_F(ContainersDeathTest, NegativeLengthsAndNullAreFatal) {
  EXPECT_FATAL(new_vector(-1), "allocation error in vector");
  EXPECT_FATAL(new_integer_vector(-1), "allocation error in ivector");
  EXPECT_FATAL(new_matrix(-1, 3), "allocation error in matrix");
  EXPECT_FATAL(new_integer_matrix(-1, 3), "allocation error in imatrix");
  EXPECT_FATAL(new_stringvector(-1), "allocation error in stringvector");
  int rows = 0, columns = 0;
  EXPECT_FATAL(matrix_size(nullptr, &rows, &columns), "empty matrix in size");
  EXPECT_FATAL(imatrix_size(nullptr, &rows, &columns), "empty imatrix in size");
  EXPECT_FATAL(vector_size(nullptr), "empty vector in size");
  EXPECT_FATAL(ivector_size(nullptr), "empty ivector in size");
  EXPECT_FATAL(stringvector_size(nullptr), "empty stringvector in size");
  EXPECT_FATAL(free_vector(nullptr), "empty vector in free_vector");
  EXPECT_FATAL(free_integer_vector(nullptr), "empty ivector in free_integer_vector");
  EXPECT_FATAL(free_integer_matrix(nullptr), "empty imatrix in free_integer_matrix");
  EXPECT_FATAL(free_stringvector(nullptr), "empty stringvector in free_stringvector");
  StringVector v = new_stringvector(1);
  v[0][0] = 'x';  // no longer a decimal count
  EXPECT_FATAL(stringvector_size(v), "Not an integer");
  v[0][0] = '1';
  free_stringvector(v);
}

}  // namespace
}  // namespace brintom
