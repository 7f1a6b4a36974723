#include "support/strings.hpp"

#include "test_support.hpp"

namespace brintom {
namespace {

using test::take;

// Each predicate answers 1 or 0.
TEST(Strings, JoinsComparesAndConverts) {
  EXPECT_EQ(take(copy("")), "");
  EXPECT_EQ(take(cat("ab", "")), "ab");
  EXPECT_EQ(take(cat2("a ", "b", "c")), "a bc");
  EXPECT_EQ(take(cat3("a", "b", "c", "d")), "abcd");
  char* s = new_string(5);
  EXPECT_EQ(std::string(s, 6), std::string(6, '\0'));  // zero-filled, the terminator included
  std::free(s);
  EXPECT_EQ((std::vector<int>{strcomp("", ""), strcomp("a", "ab"), strcomp("ab", "a"),
                              strcomp("binary", "Binary"), strcomp("binary", "binary")}),
            (std::vector<int>{1, 0, 0, 0, 1}));
  // A name, or its capitals; no capitals: the empty abbreviation.
  EXPECT_EQ((std::vector<int>{strcp("CS", "ColumnSpacing"), strcp("ColumnSpacing", "ColumnSpacing"),
                              strcp("Cs", "ColumnSpacing"), strcp("cs", "ColumnSpacing"),
                              strcp("label", "label"), strcp("", "label"), strcp("l", "label")}),
            (std::vector<int>{1, 1, 0, 0, 1, 1, 0}));
  EXPECT_EQ(take(upper_string("ColumnSpacing")) + take(upper_string("label")), "CS");
  // Far more capitals than a 64-character work area: all kept, nothing overrun.
  EXPECT_EQ(take(upper_string((std::string(300, 'Q') + "x").c_str())), std::string(300, 'Q'));
  EXPECT_EQ((std::vector<int>{isup('A'), isup('Z'), isup('a'), isup('@'), isup('['), isup(0xC1),
                              is_all_upper(""), is_all_upper("ABC"), is_all_upper("AbC"),
                              is_all_upper("A C"), islist("{}"), islist("{"), islist("}"),
                              islist(""), islist("a{b}"), islist("{a} b"), islist("{Head scan}")}),
            (std::vector<int>{1, 1, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(take(list_to_token("{{a}}")), "{a}");  // only the outer pair goes
  EXPECT_EQ(take(token_to_list("")), "{}");
  for (const char* text : {"", "a", "Head scan", "{x}", " } {"}) {
    EXPECT_EQ(take(list_to_token(take(token_to_list(text)).c_str())), text);
  }
}

}  // namespace
}  // namespace brintom
