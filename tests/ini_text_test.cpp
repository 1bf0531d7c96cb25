#include <gtest/gtest.h>

#include <string>

#include "prefs/ini_text.h"

namespace {

const std::string Mark = "\xEF\xBB\xBF\r\n";

struct parsed {
  ini_document document{};
  explicit parsed(std::string_view bytes) { EXPECT_TRUE(ParseIniString(document, bytes)); }
  std::string Saved(uint32_t flags = 0) const { return IniSaveString(document, flags); }
};

}  // namespace

// Marked content is taken as UTF-8 unchanged; every file is saved with the mark.
TEST(IniText, MarkedContentIsTakenAsUtf8AndEveryFileIsSavedWithTheMark) {
  parsed marked("\xEF\xBB\xBF[\xC3\xA9]\r\nkey=\xFF\xFE\r\n");
  EXPECT_EQ(marked.Saved(), Mark + "[\xC3\xA9]\r\nkey = \xFF\xFE\r\n");
  parsed empty("");
  IniWriteInt(empty.document, "a", 1);
  EXPECT_EQ(empty.Saved(), Mark + "a = 1\r\n");
  parsed two_bytes("\xEF\xBB");  // too short for a mark: ISO 8859-1
  EXPECT_EQ(two_bytes.Saved(), Mark + "\xC3\xAF\xC2\xBB = \r\n");
}

TEST(IniText, HeaderNamesAreExactUpToTheBracket) {
  parsed ini("[ 1234 ]\r\n[1234] trailing text\r\nk=1\r\n[open\r\nk=2\r\n");
  EXPECT_EQ(IniSelectGroup(ini.document, "1234"), 1);
  EXPECT_EQ(IniReadInt(ini.document, "k", -1), 1) << "the second header matched, not [ 1234 ]";
  EXPECT_EQ(IniSelectGroup(ini.document, " 1234 "), 1);
  EXPECT_EQ(IniReadInt(ini.document, "k", -1), -1);
  EXPECT_EQ(IniSelectGroup(ini.document, "open"), 1) << "a header without ] takes the rest of the line";
  EXPECT_EQ(IniReadInt(ini.document, "k", -1), 2);
  EXPECT_EQ(ini.Saved(), Mark + "[ 1234 ]\r\n[1234]\r\nk = 1\r\n[open]\r\nk = 2\r\n");
}

TEST(IniText, KeysFoldOnlyAsciiCaseAndTakeTheWriterSpelling) {
  parsed ini("\xEF\xBB\xBF[g]\r\nMenuHandle = 5\r\n\xC3\x89t\xC3\xA9 = 3\r\n");
  IniSelectGroup(ini.document, "G");
  EXPECT_EQ(IniReadInt(ini.document, "menuhandle", 0), 5);
  EXPECT_EQ(IniReadInt(ini.document, "\xC3\xA9T\xC3\xA9", 0), 0) << "no folding beyond ASCII";
  IniWriteInt(ini.document, "MENUHANDLE", 1);
  EXPECT_EQ(ini.Saved(), Mark + "[g]\r\nMENUHANDLE = 1\r\n\xC3\x89t\xC3\xA9 = 3\r\n");
}

TEST(IniText, ValuesParseAsSignedDecimal) {
  parsed ini("empty=\r\nnegative = -42   \r\nhex=0x1F\r\nmixed=12abc\r\nplus=+7\r\n"
             "big=99999999999999999999\r\nsmall=-99999999999999999999\r\nmin=-9223372036854775808\r\n");
  EXPECT_EQ(IniReadInt(ini.document, "empty", 7), 0) << "no digits is 0, not the fallback";
  EXPECT_EQ(IniReadInt(ini.document, "negative", 0), -42);
  EXPECT_EQ(IniReadInt(ini.document, "hex", 5), 0);
  EXPECT_EQ(IniReadInt(ini.document, "mixed", 5), 12);
  EXPECT_EQ(IniReadInt(ini.document, "plus", 5), 7);
  EXPECT_EQ(IniReadInt(ini.document, "big", 5), INT64_MAX) << "saturates";
  EXPECT_EQ(IniReadInt(ini.document, "small", 5), INT64_MIN);
  EXPECT_EQ(IniReadInt(ini.document, "min", 5), INT64_MIN);
  EXPECT_EQ(IniReadInt(ini.document, "absent", 5), 5);
  EXPECT_EQ(ini.Saved(), Mark + "empty = \r\nnegative = -42   \r\nhex = 0x1F\r\nmixed = 12abc\r\nplus = +7\r\n"
                                "big = 99999999999999999999\r\nsmall = -99999999999999999999\r\n"
                                "min = -9223372036854775808\r\n")
      << "trailing blanks of a value stay";
}

