#pragma once
// The "Szablony" menu of the query window: the statements technicians run most on these
// servers, each put into the editor to be read and run, never run at once.
#include <vector>

namespace vandrel::app {

struct TQueryTemplate {
  const char* Caption;
  const char* Text;
};

const std::vector<TQueryTemplate>& QueryTemplates();

}  // namespace vandrel::app
