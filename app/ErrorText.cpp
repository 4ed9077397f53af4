#include "app/ErrorText.h"

namespace vandrel::app {

std::string RewriteObjectIds(const std::string& Text,
                             const std::function<std::string(const std::string&)>& Lookup) {
  static const std::string kMarker = "Object ID";
  std::string text = Text;
  size_t from = 0;
  for (size_t at; (at = text.find(kMarker, from)) != std::string::npos;) {
    size_t pos = at + kMarker.size();
    std::string digits;
    for (; pos < text.size(); ++pos) {
      char c = text[pos];
      if (c >= '0' && c <= '9')
        digits += c;
      else if (c != ' ')
        break;
    }
    if (digits.empty()) {
      from = at + kMarker.size();
      continue;
    }
    const std::string name = Lookup ? Lookup(digits) : digits;
    const std::string inserted = "Obiekt: \"" + name + "\" ";
    text.replace(at, pos - at, inserted);
    from = at + inserted.size();
  }
  return text;
}

std::string TranslateKnownMessage(const std::string& Text) {
  if (Text.find("Cannot drop the database") != std::string::npos &&
      Text.find("because it does not exist") != std::string::npos)
    return "Nie można usunąć bazy. Podana baza nie istnieje";
  return Text;
}

}  // namespace vandrel::app
