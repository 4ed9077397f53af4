#include "foundation/MacError.h"

#include "foundation/ApplicationEvents.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace vandrel {
namespace {

class ERangeError : public Exception {
  VANDREL_CLASS(ERangeError, Exception)
 public:
  using Exception::Exception;
};

class EUserAbort : public EAbort {
  VANDREL_CLASS(EUserAbort, EAbort)
 public:
  using EAbort::EAbort;
};

// A descendant in another module, written as the header tells.
class EMSampleError : public EMToolsError {
  VANDREL_CLASS(EMSampleError, EMToolsError)
 public:
  explicit EMSampleError(int Code) : EMToolsError(Code, "sample", nullptr) { AfterConstruction(); }
  AnsiString MacCode() const override { return "SAMPLE/" + std::to_string(GetToolsCode()); }
  std::unique_ptr<EMException> Clone() const override { return std::make_unique<EMSampleError>(0); }
};

// One that forgot to finish its construction.
class EMForgetfulError : public EMToolsError {
  VANDREL_CLASS(EMForgetfulError, EMToolsError)
 public:
  EMForgetfulError() : EMToolsError(1, "", nullptr) {}
  AnsiString MacCode() const override { return "FORGOT"; }
};

// Every test starts and ends in Polish with only the classic translator registered.
class MacErrorTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    EMException::Language = 0;
    EMException::UnregisterAllExceptionTranslators();
    EMException::RegisterExceptionTranslator(&ClassicExceptionTranslator);
  }
};

TEST_F(MacErrorTest, MessagesAreComposedFromCodeAndMessageInBothLanguages) {
  EXPECT_EQ(EMToolsError(7, "x", nullptr).Message, "[TOOLS/7] Błąd narzędzi podstawowych");
  EXPECT_EQ(EMException().Message, "Nieznany wyjątek");
  EXPECT_EQ(EMRegistryError("k").Message, "[Reg] Błąd zapisu lub odczytu rejestru");
  EXPECT_EQ(EMMaskEditError().Message, "[Mask] Błąd wprowadzania tekstu");
  EXPECT_EQ(EMWin32LastError(2, "open").Message, "[L/2] Błąd wywołania funkcji API Win32");
  EXPECT_EQ(EMClassicException("ERangeError", "poza zakresem").Message,
            "[ERangeError] Błąd aplikacji\r\npoza zakresem");

  EMException::Language = 1;
  EXPECT_EQ(EMToolsError(7, "x", nullptr).Message, "[TOOLS/7] Basic tools error");
  EXPECT_EQ(EMException().Message, "Unknown exception");
  EXPECT_EQ(EMRegistryError("k").Message, "[Reg] Registry read or write error");
  EXPECT_EQ(EMMaskEditError().Message, "[Mask] Text input error");
  EXPECT_EQ(EMMaskEditError().GetDescription(), "Text is incompatible with used format");
  EXPECT_EQ(EMWin32LastError(2, "").Message, "[L/2] Win32 API function call error");
  EXPECT_EQ(EMClassicException("E", "m").Message, "[E] Application error\r\nm");
  // Any value other than 1 is Polish.
  EMException::Language = 2;
  EXPECT_EQ(EMException().Message, "Nieznany wyjątek");
}

TEST_F(MacErrorTest, MessageIsFixedWhenConstructionEnds) {
  EMToolsError E(3, "", nullptr);
  EMException::Language = 1;
  EXPECT_EQ(E.Message, "[TOOLS/3] Błąd narzędzi podstawowych");
  EXPECT_EQ(E.MacMessage(), "Basic tools error");

  EMException Plain;
  Plain.SetAborted(true);
  EXPECT_EQ(Plain.Message, "Unknown exception");
  EXPECT_EQ(Plain.MacMessage(), "Operation aborted");

  // A descendant's own wording wins over its parents'.
  EMSampleError Sample(4);
  EXPECT_EQ(Sample.Message, "[SAMPLE/4] Basic tools error");
}

