#pragma once
// The library's error family. An EMException words its own icon, title, code, message and
// description (in Polish or English), may hold the exception that caused it, and is read
// as a chain of topics from the outermost error to the innermost cause. Any other
// framework exception becomes an EMException through the translator list.
//
// Writing a descendant (in any module):
//   class EMMyError : public EMException {
//     VANDREL_CLASS(EMMyError, EMException)
//    public:
//     EMMyError(int Code, const Exception* Inner) : EMException(Inner), FCode(Code) {
//       AfterConstruction();              // always the last statement of every constructor
//     }
//     AnsiString MacCode() const override;  // ... and the other Mac operations it words
//     std::unique_ptr<EMException> Clone() const override {
//       return std::make_unique<EMMyError>(0, nullptr);  // empty; the caller then Assigns
//     }
//     void Assign(const EMException* Source) override;  // base Assign, then own fields
//   };
// The message is composed from the Mac operations when construction ends. C++ has no hook
// after the most derived constructor, so every constructor of the family ends with
// AfterConstruction(); a base constructor's composition is simply replaced by the derived
// one's. A constructor that forgets it leaves its parent's wording in Message:
// GetConstructionComplete() is false then, and the family's tests check it for every class.
#include <cstdint>
#include <memory>
#include <string_view>

#include "foundation/Exception.h"

namespace vandrel {

// Icon kind of an error, one byte: what the error dialog shows beside the message.
using TMacIconKind = std::uint8_t;
inline constexpr TMacIconKind micError = 0;
inline constexpr TMacIconKind micWarning = 1;
inline constexpr TMacIconKind micInformation = 2;
inline constexpr TMacIconKind micQuestion = 3;

class EMException;

// Turns a framework exception into a new EMException, or answers null to pass it on.
using TMExceptionTranslator = std::unique_ptr<EMException> (*)(const Exception* E);

class EMException : public Exception {
  VANDREL_CLASS(EMException, Exception)
 public:
  // 1 selects the English texts of the Mac operations; any other value the Polish ones.
  static inline int Language = 0;

  // Inner, when given, is kept as a translated copy; the caller keeps Inner itself.
  explicit EMException(const Exception* Inner = nullptr);
  // Copies are deep: the inner chain is copied, never shared.
  EMException(const EMException& Source);
  EMException(EMException&& Source) noexcept = default;
  EMException& operator=(const EMException& Source);
  EMException& operator=(EMException&& Source) noexcept = default;
  ~EMException() override;

  virtual TMacIconKind MacIcon() const;
  virtual AnsiString MacTitle() const;
  virtual AnsiString MacCode() const;
  virtual AnsiString MacMessage() const;
  virtual AnsiString MacDescription() const;
  // A new, empty exception of the same class; the caller then Assigns the source to it.
  virtual std::unique_ptr<EMException> Clone() const;
  // Copies Message, the aborted flag and a deep copy of Source's inner chain.
  virtual void Assign(const EMException* Source);

  // Clone followed by Assign: an independent copy of E with its whole chain.
  static std::unique_ptr<EMException> DeepCopy(const EMException& E);

  // Topic 0 is this exception, topic i > 0 the inner chain's topic i - 1.
  int GetTopicCount() const;
  const EMException* GetTopics(int Index) const;
  EMException* GetTopics(int Index);

  AnsiString GetCode() const { return MacCode(); }
  AnsiString GetTitle() const { return MacTitle(); }
  AnsiString GetDescription() const { return MacDescription(); }

  // Set when the exception stands for a user's cancellation (the silent abort).
  bool GetAborted() const { return FAborted; }
  void SetAborted(bool Value) { FAborted = Value; }
  const EMException* GetInner() const { return FInner.get(); }

  // True when the message was composed by the constructor of the object's own class.
  bool GetConstructionComplete() const;

  // A new EMException for E (null for null): a deep copy of an EMException, else the first
  // answer of the translators, else a plain EMException carrying E's message.
  static std::unique_ptr<EMException> ToEMException(const Exception* E);
  // The same for any standard exception; one that is not a framework exception is wrapped
  // as a classic exception named after its C++ type.
  static std::unique_ptr<EMException> ToEMException(const std::exception& E);

  // Shows E now: through the application's exception event when the host assigned one
  // (with a null sender), otherwise in a temporary error dialog (ApplicationEvents.h).
  static void ShowExceptionNow(const Exception* E);
  void ShowNow() const;

  // The most recently registered translator is asked first; null and repeats are ignored.
  static void RegisterExceptionTranslator(TMExceptionTranslator Translator);
  static void UnregisterExceptionTranslator(TMExceptionTranslator Translator);
  static void UnregisterAllExceptionTranslators();

