#include "mesh/block_input.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "support/input_limit.hpp"
#include "support/text.hpp"

namespace brintom {
namespace {

constexpr std::size_t kBlock = std::size_t{1} << 20;
constexpr std::size_t kSmallest = 256;

}  // namespace

BlockInput::BlockInput(std::FILE* file) : file_(file) {
  // A small file needs no block of a megabyte.
  const long long left = bytes_left(file);
  capacity_ = left >= 0 && left < static_cast<long long>(kBlock)
                  ? std::max<std::size_t>(static_cast<std::size_t>(left), kSmallest)
                  : kBlock;
  block_.reset(new unsigned char[capacity_ + 1]);
  at_ = end_ = block_.get();
  *end_ = 0;
}

bool BlockInput::fill(std::size_t n) {
  const auto left = static_cast<std::size_t>(end_ - at_);
  if (capacity_ < n) {
    capacity_ = std::max(n, 2 * capacity_);
    std::unique_ptr<unsigned char[]> larger(new unsigned char[capacity_ + 1]);
    std::memcpy(larger.get(), at_, left);
    block_ = std::move(larger);
  } else {
    std::memmove(block_.get(), at_, left);
  }
  at_ = block_.get();
  end_ = at_ + left;
  while (static_cast<std::size_t>(end_ - at_) < n && !at_file_end_) {
    const std::size_t room = capacity_ - static_cast<std::size_t>(end_ - at_);
    const std::size_t got = std::fread(end_, 1, room, file_);
    end_ += got;
    if (got < room) at_file_end_ = true;
  }
  *end_ = 0;
  return static_cast<std::size_t>(end_ - at_) >= n;
}

bool BlockInput::skip(long long n) {
  while (n > 0) {
    if (at_ == end_ && !fill(1)) return false;
    const long long here = std::min<long long>(n, end_ - at_);
    at_ += here;
    n -= here;
  }
  return true;
}

bool BlockInput::line(std::string_view& text) {
  std::size_t searched = 0;  // bytes from at_ known to hold no line feed
  for (;;) {
    const auto left = static_cast<std::size_t>(end_ - at_);
    const void* feed = std::memchr(at_ + searched, '\n', left - searched);
    if (feed != nullptr || at_file_end_) {
      if (feed == nullptr && left == 0) return false;
      const unsigned char* stop = feed != nullptr ? static_cast<const unsigned char*>(feed) : end_;
      std::size_t length = static_cast<std::size_t>(stop - at_);
      if (length > 0 && at_[length - 1] == '\r') --length;
      text = std::string_view(reinterpret_cast<const char*>(at_), length);
      at_ = feed != nullptr ? at_ + (stop - at_) + 1 : end_;
      return true;
    }
    searched = left;
    // A line longer than the block makes it grow; otherwise the next bytes come behind it.
    fill(left == capacity_ ? 2 * left : left + 1);
  }
}

bool next_word(std::string_view& line, std::string_view& word) {
  std::size_t start = 0;
  while (start < line.size() && is_white_space(static_cast<unsigned char>(line[start]))) ++start;
  std::size_t end = start;
  while (end < line.size() && !is_white_space(static_cast<unsigned char>(line[end]))) ++end;
  word = line.substr(start, end - start);
  line.remove_prefix(end);
  return !word.empty();
}

bool word_float(std::string_view word, float& value) {
  char* end = nullptr;
  value = std::strtof(word.data(), &end);
  return !word.empty() && end == word.data() + word.size();
}

bool word_long(std::string_view word, long long& value) {
  char* end = nullptr;
  value = std::strtoll(word.data(), &end, 10);
  return !word.empty() && end == word.data() + word.size();
}

}  // namespace brintom