TEST_F(MacErrorTest, EveryClassFinishesItsOwnConstruction) {
  EXPECT_TRUE(EMException().GetConstructionComplete());
  EXPECT_TRUE(EMToolsError(1, "", nullptr).GetConstructionComplete());
  EXPECT_TRUE(EMClassicException(nullptr).GetConstructionComplete());
  EXPECT_TRUE(EMRegistryError("").GetConstructionComplete());
  EXPECT_TRUE(EMMaskEditError().GetConstructionComplete());
  EXPECT_TRUE(EMWin32LastError(0, "").GetConstructionComplete());
  EXPECT_TRUE(EMSampleError(1).GetConstructionComplete());
  EXPECT_TRUE(EMSampleError(1).Clone()->GetConstructionComplete());

  // Forgetting is visible: the parent's wording stays and the check says so.
  EMForgetfulError Forgetful;
  EXPECT_FALSE(Forgetful.GetConstructionComplete());
  EXPECT_EQ(Forgetful.Message, "[TOOLS/1] Błąd narzędzi podstawowych");
}

TEST_F(MacErrorTest, TitlesAndIconsFollowTheIconKind) {
  EXPECT_EQ(EMException().MacIcon(), micError);
  EXPECT_EQ(EMException().GetTitle(), "Wystąpił błąd");
  EXPECT_EQ(EMClassicException(nullptr).GetTitle(), "Wystąpił błąd");
  const EMToolsError Tools(1, "", nullptr);
  const EMRegistryError Registry("");
  const EMMaskEditError Mask;
  const EMWin32LastError Last(1, "");
  for (const EMException* E : std::initializer_list<const EMException*>{&Tools, &Registry, &Mask, &Last}) {
    EXPECT_EQ(E->MacIcon(), micWarning) << E->ClassName();
    EXPECT_EQ(E->GetTitle(), "Uwaga") << E->ClassName();
  }
  EMException::Language = 1;
  EXPECT_EQ(EMException().GetTitle(), "Error");
  EXPECT_EQ(EMMaskEditError().GetTitle(), "Warning");
}

TEST_F(MacErrorTest, InnerExceptionIsATranslatedCopyReadAsTopics) {
  EMRegistryError Cause("HKCU\\Software\\Tovinex");
  ERangeError Root("indeks 9");
  EMToolsError Middle(2, "", &Root);
  EMToolsError Outer(1, "", &Middle);

  EXPECT_EQ(Outer.GetTopicCount(), 3);
  EXPECT_EQ(Outer.GetTopics(0), &Outer);
  ASSERT_NE(Outer.GetTopics(1), nullptr);
  EXPECT_NE(Outer.GetTopics(1), &Middle);  // a copy, not the caller's object
  EXPECT_STREQ(Outer.GetTopics(1)->ClassName(), "EMToolsError");
  EXPECT_EQ(Outer.GetTopics(1)->GetCode(), "TOOLS/2");
  EXPECT_STREQ(Outer.GetTopics(2)->ClassName(), "EMClassicException");
  EXPECT_EQ(Outer.GetTopics(2)->GetDescription(), "indeks 9");
  EXPECT_EQ(Outer.GetTopics(3), nullptr);
  EXPECT_EQ(Outer.GetTopics(-1), nullptr);
  EXPECT_EQ(EMException().GetTopicCount(), 1);
}

TEST_F(MacErrorTest, CopiesAreDeepAndOutliveTheirSource) {
  auto Source = std::make_unique<EMToolsError>(5, "", nullptr);
  {
    EMRegistryError Inner("szczegóły");
    EMToolsError WithInner(6, "tekst", &Inner);
    Source->Assign(&WithInner);
  }
  Source->SetAborted(true);

  auto Copy = EMException::DeepCopy(*Source);
  EMToolsError ByValue(*Source);
  EMToolsError Assigned(0, "", nullptr);
  Assigned = *Source;
  const EMException* Original = Source->GetInner();
  Source.reset();

  for (const EMException* E : {static_cast<const EMException*>(Copy.get()), static_cast<const EMException*>(&ByValue),
                               static_cast<const EMException*>(&Assigned)}) {
    EXPECT_STREQ(E->ClassName(), "EMToolsError");
    EXPECT_EQ(E->GetCode(), "TOOLS/6");
    EXPECT_EQ(E->Message, "[TOOLS/6] Błąd narzędzi podstawowych");
    EXPECT_TRUE(E->GetAborted());
    ASSERT_EQ(E->GetTopicCount(), 2);
    EXPECT_NE(E->GetInner(), Original);
    EXPECT_STREQ(E->GetInner()->ClassName(), "EMRegistryError");
    EXPECT_NE(E->GetInner()->GetDescription().find("szczegóły"), std::string::npos);
  }
  EXPECT_EQ(static_cast<const EMToolsError&>(*Copy).GetText(), "tekst");
}

