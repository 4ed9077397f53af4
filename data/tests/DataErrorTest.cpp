#include <gtest/gtest.h>

#include "data/DataError.h"

namespace vandrel {
namespace {

// Sets the exception family's language for one test.
struct LanguageGuard {
  explicit LanguageGuard(int Language) : Saved(EMException::Language) {
    EMException::Language = Language;
  }
  ~LanguageGuard() { EMException::Language = Saved; }
  int Saved;
};

TEST(DataError, ComposesCodeAndPolishMessageAtConstruction) {
  LanguageGuard Polish(0);
  EMDataError E(341, "");
  EXPECT_EQ(E.GetCode(), "DT/341");
  EXPECT_EQ(E.Message, "[DT/341] Błąd operacji na danych");
  EXPECT_EQ(E.GetDescription(), "DataSet nie jest aktywny. Operacja niedozwolona w tym stanie");
  EXPECT_EQ(E.MacIcon(), micError);
  EXPECT_TRUE(E.GetConstructionComplete());
  EXPECT_TRUE(E.ClassChainHas("EMException"));
}

TEST(DataError, EnglishTextsFollowTheLanguageSetting) {
  LanguageGuard English(1);
  EMDataError E(337, "Kod");
  EXPECT_EQ(E.Message, "[DT/337] Data management error");
  EXPECT_EQ(E.GetDescription(), "Field with name 'Kod' was not found");
  EMException::Language = 0;
  // The message was fixed at construction; the description follows the language.
  EXPECT_EQ(E.Message, "[DT/337] Data management error");
  EXPECT_EQ(E.GetDescription(), "Nie znaleziono pola o nazwie Kod");
}

TEST(DataError, ConverterCodesShareOneTextAndUnknownCodesHaveNone) {
  LanguageGuard Polish(0);
  for (int Code = 301; Code <= 322; ++Code)
    EXPECT_EQ(EMDataError(Code, "Cena").GetDescription(), "Błąd konwersji typu pola 'Cena'");
  EXPECT_EQ(EMDataError(351, "p").GetDescription(), "Błąd konwersji typu parametru 'p'");
  EXPECT_EQ(EMDataError(397, "").GetDescription(),
            "Połączenie do bazy danych nie zostało przypisane lub nie jest otwarte");
  EXPECT_EQ(EMDataError(346, "TMCustomDataSet").GetDescription(),
            "Dane użytkownika nie mogą być przechowywane w klasie 'TMCustomDataSet'");
  for (int Code : {0, 300, 323, 339, 349, 399, 999, 1300, 1308}) {
    EMDataError E(Code, "x");
    EXPECT_EQ(E.GetDescription(), "") << Code;
    EXPECT_EQ(E.Message, "[DT/" + std::to_string(Code) + "] Błąd operacji na danych");
  }
}

TEST(DataError, CopiesKeepCodeAndText) {
  EMDataError E(336, "7");
  std::unique_ptr<EMException> Copy = EMException::DeepCopy(E);
  ASSERT_STREQ(Copy->ClassName(), "EMDataError");
  const auto* D = static_cast<const EMDataError*>(Copy.get());
  EXPECT_EQ(D->Code, 336);
  EXPECT_EQ(D->Text, "7");
  EXPECT_EQ(D->Message, E.Message);

  // Assigning another member of the family keeps the code and text.
  EMToolsError Other(5, "t", nullptr);
  EMDataError Target(301, "a");
  Target.Assign(&Other);
  EXPECT_EQ(Target.Code, 301);
  EXPECT_EQ(Target.Message, Other.Message);
}

TEST(DataError, AssignFromItsOwnChainKeepsCodeAndText) {
  EMDataError Cause(337, "Kolumna o długiej nazwie, poza buforem krótkiego tekstu");
  EMDataError Outer(341, "", &Cause);
  Outer.Assign(&Outer);
  EXPECT_EQ(Outer.Code, 341);
  EXPECT_EQ(Outer.GetTopicCount(), 2);

  // The inner error is freed by the assignment that reads it.
  Outer.Assign(Outer.GetInner());
  EXPECT_EQ(Outer.Code, 337);
  EXPECT_EQ(Outer.Text, Cause.Text);
  EXPECT_EQ(Outer.Message, Cause.Message);
  EXPECT_EQ(Outer.GetTopicCount(), 1);
}

}  // namespace
}  // namespace vandrel
