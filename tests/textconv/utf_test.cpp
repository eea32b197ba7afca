// The converter and the fixed-width field helpers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ks/utf.h"

namespace {

using ks::text::CopyToField;
using ks::text::FieldText;
using ks::text::Utf16ToUtf8;
using ks::text::Utf8ToUtf16;

struct DecodeCase {
  const char* what;
  std::string utf8;
  bool valid;
  std::u16string utf16;  // when valid
};

TEST(Utf8ToUtf16, DecodesValidTextAndRefusesEveryInvalidForm) {
  const std::vector<DecodeCase> cases = {
      {"empty", "", true, u""},
      {"ascii", "example.com", true, u"example.com"},
      {"two bytes", "\xC3\xA9t\xC3\xA9", true, u"\u00E9t\u00E9"},
      {"three bytes", "\xE2\x82\xAC", true, u"\u20AC"},
      {"four bytes", "\xF0\x9F\x98\x80", true, u"\U0001F600"},
      {"last code point", "\xF4\x8F\xBF\xBF", true, u"\U0010FFFF"},
      {"embedded NUL kept", std::string("a\0b", 3), true, std::u16string(u"a\0b", 3)},
      {"overlong two-byte", "\xC0\xAF", false, u""},
      {"overlong C1", "\xC1\xBF", false, u""},
      {"overlong three-byte", "\xE0\x80\xAF", false, u""},
      {"overlong four-byte", "\xF0\x80\x80\xAF", false, u""},
      {"encoded high surrogate", "\xED\xA0\x80", false, u""},
      {"encoded low surrogate", "\xED\xBF\xBF", false, u""},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", false, u""},
      {"F5 lead", "\xF5\x80\x80\x80", false, u""},
      {"stray continuation", "a\x80z", false, u""},
      {"truncated at end", "ab\xE2\x82", false, u""},
      {"truncated mid-text", "\xE2\x82z", false, u""},
      {"FF byte", "\xFF", false, u""},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::u16string out = u"junk";
    EXPECT_EQ(Utf8ToUtf16<char16_t>(c.utf8, &out), c.valid);
    EXPECT_EQ(out, c.utf16) << "an invalid text must decode to nothing at all";
  }
}

TEST(Utf16ToUtf8, EncodesPairsAndReplacesLoneSurrogates) {
  const std::pair<std::u16string, std::string> cases[] = {
      {u"caf\u00E9 \u20AC", "caf\xC3\xA9 \xE2\x82\xAC"},
      {u"\U0001F600", "\xF0\x9F\x98\x80"},
      {u"a\xD83D" u"b", "a\xEF\xBF\xBD" "b"},             // a lone high surrogate
      {u"a\xDE00", "a\xEF\xBF\xBD"},                      // a lone low one, at the end
      {u"\xDE00\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD"},  // a pair the wrong way round
  };
  for (const auto& [utf16, utf8] : cases) EXPECT_EQ(Utf16ToUtf8<char16_t>(utf16), utf8);
}

TEST(Utf8RoundTrip, EveryScalarValueSurvives) {
  for (char32_t cp = 1; cp <= 0x10FFFF; cp += (cp < 0x3000 ? 1 : 97)) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    const std::u16string wide =
        cp < 0x10000 ? std::u16string(1, static_cast<char16_t>(cp))
                     : std::u16string{static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)),
                                      static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF))};
    std::u16string back;
    ASSERT_TRUE(Utf8ToUtf16<char16_t>(Utf16ToUtf8<char16_t>(wide), &back) && back == wide)
        << static_cast<uint32_t>(cp);
  }
}

TEST(FieldText, StopsAtTheTerminatorOrTheFieldsEnd) {
  const char16_t terminated[8] = u"abc";
  EXPECT_EQ(FieldText<char16_t>(terminated, 8), u"abc");
  char16_t full[4] = {u'w', u'x', u'y', u'z'};  // no terminator at all
  EXPECT_EQ(FieldText<char16_t>(full, 4), u"wxyz");
  EXPECT_EQ(FieldText<char16_t>(nullptr, 4), u"");
  EXPECT_EQ(ks::text::BufferText("abc\0def", 8), "abc");
  const char unterminated[3] = {'x', 'y', 'z'};
  EXPECT_EQ(ks::text::BufferText(unterminated, 3), "xyz");
}

TEST(CopyToField, CutsToTheWidthWithATerminatorAndNeverWritesBeyond) {
  struct Guarded {
    char16_t field[4];
    char16_t guard[2];
  };
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"", u""}, {u"ab", u"ab"}, {u"abc", u"abc"}, {u"abcd", u"abc"}, {u"abcdefgh", u"abc"},
      // A surrogate pair that would be cut in half is left out whole.
      {u"ab\U0001F600", u"ab"}, {u"a\U0001F600", u"a\U0001F600"},
  };
  for (const auto& [text, stored] : cases) {
    SCOPED_TRACE(std::string(text.begin(), text.end()));
    Guarded g;
    std::fill(std::begin(g.field), std::end(g.field), u'#');
    std::fill(std::begin(g.guard), std::end(g.guard), u'!');
    EXPECT_EQ(CopyToField<char16_t>(g.field, 4, text), stored.size());
    EXPECT_EQ(std::u16string(g.field), stored);
    EXPECT_EQ(g.guard[0], u'!');
    for (size_t i = stored.size() + 1; i < 4; ++i) {
      EXPECT_EQ(g.field[i], u'#') << "units after the terminator are left alone";
    }
  }
  char16_t field[1] = {u'#'};  // a field of no width, or none at all, is left alone
  EXPECT_EQ(CopyToField<char16_t>(field, 0, u"abc"), 0u);
  EXPECT_EQ(field[0], u'#');
  EXPECT_EQ(CopyToField<char16_t>(nullptr, 8, u"abc"), 0u);
}

TEST(Utf8ToField, InvalidTextGivesAnEmptyField) {
  char16_t field[8];
  std::fill(std::begin(field), std::end(field), u'#');
  EXPECT_FALSE(ks::text::Utf8ToField<char16_t>("ok\xC0\xAF", field, 8));
  EXPECT_EQ(field[0], 0);
  EXPECT_TRUE(ks::text::Utf8ToField<char16_t>("example.com", field, 8));
  EXPECT_EQ(std::u16string(field), u"example");
}

}  // namespace