TEST(IniText, DuplicatesStayAndOnlyTheFirstIsReached) {
  parsed ini("[1234]\r\nk=1\r\nk=2\r\n[1234]\r\nk=3\r\n");
  IniSelectGroup(ini.document, "1234");
  EXPECT_EQ(IniReadInt(ini.document, "k", 0), 1);
  IniWriteInt(ini.document, "k", 9);
  EXPECT_EQ(ini.Saved(), Mark + "[1234]\r\nk = 9\r\nk = 2\r\n[1234]\r\nk = 3\r\n");
}

TEST(IniText, CommentsKeepTheirPlaceAndGainOneSpace) {
  parsed ini(";tight\r\n;  two\r\n  ; indented\r\nk=1 ; not a comment\r\n#hash\r\n");
  EXPECT_EQ(IniReadInt(ini.document, "#hash", 5), 0) << "a number sign starts a key";
  EXPECT_EQ(ini.Saved(CompactSeparator), Mark + "; tight\r\n;  two\r\n; indented\r\nk=1 ; not a comment\r\n#hash=\r\n");
}

TEST(IniText, LinesWithoutEqualsAreKeysWithEmptyValues) {
  for (const char* text : {"abc\r\nnext=4\r\n", "abc\nnext=4\n", "abc\rnext=4", "\r\n\r\n\n  \t\r\nabc\n\nnext = 4"}) {
    parsed ini(text);
    EXPECT_EQ(IniReadInt(ini.document, "abc", 7), 0) << text;
    EXPECT_EQ(IniReadInt(ini.document, "next", 7), 4) << text;
    EXPECT_EQ(ini.Saved(), Mark + "abc = \r\nnext = 4\r\n") << "blank lines dropped: " << text;
  }
  parsed empty_name("=5\r\n  name with spaces \t= x\r\n");
  EXPECT_EQ(IniReadInt(empty_name.document, "", 0), 5);
  EXPECT_EQ(empty_name.Saved(), Mark + " = 5\r\nname with spaces = x\r\n");
}

TEST(IniText, LeadingSectionIsTheEmptyName) {
  parsed ini("top=1\r\n[g]\r\ntop=2\r\n");
  EXPECT_EQ(IniSelectGroup(ini.document, "g"), 1);
  EXPECT_EQ(IniSelectGroup(ini.document, ""), 1);
  EXPECT_EQ(IniReadInt(ini.document, "top", 0), 1);
  IniWriteInt(ini.document, "added", 3);
  EXPECT_EQ(ini.Saved(), Mark + "top = 1\r\nadded = 3\r\n[g]\r\ntop = 2\r\n");

  parsed headers_only("[g]\r\n");
  IniWriteInt(headers_only.document, "first", 1);
  EXPECT_EQ(headers_only.Saved(), Mark + "first = 1\r\n[g]\r\n") << "first entry of the file";
}

TEST(IniText, NewKeysGoAfterTheLastEntryOfTheirGroup) {
  parsed ini("[a]\r\nx=1\r\n; note\r\n[b]\r\ny=2\r\n");
  IniSelectGroup(ini.document, "a");
  IniWriteInt(ini.document, "z", 3);
  IniSelectGroup(ini.document, "b");
  IniWriteInt(ini.document, "w", -4);
  EXPECT_EQ(ini.Saved(), Mark + "[a]\r\nx = 1\r\n; note\r\nz = 3\r\n[b]\r\ny = 2\r\nw = -4\r\n");
}

TEST(IniText, FailedSelectionKeepsTheGroupButReadsFallBack) {
  parsed ini("[a]\r\nk=1\r\n");
  IniSelectGroup(ini.document, "a");
  EXPECT_EQ(IniSelectGroup(ini.document, "missing"), 0);
  EXPECT_EQ(IniReadInt(ini.document, "k", 8), 8) << "while a group is missing";
  EXPECT_EQ(ini.document.current_group, ini.document.first.get());
  IniWriteInt(ini.document, "k", 2);  // creates the missing group at the end
  EXPECT_EQ(IniReadInt(ini.document, "k", 8), 2);
  EXPECT_EQ(ini.Saved(), Mark + "[a]\r\nk = 1\r\n[missing]\r\nk = 2\r\n");
}

TEST(IniText, ValuesRewrittenShorterOrLongerReadBack) {
  parsed ini("[g]\r\nk=123456\r\n");
  IniSelectGroup(ini.document, "g");
  IniWriteInt(ini.document, "k", 7);
  EXPECT_EQ(IniReadInt(ini.document, "k", 0), 7);
  IniWriteInt(ini.document, "k", -9223372036854775807 - 1);
  EXPECT_EQ(IniReadInt(ini.document, "k", 0), INT64_MIN);
  IniWriteInt(ini.document, "k", 42);
  EXPECT_EQ(ini.Saved(), Mark + "[g]\r\nk = 42\r\n");
  EXPECT_TRUE(ini.document.changed);
}

