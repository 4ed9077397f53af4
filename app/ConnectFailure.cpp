#include "app/ConnectFailure.h"

#include <algorithm>
#include <cctype>

#include "foundation/AsciiCase.h"

namespace vandrel::app {
namespace {

struct TReason {
  const char* Text;
  const char* Advice;
};

const TReason kLoginRefused = {
    "Serwer odrzucił logowanie: nieprawidłowa nazwa użytkownika lub hasło.",
    "Sprawdź nazwę użytkownika i hasło (wielkość liter w haśle ma znaczenie). Jeśli serwer przyjmuje "
    "tylko logowanie systemu Windows, włącz na nim uwierzytelnianie SQL Server."};
const TReason kUnknownHost = {
    "Nie znaleziono komputera o nazwie podanej jako serwer.",
    "Sprawdź nazwę serwera albo wpisz jego adres IP; nazwa komputera w sieci musi być znana temu "
    "komputerowi (DNS lub plik /etc/hosts)."};
const TReason kUnreachable = {
    "Serwer nie odpowiada pod podanym adresem i portem.",
    "Sprawdź, czy usługa SQL Server działa na tym komputerze, czy przyjmuje połączenia TCP/IP "
    "(biblioteki komunikacyjne serwera), czy port jest właściwy (zwykle 1433; wyłącz „Przydziel "
    "dynamicznie” i wpisz go) i czy nie blokuje go zapora."};
const TReason kTimeout = {
    "Serwer nie odpowiedział w wyznaczonym czasie.",
    "Sprawdź, czy serwer i sieć działają, i spróbuj ponownie za chwilę."};
const TReason kNoDriver = {
    "Nie znaleziono sterownika ODBC „SQL Server” ani źródła danych.",
    "Zainstaluj sterownik FreeTDS (pakiet tdsodbc) i zarejestruj go pod nazwą „SQL Server” "
    "(zob. README), albo wybierz istniejące źródło danych."};
const TReason kNoDatabase = {
    "Serwer przyjął logowanie, ale nie może otworzyć bazy domyślnej tego loginu.",
    "Zaloguj się jako inny użytkownik albo zmień bazę domyślną loginu na „master”."};

bool Mentions(const std::vector<TDriverRecord>& Records, const char* Words) {
  return std::any_of(Records.begin(), Records.end(),
                     [&](const TDriverRecord& r) { return AsciiLower(r.Message).find(Words) != std::string::npos; });
}

bool Has(const std::vector<TDriverRecord>& Records, int Native) {
  return std::any_of(Records.begin(), Records.end(), [&](const TDriverRecord& r) { return r.NativeError == Native; });
}

bool HasState(const std::vector<TDriverRecord>& Records, const char* State) {
  return std::any_of(Records.begin(), Records.end(), [&](const TDriverRecord& r) { return r.SqlState == State; });
}

const TReason* Classify(const std::vector<TDriverRecord>& Records) {
  // The server's own login error is the surest sign; the driver's network errors come with
  // FreeTDS's message numbers and texts, which say more than the shared SQLSTATE 08001.
  if (Has(Records, 18456) || HasState(Records, "28000")) return &kLoginRefused;
  if (Has(Records, 4060) || Has(Records, 4064)) return &kNoDatabase;
  if (Mentions(Records, "unknown host") || Has(Records, 20013)) return &kUnknownHost;
  if (HasState(Records, "HYT00") || Mentions(Records, "timed out") || Mentions(Records, "timeout"))
    return &kTimeout;
  if (HasState(Records, "IM002") || HasState(Records, "IM003")) return &kNoDriver;
  if (HasState(Records, "08001") || HasState(Records, "08S01") || Has(Records, 20009) ||
      Mentions(Records, "unable to connect") || Mentions(Records, "connection refused"))
    return &kUnreachable;
  return nullptr;
}

}  // namespace

std::string ConnectFailureReason(const std::vector<TDriverRecord>& Records) {
  if (Records.empty()) return {};
  // Every record: FreeTDS gives the general one first and the telling one after it.
  std::string driver;
  for (const TDriverRecord& r : Records)
    driver += (driver.empty() ? "" : "\r\n") + std::string("Sterownik: [") + r.SqlState + "/" +
              std::to_string(r.NativeError) + "] " + r.Message;
  const TReason* reason = Classify(Records);
  if (!reason) return driver;
  return std::string(reason->Text) + "\r\n\r\n" + reason->Advice + "\r\n\r\n" + driver;
}

bool IsConnectionLoss(const std::vector<TDriverRecord>& Records) {
  for (const TDriverRecord& r : Records) {
    const std::string text = AsciiLower(r.Message);
    // Not all of class 08: FreeTDS gives 08004 to a refused "use" of a missing database.
    if (r.SqlState == "08S01" || r.SqlState == "08003" || text.find("unexpected eof") != std::string::npos ||
        text.find("write to the server failed") != std::string::npos ||
        text.find("read from the server failed") != std::string::npos)
      return true;
  }
  return false;
}

}  // namespace vandrel::app
