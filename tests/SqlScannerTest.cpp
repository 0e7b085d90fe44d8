#include <gtest/gtest.h>

#include "db/SqlScanner.h"
#include "platform/Exception.h"

namespace {

using Names = std::vector<std::string>;

TEST(SqlScanner, TokensGiveTheTextBack) {
  const std::string text = "select a.\"Tên\", 'x''y:z' -- note\r\n/* c */ from T where n = 1.5 and m::int = :p";
  std::string joined;
  for (const auto& token : TokenizeSql(text)) joined += token.Text;
  EXPECT_EQ(joined, text);
}

TEST(SqlScanner, MarkersBecomeQuestionMarksOutsideLiterals) {
  const auto scanned = ScanParameters("select * from T where A = :A and B = 'time: :now' and C = :\"Quoted\"", true);
  EXPECT_EQ(scanned.NativeText, "select * from T where A = ? and B = 'time: :now' and C = ?");
  EXPECT_EQ(scanned.ParamNames, (Names{"A", "Quoted"}));
  EXPECT_EQ(scanned.Kind, TParsedSQLType::qtSelect);
}

TEST(SqlScanner, StopWordsEndTheScanButIdentifiersContainingThemDoNot) {
  const auto block = ScanParameters(
      "execute block (p integer = :p) returns (r integer) as declare variable v integer; begin r = :p; suspend; end",
      true);
  EXPECT_EQ(block.NativeText,
            "execute block (p integer = ?) returns (r integer) as declare variable v integer; begin r = :p; suspend; end");
  EXPECT_EQ(block.ParamNames, Names{"p"});
  EXPECT_EQ(block.Kind, TParsedSQLType::qtExecuteBlock);
  const auto notStopped = ScanParameters("update T set BEGIN_DATE = :d where ID = :id", true);
  EXPECT_EQ(notStopped.ParamNames, (Names{"d", "id"}));
  EXPECT_EQ(notStopped.Kind, TParsedSQLType::qtUpdate);
  EXPECT_TRUE(ScanParameters("delete from T where ID = :id", false).ParamNames.empty());
}

TEST(SqlScanner, QStringsAndArrayBoundsHoldNoMarkers) {
  const auto quoted = ScanParameters("select q'{it''s :x}', Q'(a)b:)', q'!:y!' from T where A = :A", true);
  EXPECT_EQ(quoted.NativeText, "select q'{it''s :x}', Q'(a)b:)', q'!:y!' from T where A = ?");
  EXPECT_EQ(quoted.ParamNames, Names{"A"});
  const auto array = ScanParameters("recreate table ARR (A integer[1:5], B char(2)[0:3, 1:2])", true);
  EXPECT_EQ(array.NativeText, "recreate table ARR (A integer[1:5], B char(2)[0:3, 1:2])");
  EXPECT_TRUE(array.ParamNames.empty());
  EXPECT_EQ(UniversalSql("select q'{a -- b}' from T"), "select q'{a -- b}' from T");
}

TEST(SqlScanner, LineCommentsBecomeBlockComments) {
  EXPECT_EQ(UniversalSql("a\r\n  -----\r\nb -- x */ y\r\n'--not'"), "a\r\n  /*---*/\r\nb -- x */ y\r\n'--not'");
  EXPECT_THROW(UniversalSql("select {fn now()} from rdb$database"), Exception);
  EXPECT_EQ(UniversalSql("select '{x}' from rdb$database"), "select '{x}' from rdb$database");
}

}  // namespace