TEST_F(MacErrorTest, AssignFromItselfOrFromItsOwnChainKeepsTheData) {
  EMMaskEditError Deepest;
  EMRegistryError Middle("klucz");
  EMToolsError Outer(1, "", nullptr);
  EMToolsError Chain(9, "", &Middle);
  Outer.Assign(&Chain);

  Outer.Assign(&Outer);
  EXPECT_EQ(Outer.GetTopicCount(), 2);
  EXPECT_EQ(Outer.GetCode(), "TOOLS/9");

  // Assigning the inner exception to its outer one frees the old inner only after copying.
  EMToolsError Nested(2, "", &Chain);
  Nested.Assign(Nested.GetInner());
  EXPECT_EQ(Nested.GetCode(), "TOOLS/9");
  EXPECT_EQ(Nested.GetTopicCount(), 2);
  EXPECT_STREQ(Nested.GetTopics(1)->ClassName(), "EMRegistryError");

  Nested.Assign(nullptr);
  EXPECT_EQ(Nested.GetTopicCount(), 2);
  // Assigning a different class copies only what the classes share.
  Nested.Assign(&Deepest);
  EXPECT_EQ(Nested.GetCode(), "TOOLS/9");
  EXPECT_EQ(Nested.Message, Deepest.Message);
  EXPECT_EQ(Nested.GetTopicCount(), 1);
}

TEST_F(MacErrorTest, ToEMExceptionCopiesTheLibrarysOwnExceptions) {
  EXPECT_EQ(EMException::ToEMException(static_cast<const Exception*>(nullptr)), nullptr);

  EMWin32LastError Cause(13, "open");
  EMSampleError Source(8);
  Source.Assign(&Source);
  auto Copy = EMException::ToEMException(&Source);
  EXPECT_STREQ(Copy->ClassName(), "EMSampleError");
  EXPECT_EQ(Copy->Message, Source.Message);

  EMToolsError Chained(1, "", &Cause);
  auto ChainCopy = EMException::ToEMException(&Chained);
  ASSERT_EQ(ChainCopy->GetTopicCount(), 2);
  auto* Last = dynamic_cast<const EMWin32LastError*>(ChainCopy->GetTopics(1));
  ASSERT_NE(Last, nullptr);
  EXPECT_EQ(Last->GetErrorCode(), 13);
  EXPECT_EQ(Last->GetApiFunction(), "open");
}

