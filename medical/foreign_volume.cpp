#include "medical/foreign_volume.hpp"

#include <iterator>

namespace brintom {
namespace {

// clang-format off
constexpr ScalarTypeRow kScalarTypes[] = {
  {ScalarType::uint8,   1, true,  "uint8"},
  {ScalarType::int8,    1, true,  "int8"},
  {ScalarType::int16,   2, true,  "int16"},
  {ScalarType::uint16,  2, true,  "uint16"},
  {ScalarType::int32,   4, true,  "int32"},
  {ScalarType::uint32,  4, true,  "uint32"},
  {ScalarType::float32, 4, false, "float32"},
  {ScalarType::float64, 8, false, "float64"},
};
// clang-format on
static_assert(std::size(kScalarTypes) == 8, "one row per ScalarType, in its order");

}  // namespace

const ScalarTypeRow& scalar_type_row(ScalarType type) {
  return kScalarTypes[static_cast<int>(type)];
}

}  // namespace brintom
