#include "support/containers.hpp"

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdlib>

#include "support/fatal.hpp"
#include "support/huge_pages.hpp"
#include "support/ledger.hpp"
#include "support/text.hpp"
#include "support/zeroed.hpp"

namespace brintom {
namespace {

// clang-format off
constexpr char kVectorFailure[]       = "allocation error in vector";
constexpr char kIvectorFailure[]      = "allocation error in ivector";
constexpr char kMatrixFailure[]       = "allocation error in matrix";
constexpr char kImatrixFailure[]      = "allocation error in imatrix";
constexpr char kStringvectorFailure[] = "allocation error in stringvector";
constexpr char kEmptyMatrixSize[]     = "empty matrix in size";
constexpr char kEmptyImatrixSize[]    = "empty imatrix in size";
constexpr char kEmptyVectorSize[]     = "empty vector in size";
constexpr char kEmptyIvectorSize[]    = "empty ivector in size";
constexpr char kEmptyStringSize[]     = "empty stringvector in size";
constexpr char kEmptyVectorFree[]     = "empty vector in free_vector";
constexpr char kEmptyIvectorFree[]    = "empty ivector in free_integer_vector";
constexpr char kEmptyImatrixFree[]    = "empty imatrix in free_integer_matrix";
constexpr char kEmptyStringFree[]     = "empty stringvector in free_stringvector";
// clang-format on

// The info row of a Matrix: element 1 rows, 2 columns, 3 the constant 1.0.
constexpr int kMatrixInfoLength = 3;
// The info row of an IntegerMatrix: element 1 rows, 2 columns.
constexpr int kImatrixInfoLength = 2;
// The ledger counts 4 bytes per element and per matrix handle, whatever the handle's size.
constexpr long long kLedgerWord = 4;

// Adds to Tmem and raises Tmemax right after, as every vector and matrix allocator does.
void account(long long amount) {
  ledger_add(Tmem, amount);
  if (Tmem > Tmemax) Tmemax = Tmem;
}

// Truncation toward zero; a float beyond the int range (a length above 2^31 rounds up to 2^31)
// saturates instead of being undefined.
int truncate_to_int(float value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483648.0f) return INT_MAX;
  if (value < -2147483648.0f) return INT_MIN;
  return static_cast<int>(value);
}

// A count stored as a float rounds above 2^24 and may then read back larger than it was; the
// block gets room for the count as it reads back, so no caller that trusts it reads past the end.
std::size_t room_for(int count) {
  const int read_back = truncate_to_int(static_cast<float>(count));
  return static_cast<std::size_t>(read_back > count ? read_back : count) + 1;
}

// A container's block: element 0 and count elements; a negative count is fatal with message.
template <typename T>
T* container_block(int count, const char* message) {
  if (count < 0) error_message(message);
  T* block = zeroed<T>(room_for(count), message);
  // Readers fill large rows right after they are made, as they fill voxel blocks.
  advise_huge_pages(block, room_for(count) * sizeof(T));
  return block;
}

}  // namespace

Vector new_vector(int n) {
  Vector v = container_block<float>(n, kVectorFailure);
  v[0] = static_cast<float>(n);
  account(kLedgerWord * (n + 1LL));
  ledger_add(Vecnt, 1);
  return v;
}

void free_vector(Vector v) {
  if (v == nullptr) error_message(kEmptyVectorFree);
  // The ledger is defined to do this subtraction in single precision, with element 0 as stored:
  // above 2^24 the conversion of Tmem rounds and the result differs from the integer rule.
  const float difference = static_cast<float>(Tmem) - (1.0f + v[0]) * 4.0f;
  if (std::isfinite(difference)) {
    const double truncated = std::fmod(std::trunc(static_cast<double>(difference)), 4294967296.0);
    Tmem = static_cast<int>(static_cast<unsigned>(static_cast<long long>(truncated)));
  }
  std::free(v);
  ledger_add(Vecnt, -1);
}

int vector_size(Vector v) {
  if (v == nullptr) error_message(kEmptyVectorSize);
  return truncate_to_int(v[0]);
}

IntegerVector new_integer_vector(int n) {
  IntegerVector v = container_block<int>(n, kIvectorFailure);
  v[0] = n;
  account(kLedgerWord * (n + 1LL));
  ledger_add(Ivecnt, 1);
  return v;
}

void free_integer_vector(IntegerVector v) {
  if (v == nullptr) error_message(kEmptyIvectorFree);
  ledger_add(Tmem, -kLedgerWord * (v[0] + 1LL));
  std::free(v);
  ledger_add(Ivecnt, -1);
}

int ivector_size(IntegerVector v) {
  if (v == nullptr) error_message(kEmptyIvectorSize);
  return v[0];
}

Matrix new_matrix(int rows, int columns) {
  Matrix m = container_block<Vector>(rows, kMatrixFailure);
  m[0] = new_vector(kMatrixInfoLength);
  m[0][1] = static_cast<float>(rows);
  m[0][2] = static_cast<float>(columns);
  m[0][3] = 1.0f;
  if (columns > 0) {
    for (long long i = 1; i <= rows; ++i) m[i] = new_vector(columns);
  }
  account(kLedgerWord * (rows + 1LL));
  ledger_add(Matcnt, 1);
  return m;
}

void free_matrix(Matrix m) {
  if (m == nullptr) return;
  const int rows = truncate_to_int(m[0][1]);
  for (long long i = 0; i <= rows; ++i) {
    if (m[i] != nullptr) free_vector(m[i]);
  }
  std::free(m);
  ledger_add(Tmem, -kLedgerWord * (rows + 1LL));
  ledger_add(Matcnt, -1);
}

void matrix_size(Matrix m, int* rows, int* columns) {
  if (m == nullptr) error_message(kEmptyMatrixSize);
  *rows = truncate_to_int(m[0][1]);
  *columns = truncate_to_int(m[0][2]);
}

IntegerMatrix new_integer_matrix(int rows, int columns) {
  IntegerMatrix m = container_block<IntegerVector>(rows, kImatrixFailure);
  m[0] = new_integer_vector(kImatrixInfoLength);
  m[0][1] = rows;
  m[0][2] = columns;
  if (columns > 0) {
    for (long long i = 1; i <= rows; ++i) m[i] = new_integer_vector(columns);
  }
  account(kLedgerWord * (rows + 1LL));
  ledger_add(Imatcnt, 1);
  return m;
}

void free_integer_matrix(IntegerMatrix m) {
  if (m == nullptr) error_message(kEmptyImatrixFree);
  const int rows = m[0][1];
  for (long long i = 0; i <= rows; ++i) {
    if (m[i] != nullptr) free_integer_vector(m[i]);
  }
  std::free(m);
  ledger_add(Tmem, -kLedgerWord * (rows + 1LL));
  ledger_add(Imatcnt, -1);
}

void imatrix_size(IntegerMatrix m, int* rows, int* columns) {
  if (m == nullptr) error_message(kEmptyImatrixSize);
  *rows = m[0][1];
  *columns = m[0][2];
}

StringVector new_stringvector(int n) {
  StringVector v = container_block<char*>(n, kStringvectorFailure);
  v[0] = integer_to_string(n);
  return v;
}

void free_stringvector(StringVector v) {
  if (v == nullptr) error_message(kEmptyStringFree);
  const int count = string_to_integer(v[0]);
  for (long long i = 0; i <= count; ++i) std::free(v[i]);
  std::free(v);
}

int stringvector_size(StringVector v) {
  if (v == nullptr) error_message(kEmptyStringSize);
  return string_to_integer(v[0]);
}

}  // namespace brintom