TEST_F(MacErrorTest, ClassicTranslatorHandlesFrameworkExceptions) {
  ERangeError Range("Indeks poza zakresem");
  auto Classic = EMException::ToEMException(&Range);
  EXPECT_STREQ(Classic->ClassName(), "EMClassicException");
  EXPECT_EQ(Classic->GetCode(), "ERangeError");
  EXPECT_EQ(Classic->Message, "[ERangeError] Błąd aplikacji\r\nIndeks poza zakresem");
  EXPECT_EQ(Classic->GetDescription(), "Indeks poza zakresem");
  EXPECT_FALSE(Classic->GetAborted());

  EAbort Abort("przerwano");
  auto Aborted = EMException::ToEMException(&Abort);
  EXPECT_STREQ(Aborted->ClassName(), "EMException");
  EXPECT_TRUE(Aborted->GetAborted());
  EXPECT_EQ(Aborted->Message, "Nieznany wyjątek\r\nprzerwano");

  // A descendant of the abort is left to the default too, but only the abort itself is
  // marked as aborted.
  EUserAbort UserAbort("użytkownik");
  auto NotAborted = EMException::ToEMException(&UserAbort);
  EXPECT_STREQ(NotAborted->ClassName(), "EMException");
  EXPECT_FALSE(NotAborted->GetAborted());
  EXPECT_EQ(NotAborted->Message, "Nieznany wyjątek\r\nużytkownik");

  EDBEditError Mask("zła data");
  EXPECT_STREQ(EMException::ToEMException(&Mask)->ClassName(), "EMMaskEditError");

  ERegistryException Registry("Nie można otworzyć klucza");
  auto Reg = EMException::ToEMException(&Registry);
  ASSERT_STREQ(Reg->ClassName(), "EMRegistryError");
  EXPECT_EQ(static_cast<const EMRegistryError&>(*Reg).GetDetails(), "Nie można otworzyć klucza");

  // A classic exception built from a classic exception keeps its fields.
  EMClassicException Again(Classic.get());
  EXPECT_EQ(Again.GetWrappedClassName(), "ERangeError");
  EXPECT_EQ(Again.GetWrappedMessage(), "Indeks poza zakresem");
  EXPECT_EQ(Again.Message, Classic->Message);

  EMClassicException Empty(nullptr);
  EXPECT_EQ(Empty.GetCode(), "");
  EXPECT_EQ(Empty.Message, "Błąd aplikacji\r\n");
}

std::unique_ptr<EMException> RangeToTools(const Exception* E) {
  return E->ClassChainHas("ERangeError") ? std::make_unique<EMToolsError>(42, "", nullptr) : nullptr;
}
std::unique_ptr<EMException> EverythingToMask(const Exception*) { return std::make_unique<EMMaskEditError>(); }

TEST_F(MacErrorTest, TranslatorsAreAskedNewestFirst) {
  ERangeError Range("r");
  EDBEditError Mask("m");
  EAbort Abort("a");

  EMException::RegisterExceptionTranslator(&RangeToTools);
  EMException::RegisterExceptionTranslator(&RangeToTools);  // a repeat is ignored
  EMException::RegisterExceptionTranslator(nullptr);
  EXPECT_EQ(EMException::ToEMException(&Range)->GetCode(), "TOOLS/42");
  EXPECT_STREQ(EMException::ToEMException(&Mask)->ClassName(), "EMMaskEditError");

  EMException::RegisterExceptionTranslator(&EverythingToMask);
  EXPECT_STREQ(EMException::ToEMException(&Range)->ClassName(), "EMMaskEditError");
  EXPECT_STREQ(EMException::ToEMException(&Abort)->ClassName(), "EMMaskEditError");

  EMException::UnregisterExceptionTranslator(&EverythingToMask);
  EXPECT_EQ(EMException::ToEMException(&Range)->GetCode(), "TOOLS/42");
  EMException::UnregisterExceptionTranslator(&RangeToTools);
  EXPECT_EQ(EMException::ToEMException(&Range)->GetCode(), "ERangeError");

  EMException::UnregisterAllExceptionTranslators();
  auto Plain = EMException::ToEMException(&Mask);
  EXPECT_STREQ(Plain->ClassName(), "EMException");
  EXPECT_EQ(Plain->Message, "Nieznany wyjątek\r\nm");
}

TEST_F(MacErrorTest, StandardExceptionsAreWrappedByTheirType) {
  std::out_of_range Range("vector::at");
  auto E = EMException::ToEMException(Range);
  EXPECT_EQ(E->GetCode(), "std::out_of_range");
  EXPECT_EQ(E->GetDescription(), "vector::at");

  EAbort Abort("a");
  EXPECT_TRUE(EMException::ToEMException(static_cast<const std::exception&>(Abort))->GetAborted());
}

