#include "support/byte_order.hpp"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <cstdint>
#include <cstring>

namespace brintom {

// Sixteen bytes at a time where the host has SSE2 (every x86-64 does): the compiler does not
// vectorise bswap by itself.

void reverse_bytes_16(void* out, const void* in, std::size_t count) {
  const auto* from = static_cast<const unsigned char*>(in);
  auto* to = static_cast<unsigned char*>(out);
  std::size_t i = 0;
#ifdef __SSE2__
  for (; i + 8 <= count; i += 8) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 2 * i));
    v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 2 * i), v);
  }
#endif
  for (; i < count; ++i) {
    std::uint16_t value;
    std::memcpy(&value, from + 2 * i, sizeof value);
    value = __builtin_bswap16(value);
    std::memcpy(to + 2 * i, &value, sizeof value);
  }
}

void reverse_bytes_32(void* out, const void* in, std::size_t count) {
  const auto* from = static_cast<const unsigned char*>(in);
  auto* to = static_cast<unsigned char*>(out);
  std::size_t i = 0;
#ifdef __SSE2__
  for (; i + 4 <= count; i += 4) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 4 * i));
    v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xB1), 0xB1);   // swap the 16-bit halves
    v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));  // then the bytes in each
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 4 * i), v);
  }
#endif
  for (; i < count; ++i) {
    std::uint32_t word;
    std::memcpy(&word, from + 4 * i, sizeof word);
    word = __builtin_bswap32(word);
    std::memcpy(to + 4 * i, &word, sizeof word);
  }
}

}  // namespace brintom
