#include "support/strings.hpp"

#include <cstdlib>
#include <memory>
#include <string>

#include "test_support.hpp"

namespace brintom {
namespace {

// Takes ownership of a returned heap string.
std::string take(char* s) {
  std::unique_ptr<char, decltype(&std::free)> owned(s, &std::free);
  return std::string(s);
}

TEST(Strings, JoinPiecesWithoutSeparator) {
  EXPECT_EQ(take(copy("")), "");
  EXPECT_EQ(take(cat("ab", "")), "ab");
  EXPECT_EQ(take(cat2(" file ", "x.image", " cannot be opened")), " file x.image cannot be opened");
  EXPECT_EQ(take(cat2("Image output file ", "out.vtk", "cannot be opened")),
            "Image output file out.vtkcannot be opened");
  EXPECT_EQ(take(cat3("a", "b", "c", "d")), "abcd");
}

TEST(Strings, NewStringIsZeroFilled) {
  char* s = new_string(5);
  for (int i = 0; i <= 5; ++i) EXPECT_EQ(s[i], '\0');
  std::free(s);
}

TEST(Strings, StrcompAnswersEquality) {
  EXPECT_EQ(strcomp("", ""), 1);
  EXPECT_EQ(strcomp("a", "ab"), 0);
  EXPECT_EQ(strcomp("ab", "a"), 0);
  EXPECT_EQ(strcomp("binary", "Binary"), 0);
  EXPECT_EQ(strcomp("binary", "binary"), 1);
}

TEST(Strings, StrcpMatchesNameOrItsCapitals) {
  EXPECT_EQ(strcp("CS", "ColumnSpacing"), 1);
  EXPECT_EQ(strcp("ColumnSpacing", "ColumnSpacing"), 1);
  EXPECT_EQ(strcp("Cs", "ColumnSpacing"), 0);
  EXPECT_EQ(strcp("cs", "ColumnSpacing"), 0);
  EXPECT_EQ(strcp("label", "label"), 1);
  EXPECT_EQ(strcp("", "label"), 1);  // no capitals: the empty abbreviation
  EXPECT_EQ(strcp("l", "label"), 0);
}

TEST(Strings, UpperStringKeepsOnlyCapitals) {
  EXPECT_EQ(take(upper_string("ColumnSpacing")), "CS");
  EXPECT_EQ(take(upper_string("label")), "");
  // Far more capitals than a 64-character work area: all kept, nothing overrun.
  const std::string many(300, 'Q');
  EXPECT_EQ(take(upper_string((many + "x").c_str())), many);
}

TEST(Strings, CapitalTests) {
  EXPECT_EQ(isup('A'), 1);
  EXPECT_EQ(isup('Z'), 1);
  EXPECT_EQ(isup('a'), 0);
  EXPECT_EQ(isup('@'), 0);
  EXPECT_EQ(isup('['), 0);
  EXPECT_EQ(isup(0xC1), 0);
  EXPECT_EQ(is_all_upper(""), 1);
  EXPECT_EQ(is_all_upper("ABC"), 1);
  EXPECT_EQ(is_all_upper("AbC"), 0);
  EXPECT_EQ(is_all_upper("A C"), 0);
}

TEST(Strings, BraceLists) {
  EXPECT_EQ(islist("{}"), 1);
  EXPECT_EQ(islist("{"), 0);
  EXPECT_EQ(islist("}"), 0);
  EXPECT_EQ(islist(""), 0);
  EXPECT_EQ(islist("a{b}"), 0);
  EXPECT_EQ(islist("{a} b"), 0);
  EXPECT_EQ(islist("{Head scan}"), 1);
  EXPECT_EQ(take(list_to_token("{Head scan}")), "Head scan");
  EXPECT_EQ(take(list_to_token("{}")), "");
  EXPECT_EQ(take(list_to_token("{{a}}")), "{a}");  // only the outer pair goes
  EXPECT_EQ(take(token_to_list("")), "{}");
  for (const char* text : {"", "a", "Head scan", "{x}", " } {"}) {
    EXPECT_EQ(take(list_to_token(take(token_to_list(text)).c_str())), text);
  }
}

}  // namespace
}  // namespace brintom
