#include "support/input_limit.hpp"

#include <climits>

#include "test_support.hpp"

namespace brintom {
namespace {

// Four times what is left plus 16 MiB, exactly; a stream without a size is not limited.
TEST(InputLimit, AllocationStaysWithinReachOfTheFile) {
  constexpr long long kSlack = 16LL << 20;
  EXPECT_TRUE(within_reach(kSlack, 0));
  EXPECT_FALSE(within_reach(kSlack + 4, 0));
  EXPECT_TRUE(within_reach(kSlack + 4 * 1000, 1000));
  EXPECT_FALSE(within_reach(kSlack + 4 * 1000 + 4, 1000));
  EXPECT_TRUE(within_reach(LLONG_MAX, -1));
  const std::string path = test::temp_path(".bin");
  test::write_file(path, "0123456789");
  std::FILE* file = std::fopen(path.c_str(), "rb");
  std::fseek(file, 3, SEEK_SET);
  EXPECT_EQ(bytes_left(file), 7);
  std::fseek(file, 20, SEEK_SET);  // past the end
  EXPECT_EQ(bytes_left(file), 0);
  std::fclose(file);
  std::FILE* pipe = ::popen("true", "r");
  EXPECT_EQ(bytes_left(pipe), -1);
  ::pclose(pipe);
}

}  // namespace
}  // namespace brintom
