#pragma once
// Rewrites of the SQL error report's text before it is shown.
#include <functional>
#include <string>

namespace vandrel::app {

// Replaces every "Object ID" followed (after blanks) by digits with "Obiekt: \"" + name + "\" ",
// where name is Lookup(number) when a lookup is given (empty when it fails), else the number.
// "Object ID" without digits after it stays as it is.
std::string RewriteObjectIds(const std::string& Text,
                             const std::function<std::string(const std::string&)>& Lookup);

// The one server message shown in Polish: dropping a database that does not exist.
std::string TranslateKnownMessage(const std::string& Text);

}  // namespace vandrel::app