 protected:
  // Composes Message as "[" + code + "] " + MacMessage() (no brackets without a code).
  // Must be the last statement of every constructor in the family.
  void AfterConstruction();
  // Takes Inner as the inner exception as it stands (no copy), replacing any previous one.
  void AdoptInner(std::unique_ptr<EMException> Inner);
  // The text for the current Language.
  static AnsiString ByLanguage(const char* Polish, const char* English);

 private:
  bool FAborted = false;
  std::unique_ptr<EMException> FInner;
  // Class whose constructor composed Message last (see GetConstructionComplete).
  const char* FComposedBy = nullptr;
};

// Basic tools error with a numeric code, shown as "TOOLS/" + code.
class EMToolsError : public EMException {
  VANDREL_CLASS(EMToolsError, EMException)
 public:
  EMToolsError(int Code, AnsiString Text, const Exception* Inner);

  TMacIconKind MacIcon() const override { return micWarning; }
  AnsiString MacCode() const override;
  AnsiString MacMessage() const override;
  std::unique_ptr<EMException> Clone() const override;
  void Assign(const EMException* Source) override;

  int GetToolsCode() const { return FCode; }
  const AnsiString& GetText() const { return FText; }

 private:
  int FCode;
  AnsiString FText;
};

// A framework exception of no special kind, kept by class name and message.
class EMClassicException : public EMException {
  VANDREL_CLASS(EMClassicException, EMException)
 public:
  explicit EMClassicException(const Exception* E);
  // Wraps an error known only by a class name and a message (a non-framework exception).
  EMClassicException(AnsiString ClassName, AnsiString WrappedMessage);

  AnsiString MacCode() const override { return FClassName; }
  AnsiString MacMessage() const override;
  AnsiString MacDescription() const override { return FWrappedMessage; }
  std::unique_ptr<EMException> Clone() const override;
  void Assign(const EMException* Source) override;

  const AnsiString& GetWrappedClassName() const { return FClassName; }
  const AnsiString& GetWrappedMessage() const { return FWrappedMessage; }

 private:
  AnsiString FClassName;
  AnsiString FWrappedMessage;
};

// Reading or writing the registry failed; Details tell the operation and the key.
class EMRegistryError : public EMException {
  VANDREL_CLASS(EMRegistryError, EMException)
 public:
  explicit EMRegistryError(AnsiString Details);

  TMacIconKind MacIcon() const override { return micWarning; }
  AnsiString MacCode() const override { return "Reg"; }
  AnsiString MacMessage() const override;
  AnsiString MacDescription() const override;
  std::unique_ptr<EMException> Clone() const override;

  const AnsiString& GetDetails() const { return FDetails; }

 private:
  AnsiString FDetails;
};

// Text typed into a masked edit does not fit its mask.
class EMMaskEditError : public EMException {
  VANDREL_CLASS(EMMaskEditError, EMException)
 public:
  EMMaskEditError();

  TMacIconKind MacIcon() const override { return micWarning; }
  AnsiString MacCode() const override { return "Mask"; }
  AnsiString MacMessage() const override;
  AnsiString MacDescription() const override;
  std::unique_ptr<EMException> Clone() const override;
};

// A failed operating-system call: the errno code and the name of the call.
class EMWin32LastError : public EMException {
  VANDREL_CLASS(EMWin32LastError, EMException)
 public:
  EMWin32LastError(int ErrorCode, AnsiString ApiFunction);

  TMacIconKind MacIcon() const override { return micWarning; }
  AnsiString MacCode() const override;
  AnsiString MacMessage() const override;
  AnsiString MacDescription() const override;
  std::unique_ptr<EMException> Clone() const override;
  void Assign(const EMException* Source) override;

  // Raises an EMWin32LastError for the calling thread's errno and ApiFunction.
  // (A view, so that nothing is allocated between the failed call and reading errno.)
  [[noreturn]] static void Generate(std::string_view ApiFunction);

  int GetErrorCode() const { return FErrorCode; }
  const AnsiString& GetApiFunction() const { return FApiFunction; }

 private:
  int FErrorCode;
  AnsiString FApiFunction;
};

// The translator registered at start: the silent abort is left to the default (an aborted
// EMException), a mask error and a registry error get their own classes, and any other
// exception becomes an EMClassicException.
std::unique_ptr<EMException> ClassicExceptionTranslator(const Exception* E);

// The framework's own error classes that the classic translator recognises by name.
// The error of a masked edit whose text does not fit the mask.
class EDBEditError : public Exception {
  VANDREL_CLASS(EDBEditError, Exception)
 public:
  using Exception::Exception;
};

// The error of the framework's registry class.
class ERegistryException : public Exception {
  VANDREL_CLASS(ERegistryException, Exception)
 public:
  using Exception::Exception;
};

}  // namespace vandrel