// Text already in saved form and text in other forms save to the same bytes.
TEST(IniText, UnselectedTextIsSavedLikeParsedText) {
  const std::string saved_form = Mark + "[a]\r\nk = 1\r\n\r\n[b]\r\nk = 2\r\n; note\r\n\r\n[c]\r\nk = 3\r\n";
  const std::string other_forms[] = {
      "[a]\nk=1\n[b]\nk=2\n;note\n[c]\nk=3",                                 // LF, compact, no last break
      Mark + "\r\n  [a]\r\nk   =1\r\n\r\n\r\n[b]\r\n k= 2\r\n;  note\r\n[c] x\r\nk = 3\r\n",  // blanks, extra lines
      Mark + "[a]\r\nk = 1\r\n[b]\r\nk = 2\r\n; note\r\n[c]\r\nk = 3\r\n",    // saved form but no blank lines
  };
  for (const std::string& text : {saved_form, other_forms[0], other_forms[1], other_forms[2]}) {
    parsed ini(text);
    ASSERT_EQ(IniSelectGroup(ini.document, "B"), 1) << text;
    EXPECT_EQ(IniReadInt(ini.document, "k", 0), 2) << text;
    IniWriteInt(ini.document, "k", 5);
    const std::string note = text == other_forms[1] ? ";  note" : "; note";  // a comment's own blanks stay
    EXPECT_EQ(ini.Saved(BlankLineBetweenGroups),
              Mark + "[a]\r\nk = 1\r\n\r\n[b]\r\nk = 5\r\n" + note + "\r\n\r\n[c]\r\nk = 3\r\n") << text;
    EXPECT_EQ(ini.Saved(CompactSeparator), Mark + "[a]\r\nk=1\r\n[b]\r\nk=5\r\n" + note + "\r\n[c]\r\nk=3\r\n") << text;
  }
}

TEST(IniText, GroupsAreFoundInFileOrderWhateverWasSelectedBefore) {
  parsed ini(Mark + "lead = 0\r\n[x]\r\nk = 1\r\n[Y]\r\nk = 2\r\n[y]\r\nk = 3\r\n[z]\r\nk = 4\r\n");
  ASSERT_EQ(IniSelectGroup(ini.document, "z"), 1);
  EXPECT_EQ(IniReadInt(ini.document, "k", 0), 4);
  ASSERT_EQ(IniSelectGroup(ini.document, "y"), 1);
  EXPECT_EQ(IniReadInt(ini.document, "k", 0), 2) << "the first header that folds equal";
  IniWriteInt(ini.document, "new", 7);
  ASSERT_EQ(IniSelectGroup(ini.document, "x"), 1);
  EXPECT_EQ(IniReadInt(ini.document, "k", 0), 1);
  EXPECT_EQ(IniReadInt(ini.document, "new", 0), 0) << "the key went to [Y], not to its neighbour";
  ASSERT_EQ(IniSelectGroup(ini.document, ""), 1);
  EXPECT_EQ(IniReadInt(ini.document, "lead", 9), 0);
  ASSERT_EQ(IniSelectGroup(ini.document, "Z"), 1) << "found again among the parsed entries";
  EXPECT_EQ(IniReadInt(ini.document, "k", 0), 4);
  EXPECT_EQ(ini.Saved(),
            Mark + "lead = 0\r\n[x]\r\nk = 1\r\n[Y]\r\nk = 2\r\nnew = 7\r\n[y]\r\nk = 3\r\n[z]\r\nk = 4\r\n");
}

TEST(IniText, EntriesAreListedInFileOrder) {
  parsed ini(Mark + "top = 0\r\n[a]\r\nk = 1\r\n\r\n; c\r\n[b]\r\nj = 2\r\n");
  std::string seen;
  for (const ini_entry* e = ini.document.first.get(); e; e = e->next.get()) {
    seen.append(1, "hck"[static_cast<int>(e->kind)]).append(View(e->name)).append("/").append(View(e->body)).append(" ");
  }
  EXPECT_EQ(seen, "ktop/0 ha/ kk/1 c/c hb/ kj/2 ");
  EXPECT_EQ(ini.Saved(BlankLineBetweenGroups), Mark + "top = 0\r\n[a]\r\nk = 1\r\n; c\r\n\r\n[b]\r\nj = 2\r\n")
      << "the blank line inside [a] is dropped, one comes before [b]";
}
