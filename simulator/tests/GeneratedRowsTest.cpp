// A table that a data set declares by a row count: its rows follow from their numbers, in
// every column type, with the column's length and scale; listed rows come first.
#include <gtest/gtest.h>

#include <variant>

#include "engine/Model.h"
#include "engine/SqlTime.h"
#include "engine/Values.h"

namespace msde {
namespace {

TEST(GeneratedRows, ADeclaredCountOfRowsFollowsFromTheirNumbers) {
  Database db = DatabaseFromJson(R"({"name":"Duza","tables":[{"name":"Paragony","generate":1500,
      "columns":[{"name":"Nr","type":"int"},{"name":"Opis","type":"varchar","length":8},
                 {"name":"Kwota","type":"numeric","precision":12,"scale":2},{"name":"Kiedy","type":"datetime"},
                 {"name":"Waga","type":"float"},{"name":"Znak","type":"tinyint"},{"name":"Id","type":"uniqueidentifier"}],
      "rows":[[0,"pierwszy","1.00","2019-12-31 00:00:00",null,null,null]]}]})");
  const Table* t = db.FindTable("dbo", "Paragony");
  ASSERT_NE(t, nullptr);
  ASSERT_EQ(t->rows.size(), 1501u);
  EXPECT_EQ(std::get<std::string>(t->rows[0][1]), "pierwszy");
  const Row& r = t->rows[1234];
  EXPECT_EQ(std::get<int64_t>(r[0]), 1234);
  EXPECT_EQ(std::get<std::string>(r[1]), "Opis 123");  // cut at 8 characters
  EXPECT_EQ(std::get<std::string>(r[2]), "12.34");
  EXPECT_EQ(DateTimeText(std::get<SqlDateTime>(r[3])), "2020-01-01 20:34:00.000");
  EXPECT_EQ(std::get<double>(r[4]), 308.5);
  EXPECT_EQ(std::get<int64_t>(r[5]), 1234 % 256);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(r[6]));
}

TEST(GeneratedRows, ADataSetWrittenBackKeepsTheDeclarationWhileTheRowsStayAsMade) {
  const char* text = R"({"name":"Duza","tables":[{"name":"Paragony","generate":3,
      "columns":[{"name":"Nr","type":"int"},{"name":"Opis","type":"varchar","length":8}],
      "rows":[[0,"pierwszy"]]}]})";
  Database db = DatabaseFromJson(text);
  const std::string written = DatabaseToJson(db);
  EXPECT_NE(written.find(R"("generate": 3)"), std::string::npos) << written;
  EXPECT_EQ(written.find("Opis 2"), std::string::npos) << written;
  Database again = DatabaseFromJson(written);
  EXPECT_EQ(again.FindTable("dbo", "Paragony")->rows, db.FindTable("dbo", "Paragony")->rows);

  // A generated row that changed is written out with all the others.
  db.FindTable("dbo", "Paragony")->rows[2][1] = std::string("zmiana");
  const std::string changed = DatabaseToJson(db);
  EXPECT_EQ(changed.find(R"("generate")"), std::string::npos) << changed;
  EXPECT_EQ(DatabaseFromJson(changed).FindTable("dbo", "Paragony")->rows, db.FindTable("dbo", "Paragony")->rows);
}

}  // namespace
}  // namespace msde
