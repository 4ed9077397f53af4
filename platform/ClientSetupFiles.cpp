#include "platform/ClientSetupFiles.h"

#include "platform/FileTransaction.h"
#include "platform/FreeTdsConf.h"
#include "platform/OdbcRegistry.h"
#include "platform/RegStore.h"

namespace vandrel::platform {

std::string ClientSetupJournal() {
  const std::string Store = RegistryStoreFile(HKEY_CURRENT_USER);
  return Store.substr(0, Store.rfind('/') + 1) + "client-setup.journal";
}

std::vector<std::string> ClientSetupFiles() {
  std::vector<std::string> Files;
  for (HKEY Root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    Files.push_back(RegistryStoreFile(Root));
    Files.push_back(TOdbcRegistry(Root).DataSourceFile());
    Files.push_back(FreeTdsConfFile(Root));
  }
  return Files;
}

void RecoverClientSetup() { RecoverFiles(ClientSetupJournal(), ClientSetupFiles()); }

}  // namespace vandrel::platform