TEST_F(MacErrorTest, RegistryDescriptionAddsDetailsWhenThereAreAny) {
  const AnsiString Polish =
      "Błąd operacji na rejestrze systemu.\r\n"
      "Przyczyną może być brak uprawnień do modyfikacji części rejestru "
      "lub typ danych inny niż aplikacja zakłada podczas odczytu. "
      "Sprawdź czy zalogowany użytkownik systemu Windows posiada uprawnienia administratora.\r\n";
  EXPECT_EQ(EMRegistryError("").GetDescription(), Polish);
  EXPECT_EQ(EMRegistryError("  ").GetDescription(), Polish + "  ");
  EXPECT_EQ(EMRegistryError("klucz X").GetDescription(), Polish + "Więcej szczegółów:\r\nklucz X");
  EMException::Language = 1;
  EXPECT_EQ(EMRegistryError("key X").GetDescription(), "Registry operation error.\r\nMore details:\r\nkey X");
  auto Copy = EMException::DeepCopy(EMRegistryError("key Y"));
  EXPECT_EQ(static_cast<const EMRegistryError&>(*Copy).GetDetails(), "key Y");
}

TEST_F(MacErrorTest, LastErrorDescribesTheSystemError) {
  EXPECT_EQ(EMWin32LastError(5, "").GetDescription(),
            AnsiString("Error: 0x00000005\r\nMessage: ") + std::strerror(5));
  EXPECT_EQ(EMWin32LastError(255, " rename ").GetDescription(),
            AnsiString("Error: 0x000000FF\r\nAPI Function:  rename \r\nMessage: ") + std::strerror(255));
  EXPECT_EQ(EMWin32LastError(-1, "x").GetDescription().substr(0, 18), "Error: 0xFFFFFFFF\r");

  errno = ENOENT;
  try {
    EMWin32LastError::Generate("stat");
    FAIL() << "Generate returned";
  } catch (const EMException& E) {
    auto& Last = dynamic_cast<const EMWin32LastError&>(E);
    EXPECT_EQ(Last.GetErrorCode(), ENOENT);
    EXPECT_EQ(Last.GetApiFunction(), "stat");
    EXPECT_EQ(Last.GetCode(), "L/" + std::to_string(ENOENT));
  }
}

TEST_F(MacErrorTest, ThrownDescendantsAreCaughtAsFrameworkExceptions) {
  EMRegistryError Cause("k");
  try {
    throw EMToolsError(11, "", &Cause);
  } catch (const Exception& E) {
    EXPECT_STREQ(E.what(), "[TOOLS/11] Błąd narzędzi podstawowych");
    EXPECT_TRUE(E.ClassChainHas("EMException"));
    auto Copy = EMException::ToEMException(&E);
    EXPECT_EQ(Copy->GetTopicCount(), 2);
  }
}

// ShowNow goes to the host's exception event with a null sender while one is assigned, and
// to the display the host's front registered otherwise.
TEST_F(MacErrorTest, ShowNowReachesTheApplicationsExceptionEventFirst) {
  TMApplicationEvents& Application = ApplicationEvents();
  static std::vector<std::string> Displayed;
  Displayed.clear();
  std::vector<std::pair<TObject*, std::string>> Handled;
  Application.OnException = [&](TObject* Sender, const Exception* E) { Handled.push_back({Sender, E->Message}); };
  Application.DefaultDisplay = [](const Exception* E) { Displayed.push_back(E->Message); };
  EMToolsError(7, "", nullptr).ShowNow();
  const ERangeError Range("poza zakresem");
  EMException::ShowExceptionNow(&Range);
  ASSERT_EQ(Handled.size(), 2u);
  EXPECT_EQ(Handled[0].first, nullptr);
  EXPECT_EQ(Handled[0].second, "[TOOLS/7] Błąd narzędzi podstawowych");
  EXPECT_EQ(Handled[1].second, "poza zakresem");
  EXPECT_TRUE(Displayed.empty());

  Application.OnException = nullptr;
  EMToolsError(8, "", nullptr).ShowNow();
  EXPECT_EQ(Displayed, std::vector<std::string>{"[TOOLS/8] Błąd narzędzi podstawowych"});
  Application.DefaultDisplay = nullptr;
}

}  // namespace
}  // namespace vandrel
