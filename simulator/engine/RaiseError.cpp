// PRINT and RAISERROR: messages a batch sends its client. RAISERROR's text takes printf-style
// substitutions of its arguments (%d %i %u %o %x %X %s with flags, width and precision, a *
// taking them from the arguments); severity 11 and above makes it an error that sets @@ERROR.
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "engine/Expression.h"
#include "engine/TypeNames.h"
#include "engine/Values.h"
#include "engine/Variables.h"

namespace msde {
namespace {

struct Argument {
  Value value;
  ColumnInfo type;
};

Argument Evaluate(Context& ctx, Parser& p) {
  ExprPtr e = ParseExpression(p);
  e->Bind(ctx, Scope{});
  EvalEnv env{ctx, nullptr};
  return {e->Eval(env), e->Type()};
}

ColumnInfo LongText() {
  ColumnInfo text;
  text.type = SqlType::NVarChar;
  text.length = 8000;
  return text;
}

// PRINT expression: message 0 of severity 0; NULL prints an empty line.
void Print(Context& ctx, Parser& p) {
  if (p.AtEnd()) p.FailHere();
  const Argument a = Evaluate(ctx, p);
  p.ExpectEnd();
  const Value text = ConvertValue(ctx, a.value, a.type, LongText(), -1);
  ctx.Info(0, ValueText(text), 0, 1);
}

// The longest message RAISERROR sends; widths and precisions are bounded by it too.
constexpr int kMaxMessage = 2047;

// A width or precision written in the text at `k` (advanced past it), at most kMaxMessage.
std::string Digits(const std::string& format, size_t& k) {
  size_t end = k;
  while (end < format.size() && std::isdigit(static_cast<unsigned char>(format[end]))) ++end;
  if (end == k) return "";
  const std::string digits = format.substr(k, end - k);
  k = end;
  return digits.size() > 4 || std::stoi(digits) > kMaxMessage ? std::to_string(kMaxMessage) : digits;
}

// One conversion printed, however long its result.
template <typename T>
std::string Printed(const std::string& conversion, T value) {
  const int n = std::snprintf(nullptr, 0, conversion.c_str(), value);
  if (n <= 0) return "";
  std::string text(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(text.data(), text.size(), conversion.c_str(), value);
  text.resize(static_cast<size_t>(n));
  return text;
}

[[noreturn]] void WrongArgument(Context& ctx, size_t n) {
  ctx.Fail(2786, 16, 1, "The data type of substitution parameter " + std::to_string(n) +
                            " does not match the expected type of the format specification.");
}

// The message text with each % conversion replaced by the next argument.
std::string Substitute(Context& ctx, const std::string& format, const std::vector<Argument>& args) {
  std::string out;
  size_t next = 0;
  auto take = [&]() -> const Argument* { return next < args.size() ? &args[next++] : nullptr; };
  auto take_number = [&](int fallback) {
    const Argument* a = take();
    if (a == nullptr || IsNull(a->value)) return fallback;
    auto n = ToInteger(a->value);
    if (!n || IsCharacterType(a->type.type)) WrongArgument(ctx, next);
    return static_cast<int>(*n);
  };
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      out += format[i];
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == '%') {
      out += '%';
      ++i;
      continue;
    }
    size_t k = i + 1;
    std::string conversion = "%";
    while (k < format.size() && std::string("-+0# ").find(format[k]) != std::string::npos) conversion += format[k++];
    if (k < format.size() && format[k] == '*') {
      conversion += std::to_string(std::clamp(take_number(0), -kMaxMessage, kMaxMessage));
      ++k;
    }
    conversion += Digits(format, k);
    if (k < format.size() && format[k] == '.') {
      conversion += format[k++];
      if (k < format.size() && format[k] == '*') {
        conversion += std::to_string(std::clamp(take_number(0), -kMaxMessage, kMaxMessage));
        ++k;
      }
      conversion += Digits(format, k);
    }
    while (k < format.size() && (format[k] == 'h' || format[k] == 'l' || format[k] == 'I' || format[k] == '6' || format[k] == '4'))
      ++k;  // size prefixes: every argument is taken at its own size
    const char type = k < format.size() ? format[k] : '\0';
    if (std::string("diuoxXs").find(type) == std::string::npos || type == '\0') {
      out += format.substr(i, k - i);  // not a conversion: kept as written
      i = k - 1;
      continue;
    }
    i = k;
    const Argument* a = take();
    if (a == nullptr || IsNull(a->value)) {
      out += Printed(conversion + "s", "(null)");
    } else if (type == 's') {
      if (!IsCharacterType(a->type.type) && a->type.type != SqlType::Binary && a->type.type != SqlType::VarBinary)
        WrongArgument(ctx, next);
      out += Printed(conversion + "s", ValueText(a->value).c_str());
    } else {
      auto n = std::holds_alternative<int64_t>(a->value) ? std::optional<int64_t>(std::get<int64_t>(a->value)) : std::nullopt;
      if (!n) WrongArgument(ctx, next);
      if (type == 'd' || type == 'i')
        out += Printed(conversion + "lld", static_cast<long long>(*n));
      else  // unsigned forms read the argument as the 32-bit value it is
        out += Printed(conversion + "ll" + type,
                       static_cast<unsigned long long>(a->type.type == SqlType::BigInt ? static_cast<uint64_t>(*n)
                                                                                         : static_cast<uint32_t>(*n)));
    }
  }
  return Utf8Prefix(out, kMaxMessage);
}

// RAISERROR (text | number | @variable, severity, state [, argument ...]) [WITH NOWAIT |
// LOG | SETERROR, ...], and SQL Server 2000's RAISERROR number 'text'.
void RaisError(Context& ctx, Parser& p) {
  int number = 50000;
  bool catalogued = false;  // a message added with sp_addmessage
  std::string text;
  int64_t severity = 16, state = 1;
  bool negative_state = false;
  std::vector<Argument> args;
  if (p.Peek().kind == TokenKind::Number) {
    number = static_cast<int>(p.ExpectInteger());
    text = p.ExpectString();
  } else {
    p.ExpectSymbol("(");
    if (p.Peek().kind == TokenKind::Number) {
      number = static_cast<int>(p.ExpectInteger());
      catalogued = true;
      auto found = ctx.model.user_messages.find(number);
      if (found != ctx.model.user_messages.end()) text = found->second;
    } else {
      const Argument message = Evaluate(ctx, p);
      text = ValueText(message.value);
    }
    p.ExpectSymbol(",");
    severity = p.ExpectInteger();
    p.ExpectSymbol(",");
    negative_state = p.AcceptSymbol("-");
    state = p.ExpectInteger();
    while (p.AcceptSymbol(",")) args.push_back(Evaluate(ctx, p));
    p.ExpectSymbol(")");
    if (args.size() > 20) p.FailHere();
  }
  bool nowait = false, seterror = false;
  if (p.AcceptKeyword("WITH")) {
    do {
      if (p.AcceptKeyword("NOWAIT"))
        nowait = true;
      else if (p.AcceptKeyword("SETERROR"))
        seterror = true;
      else if (!p.AcceptKeyword("LOG"))  // the error log is not written for it
        p.FailHere();
    } while (p.AcceptSymbol(","));
  }
  p.ExpectEnd();
  if (severity < 0 || severity > 25 || state > 127) p.FailHere();
  // A negative state is reported as state 1, as SQL Server does.
  const int shown_state = negative_state || state == 0 ? 1 : static_cast<int>(state);
  const int level = static_cast<int>(severity);
  if (catalogued && ctx.model.user_messages.count(number) == 0) {
    if (ctx.model.server.Is2005())
      ctx.Fail(18054, 16, 1, "Error " + std::to_string(number) + ", severity " + std::to_string(level) + ", state " +
                                 std::to_string(shown_state) +
                                 " was raised, but no message with that error number was found in sys.messages. If error is larger than 50000, make sure the user-defined message is added using sp_addmessage.");
    ctx.Fail(2758, 16, 1, "RAISERROR could not locate entry for error " + std::to_string(number) + " in Sysmessages.");
  }
  const std::string message = Substitute(ctx, text, args);
  if (level > 10) {
    ctx.Error(number, level, shown_state, message, nowait);
    ctx.error = number;
  } else if (nowait) {
    ctx.InfoNow(number, message, level, shown_state);
  } else {
    ctx.Info(number, message, level, shown_state);
  }
  if (seterror) ctx.error = number;
}

// sp_addmessage @msgnum, @severity, @msgtext [, @lang, @with_log, @replace]: a user message
// RAISERROR can raise by number (in memory only, as long as the server runs).
void AddMessage(Context& ctx, const ProcArgs& args) {
  const int64_t number = args.Int("@msgnum").value_or(0);
  if (number <= 50000) ctx.Fail(15040, 16, 1, "User-defined error messages must have an ID greater than 50000.");
  const bool replace = EqualNoCase(args.Text("@replace"), "replace");
  auto [it, added] = ctx.model.user_messages.try_emplace(static_cast<int>(number), args.Text("@msgtext"));
  if (!added && !replace) ctx.Fail(15043, 16, 1, "You must specify 'REPLACE' to overwrite an existing message.");
  it->second = args.Text("@msgtext");
}

void DropMessage(Context& ctx, const ProcArgs& args) {
  const int64_t number = args.Int("@msgnum").value_or(0);
  if (ctx.model.user_messages.erase(static_cast<int>(number)) == 0)
    ctx.Fail(15179, 16, 1, "Message number " + std::to_string(number) + " does not exist.");
}

const ProcedureRegistration add_message("sp_addmessage",
                                        {{"@msgnum", true}, {"@severity", true}, {"@msgtext", true}, {"@lang"},
                                         {"@with_log"}, {"@replace"}},
                                        AddMessage);
const ProcedureRegistration drop_message("sp_dropmessage", {{"@msgnum", true}, {"@lang"}}, DropMessage);
const StatementRegistration print_statement("PRINT", Print);
const StatementRegistration raiserror_statement("RAISERROR", RaisError);

}  // namespace
}  // namespace msde
