#include "support/byte_order.hpp"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <cstdint>
#include <cstring>

namespace brintom {
namespace {

template <typename Word>
void reverse_bytes(void* out, const void* in, std::size_t count) {
  static_assert(sizeof(Word) == 2 || sizeof(Word) == 4, "16-bit or 32-bit values");
  const auto* from = static_cast<const unsigned char*>(in);
  auto* to = static_cast<unsigned char*>(out);
  std::size_t i = 0;
#ifdef __SSE2__
  // Sixteen bytes at a time where the host has SSE2 (every x86-64 does): the compiler does not
  // vectorise bswap by itself.
  for (; i + 16 / sizeof(Word) <= count; i += 16 / sizeof(Word)) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + sizeof(Word) * i));
    if constexpr (sizeof(Word) == 4) {
      v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xB1), 0xB1);  // swap the 16-bit halves
    }
    v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));  // then the bytes in each
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + sizeof(Word) * i), v);
  }
#endif
  for (; i < count; ++i) {
    Word word;
    std::memcpy(&word, from + sizeof(Word) * i, sizeof word);
    if constexpr (sizeof(Word) == 4) {
      word = __builtin_bswap32(word);
    } else {
      word = __builtin_bswap16(word);
    }
    std::memcpy(to + sizeof(Word) * i, &word, sizeof word);
  }
}

}  // namespace

void reverse_bytes_16(void* out, const void* in, std::size_t count) {
  reverse_bytes<std::uint16_t>(out, in, count);
}

void reverse_bytes_32(void* out, const void* in, std::size_t count) {
  reverse_bytes<std::uint32_t>(out, in, count);
}

}  // namespace brintom
