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

// N and the Polish form of a counted noun: One ("1 błąd"), Few ("2 błędy", "23 błędy") or
// Many ("5 błędów", "12 błędów", "0 błędów").
std::string PolishCount(long long N, const std::string& One, const std::string& Few, const std::string& Many);

// A server's message without the driver's bracketed prefixes ("[42000] [FreeTDS][SQL Server]").
std::string WithoutDriverPrefixes(const std::string& Message);

// The short Polish account above a SQL error report's text: what failed, the first error the
// server or driver gave as the reason, and how many messages the text below holds.
std::string ReportSummary(const std::string& Report);

}  // namespace vandrel::app
