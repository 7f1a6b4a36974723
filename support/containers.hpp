#pragma once

namespace brintom {

// The 1-based containers. Each keeps its own size: a vector in element 0, a matrix in an info row
// at entry 0. Allocators return zero-filled containers and keep the memory ledger
// (support/ledger.hpp); release operations free everything the container owns.

// A Vector of length n is n + 1 floats; element 0 holds n as a float, v[1] to v[n] the values.
using Vector = float*;
// An IntegerVector of length n is n + 1 ints; element 0 holds n.
using IntegerVector = int*;
// A Matrix of r rows and k columns: entry 0 is the info row (a Vector of length 3 holding r, k
// and 1.0), entries 1 to r are Vectors of length k, present only when k > 0. m[i][j] is row i,
// column j.
using Matrix = float**;
// An IntegerMatrix likewise: entry 0 an IntegerVector of length 2 holding r and k.
using IntegerMatrix = int**;
// A StringVector of count n: element 0 is the heap string of n in decimal, elements 1 to n heap
// strings (or null) that the StringVector owns.
using StringVector = char**;

// Negative lengths and row counts are fatal with the allocator's allocation message; a column
// count of 0 or less gives a matrix without rows. Releases and size queries given null are fatal.

Vector new_vector(int n);
void free_vector(Vector v);  // Tmem goes down by the single-precision rule of the ledger
int vector_size(Vector v);   // element 0 truncated toward zero
IntegerVector new_integer_vector(int n);
void free_integer_vector(IntegerVector v);
int ivector_size(IntegerVector v);

Matrix new_matrix(int rows, int columns);
void free_matrix(Matrix m);  // null: no effect
void matrix_size(Matrix m, int* rows, int* columns);
IntegerMatrix new_integer_matrix(int rows, int columns);
void free_integer_matrix(IntegerMatrix m);
void imatrix_size(IntegerMatrix m, int* rows, int* columns);

// StringVector operations leave the ledger alone.
StringVector new_stringvector(int n);
void free_stringvector(StringVector v);
int stringvector_size(StringVector v);

}  // namespace brintom
