#include "support/containers.hpp"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/strings.hpp"
#include "support/text.hpp"
#include "test_support.hpp"

namespace brintom {
namespace {

using ContainersTest = testing::GlobalsTest;
using ContainersDeathTest = testing::GlobalsTest;

TEST_F(ContainersTest, VectorOfLengthZeroHoldsOnlyItsLength) {
  Vector v = new_vector(0);
  EXPECT_EQ(v[0], 0.0f);
  EXPECT_EQ(vector_size(v), 0);
  EXPECT_EQ(Tmem, 4);
  EXPECT_EQ(Tmemax, 4);
  EXPECT_EQ(Vecnt, 1);
  free_vector(v);
  EXPECT_EQ(Tmem, 0);
  EXPECT_EQ(Tmemax, 4);
  EXPECT_EQ(Vecnt, 0);
}

TEST_F(ContainersTest, VectorIsZeroFilledAndOneBased) {
  Vector v = new_vector(5);
  EXPECT_EQ(v[0], 5.0f);
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(v[i], 0.0f) << i;
  v[5] = 2.5f;  // the last element is addressable
  EXPECT_EQ(vector_size(v), 5);
  EXPECT_EQ(Tmem, 24);
  free_vector(v);
  EXPECT_EQ(Tmem, 0);
}

TEST_F(ContainersTest, VectorSizeTruncatesElementZeroTowardZero) {
  Vector v = new_vector(3);
  v[0] = 2.9f;
  EXPECT_EQ(vector_size(v), 2);
  v[0] = -2.9f;
  EXPECT_EQ(vector_size(v), -2);
  v[0] = 3.0f;
  free_vector(v);
}

TEST_F(ContainersTest, LengthsAboveTwoToThe24ReadBackWithinTheBlock) {
  // 16,777,219 stored as a float reads back as 16,777,220: that element must exist.
  Vector v = new_vector(16777219);
  ASSERT_EQ(vector_size(v), 16777220);
  v[vector_size(v)] = 1.0f;
  free_vector(v);
  // free_matrix walks the rows as read back from the info row.
  Matrix m = new_matrix(16777219, 0);
  int rows = 0, columns = 0;
  matrix_size(m, &rows, &columns);
  EXPECT_EQ(rows, 16777220);
  EXPECT_EQ(m[rows], nullptr);
  free_matrix(m);
  EXPECT_EQ(Vecnt, 0);
  EXPECT_EQ(Matcnt, 0);
}

TEST_F(ContainersTest, IntegerVectorKeepsItsLength) {
  IntegerVector v = new_integer_vector(4);
  EXPECT_EQ(v[0], 4);
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(v[i], 0) << i;
  EXPECT_EQ(ivector_size(v), 4);
  EXPECT_EQ(Tmem, 20);
  EXPECT_EQ(Tmemax, 20);
  EXPECT_EQ(Ivecnt, 1);
  free_integer_vector(v);
  EXPECT_EQ(Tmem, 0);
  EXPECT_EQ(Tmemax, 20);
  EXPECT_EQ(Ivecnt, 0);
}

TEST_F(ContainersTest, TmemaxIsAHighWaterMark) {
  Vector a = new_vector(9);                 // +40
  IntegerVector b = new_integer_vector(4);  // +20
  free_vector(a);
  EXPECT_EQ(Tmem, 20);
  EXPECT_EQ(Tmemax, 60);
  Vector c = new_vector(1);  // +8: Tmem 28 stays below the mark
  EXPECT_EQ(Tmemax, 60);
  free_vector(c);
  free_integer_vector(b);
  EXPECT_EQ(Tmem, 0);
  EXPECT_EQ(Tmemax, 60);
}

TEST_F(ContainersTest, TmemaxComparesSignedAfterEachAddition) {
  Tmemax = -100;
  Tmem = -200;
  Vector v = new_vector(0);  // Tmem -196: above -200 but below the mark
  EXPECT_EQ(Tmemax, -100);
  free_vector(v);
  Tmem = -104;
  v = new_vector(0);  // Tmem -100: equal, no change; one more raises it
  Vector w = new_vector(0);
  EXPECT_EQ(Tmemax, -96);
  free_vector(w);
  free_vector(v);
  Tmemax = 5;
  Tmem = -200;
  v = new_vector(0);  // -196 read as unsigned would be a new mark
  EXPECT_EQ(Tmemax, 5);
  free_vector(v);
}

TEST_F(ContainersTest, LedgerAdditionsWrapIn32Bits) {
  Tmem = INT_MAX - 3;
  IntegerVector v = new_integer_vector(1);  // +8 wraps
  EXPECT_EQ(Tmem, INT_MIN + 4);
  EXPECT_EQ(Tmemax, 0);  // the wrapped total is below the earlier mark
  free_integer_vector(v);
  EXPECT_EQ(Tmem, INT_MAX - 3);
}

// clang-format off
struct SinglePrecisionCase {
  int tmem;      // Tmem before free_vector
  float stored;  // element 0 of the released Vector
  int expected;  // Tmem after
};
constexpr SinglePrecisionCase kSinglePrecision[] = {
  {100,        0.0f, 96},          // exact below 2^24: the integer rule
  {100,        2.5f, 86},          // element 0 as stored, not converted to an integer first
  {16777216,   0.0f, 16777212},    // 2^24 itself is exact
  {16777217,   0.0f, 16777212},    // 2^24 + 1 rounds down (ties to even), not 16777213
  {16777219,   0.0f, 16777216},    // 2^24 + 3 rounds up to 2^24 + 4
  {1073741825, 0.0f, 1073741824},  // 2^30 + 1 rounds to 2^30; 2^30 - 4 rounds back to 2^30
  {0,          0.0f, -4},          // below zero
  {-16777217,  0.0f, -16777220},   // negative totals round too: -2^24 - 1 becomes -2^24
};
// clang-format on

TEST_F(ContainersTest, FreeVectorSubtractsInSinglePrecision) {
  for (const SinglePrecisionCase& c : kSinglePrecision) {
    Vector v = new_vector(0);
    v[0] = c.stored;
    Tmem = c.tmem;
    free_vector(v);
    EXPECT_EQ(Tmem, c.expected) << c.tmem << " " << c.stored;
  }
}

TEST_F(ContainersTest, FreeVectorSinglePrecisionNearTheTop) {
  // INT_MAX converts to 2^31; the difference 2^31 is beyond int and wraps like the ledger does.
  Vector v = new_vector(0);
  Tmem = INT_MAX;
  free_vector(v);
  EXPECT_EQ(Tmem, INT_MIN);
}

TEST_F(ContainersTest, FreeVectorLeavesTmemaxAlone) {
  Vector v = new_vector(2);
  Tmemax = 5;
  free_vector(v);
  EXPECT_EQ(Tmemax, 5);
}

TEST_F(ContainersTest, MatrixLayoutAndLedger) {
  Matrix m = new_matrix(2, 3);
  // 16 for the info row, 16 for each row, 12 for three handles counted at 4 bytes each.
  EXPECT_EQ(Tmem, 60);
  EXPECT_EQ(Tmemax, 60);
  EXPECT_EQ(Vecnt, 3);
  EXPECT_EQ(Matcnt, 1);
  // The info row is a Vector of length 3 holding rows, columns and 1.0.
  EXPECT_EQ(m[0][0], 3.0f);
  EXPECT_EQ(m[0][1], 2.0f);
  EXPECT_EQ(m[0][2], 3.0f);
  EXPECT_EQ(m[0][3], 1.0f);
  // Each row is its own Vector of length 3, zero-filled.
  for (int i = 1; i <= 2; ++i) {
    EXPECT_EQ(m[i][0], 3.0f);
    EXPECT_EQ(vector_size(m[i]), 3);
    for (int j = 1; j <= 3; ++j) EXPECT_EQ(m[i][j], 0.0f);
  }
  EXPECT_NE(m[1], m[2]);
  m[2][3] = 7.0f;
  EXPECT_EQ(m[1][3], 0.0f);
  int rows = 0, columns = 0;
  matrix_size(m, &rows, &columns);
  EXPECT_EQ(rows, 2);
  EXPECT_EQ(columns, 3);
  free_matrix(m);
  EXPECT_EQ(Tmem, 0);
  EXPECT_EQ(Tmemax, 60);
  EXPECT_EQ(Vecnt, 0);
  EXPECT_EQ(Matcnt, 0);
}

TEST_F(ContainersTest, MatrixRaisesTmemaxAfterEveryAddition) {
  // The info row takes Tmem to INT_MAX - 4; the first row wraps it below zero. Only a mark taken
  // after every addition keeps INT_MAX - 4.
  Tmem = INT_MAX - 20;
  Matrix m = new_matrix(2, 3);
  EXPECT_EQ(Tmemax, INT_MAX - 4);
  EXPECT_EQ(Tmem, INT_MAX - 20LL + 60 - 4294967296LL);
  Tmem = 60;
  free_matrix(m);
  EXPECT_EQ(Tmem, 0);
}

TEST_F(ContainersTest, MatrixWithoutColumnsHasOnlyItsInfoRow) {
  Matrix m = new_matrix(4, 0);
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(m[i], nullptr) << i;
  EXPECT_EQ(Tmem, 36);  // 16 + 5 handles at 4
  EXPECT_EQ(Vecnt, 1);
  int rows = -1, columns = -1;
  matrix_size(m, &rows, &columns);
  EXPECT_EQ(rows, 4);
  EXPECT_EQ(columns, 0);
  free_matrix(m);
  EXPECT_EQ(Tmem, 0);
  EXPECT_EQ(Vecnt, 0);
  EXPECT_EQ(Matcnt, 0);
}

TEST_F(ContainersTest, MatrixWithNegativeColumnsIsAccepted) {
  Matrix m = new_matrix(2, -5);
  EXPECT_EQ(m[1], nullptr);
  EXPECT_EQ(m[2], nullptr);
  int rows = 0, columns = 0;
  matrix_size(m, &rows, &columns);
  EXPECT_EQ(rows, 2);
  EXPECT_EQ(columns, -5);
  EXPECT_EQ(Tmem, 28);
  free_matrix(m);
  EXPECT_EQ(Tmem, 0);
}

TEST_F(ContainersTest, MatrixOfNoRows) {
  Matrix m = new_matrix(0, 3);
  EXPECT_EQ(Tmem, 20);  // info row 16, one handle 4
  EXPECT_EQ(Vecnt, 1);
  free_matrix(m);
  EXPECT_EQ(Tmem, 0);
}

TEST_F(ContainersTest, FreeMatrixOfNullChangesNothing) {
  Tmem = 11;
  Tmemax = 12;
  Vecnt = 13;
  Matcnt = 14;
  free_matrix(nullptr);
  EXPECT_EQ(Tmem, 11);
  EXPECT_EQ(Tmemax, 12);
  EXPECT_EQ(Vecnt, 13);
  EXPECT_EQ(Matcnt, 14);
}

TEST_F(ContainersTest, IntegerMatrixLayoutAndLedger) {
  IntegerMatrix m = new_integer_matrix(2, 3);
  EXPECT_EQ(Tmem, 56);  // 12 + 2 x 16 + 12
  EXPECT_EQ(Tmemax, 56);
  EXPECT_EQ(Ivecnt, 3);
  EXPECT_EQ(Imatcnt, 1);
  EXPECT_EQ(m[0][0], 2);
  EXPECT_EQ(m[0][1], 2);
  EXPECT_EQ(m[0][2], 3);
  for (int i = 1; i <= 2; ++i) {
    EXPECT_EQ(ivector_size(m[i]), 3);
    for (int j = 1; j <= 3; ++j) EXPECT_EQ(m[i][j], 0);
  }
  int rows = 0, columns = 0;
  imatrix_size(m, &rows, &columns);
  EXPECT_EQ(rows, 2);
  EXPECT_EQ(columns, 3);
  free_integer_matrix(m);
  EXPECT_EQ(Tmem, 0);
  EXPECT_EQ(Tmemax, 56);
  EXPECT_EQ(Ivecnt, 0);
  EXPECT_EQ(Imatcnt, 0);
}

TEST_F(ContainersTest, IntegerMatrixRaisesTmemaxAfterEveryAddition) {
  Tmem = INT_MAX - 12;  // the info row (12) reaches INT_MAX exactly, the first row wraps
  IntegerMatrix m = new_integer_matrix(2, 3);
  EXPECT_EQ(Tmemax, INT_MAX);
  Tmem = 56;
  free_integer_matrix(m);
  EXPECT_EQ(Tmem, 0);
}

TEST_F(ContainersTest, IntegerMatrixWithoutColumns) {
  IntegerMatrix m = new_integer_matrix(3, 0);
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(m[i], nullptr) << i;
  EXPECT_EQ(Tmem, 28);  // 12 + 4 handles at 4
  EXPECT_EQ(Ivecnt, 1);
  free_integer_matrix(m);
  EXPECT_EQ(Tmem, 0);
  EXPECT_EQ(Ivecnt, 0);
}

TEST_F(ContainersTest, LedgerReturnsAfterMixedSequences) {
  Matrix a = new_matrix(3, 7);
  IntegerMatrix b = new_integer_matrix(5, 2);
  Vector c = new_vector(11);
  const int peak = Tmem;
  free_matrix(a);
  IntegerVector d = new_integer_vector(0);
  free_integer_matrix(b);
  free_vector(c);
  free_integer_vector(d);
  EXPECT_EQ(Tmem, 0);
  EXPECT_EQ(Tmemax, peak);
  EXPECT_EQ(Vecnt, 0);
  EXPECT_EQ(Ivecnt, 0);
  EXPECT_EQ(Matcnt, 0);
  EXPECT_EQ(Imatcnt, 0);
}

TEST_F(ContainersTest, StringVectorHoldsItsCountAsText) {
  StringVector v = new_stringvector(3);
  EXPECT_STREQ(v[0], "3");
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(v[i], nullptr) << i;
  EXPECT_EQ(stringvector_size(v), 3);
  v[2] = copy("owned");  // released with the StringVector
  free_stringvector(v);
  EXPECT_EQ(Tmem, 0);
  EXPECT_EQ(Tmemax, 0);
  EXPECT_EQ(Vecnt, 0);
}

TEST_F(ContainersTest, StringVectorOfTwelve) {
  StringVector v = new_stringvector(12);
  EXPECT_STREQ(v[0], "12");
  EXPECT_EQ(stringvector_size(v), 12);
  for (int i = 1; i <= 12; ++i) v[i] = integer_to_string(i);
  free_stringvector(v);
}

TEST_F(ContainersTest, StringVectorOfNone) {
  StringVector v = new_stringvector(0);
  EXPECT_STREQ(v[0], "0");
  EXPECT_EQ(stringvector_size(v), 0);
  free_stringvector(v);
}

TEST_F(ContainersDeathTest, NegativeLengthsAreRefused) {
  EXPECT_FATAL(new_vector(-1), "allocation error in vector");
  EXPECT_FATAL(new_integer_vector(-1), "allocation error in ivector");
  EXPECT_FATAL(new_matrix(-1, 3), "allocation error in matrix");
  EXPECT_FATAL(new_matrix(INT_MIN, 0), "allocation error in matrix");
  EXPECT_FATAL(new_integer_matrix(-1, 3), "allocation error in imatrix");
  EXPECT_FATAL(new_stringvector(-1), "allocation error in stringvector");
}

TEST_F(ContainersDeathTest, NullIsFatalNotACrash) {
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
}

TEST_F(ContainersDeathTest, StringVectorWithoutDecimalCount) {
  StringVector v = new_stringvector(1);
  std::free(v[0]);
  v[0] = copy("x");
  EXPECT_FATAL(stringvector_size(v), "Not an integer");
  std::free(v[0]);
  v[0] = copy("1");
  free_stringvector(v);
}

}  // namespace
}  // namespace brintom
