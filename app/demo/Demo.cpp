#include "app/demo/Demo.h"

#include <stdexcept>

namespace vandrel::app::demo {

std::unique_ptr<TDemo> TDemo::Start(TDemoSite Site, const std::string& ProgramDir, int PreferredPort) {
  const TDemoInstall Install = FindDemoInstall(ProgramDir);
  const std::string Driver = FindFreeTdsDriver();
  if (Driver.empty())
    throw std::runtime_error("Brak sterownika ODBC FreeTDS (libtdsodbc.so z pakietu tdsodbc): zainstaluj pakiet tdsodbc.");
  std::unique_ptr<TDemo> Demo(new TDemo(std::move(Site)));
  Demo->FSite.Reset(Install.Source, Driver);
  // Exported first: the server and everything the tool starts see the demo's configuration.
  Demo->FSite.Export();
  Demo->FServer = std::make_unique<TDemoServer>(Install.Simulator, Install.Source, Demo->FSite, PreferredPort);
  Demo->FSite.ServerStarted(Demo->FServer->Port());
  return Demo;
}

std::string TDemo::Greeting() const {
  return "msde-sim słucha na 127.0.0.1:" + std::to_string(Port()) +
         ". Serwer demonstracyjny: użytkownik sa bez hasła, wystarczy OK.\n"
         "Pliki demonstracji (konfiguracja ODBC i FreeTDS, rejestr, pliki serwera): " + FSite.Directory() +
         "\nPolecenia wysyłane do serwera: " + FSite.TraceFile() + "\n";
}

}  // namespace vandrel::app::demo
