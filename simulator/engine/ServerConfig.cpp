// sp_configure (read and write) and RECONFIGURE: the server's configuration options with
// their configured values, which RECONFIGURE installs as running values.
#include <algorithm>
#include <string>
#include <vector>

#include "engine/Statements.h"

namespace msde {
namespace {

constexpr const char* kShowAdvanced = "show advanced options";

bool ContainsNoCase(const std::string& text, const std::string& part) {
  return Upper(text).find(Upper(part)) != std::string::npos;
}

// Advanced options are listed and changed only while 'show advanced options' runs as 1.
std::vector<ConfigOption*> VisibleOptions(Model& model) {
  const ConfigOption* show = nullptr;
  for (const ConfigOption& o : model.configuration)
    if (EqualNoCase(o.name, kShowAdvanced)) show = &o;
  const bool advanced = show != nullptr && show->run_value == 1;
  std::vector<ConfigOption*> visible;
  for (ConfigOption& o : model.configuration)
    if (advanced || !o.advanced) visible.push_back(&o);
  std::sort(visible.begin(), visible.end(), [](const ConfigOption* a, const ConfigOption* b) {
    return Upper(a->name) < Upper(b->name);
  });
  return visible;
}

// The option a name stands for: the one named exactly, else the one option whose name
// contains the text (sp_configure accepts any unique part of a name).
ConfigOption& FindVisibleOption(Context& ctx, const std::string& name) {
  std::vector<ConfigOption*> matches;
  for (ConfigOption* o : VisibleOptions(ctx.model)) {
    if (EqualNoCase(o->name, name)) return *o;
    if (ContainsNoCase(o->name, name)) matches.push_back(o);
  }
  if (matches.size() == 1) return *matches.front();
  if (matches.empty())
    ctx.Fail(15123, 16, 1,
             "The configuration option '" + name +
                 "' does not exist, or it may be an advanced option.");
  ctx.Fail(15124, 16, 1, "The configuration option '" + name + "' is not unique.");
}

void SendOptions(Context& ctx, const std::vector<ConfigOption*>& options) {
  ResultSet result;
  result.columns = {{"name", SqlType::NVarChar, 35, 0, 0, false},
                    {"minimum", SqlType::Int, 0, 0, 0, true},
                    {"maximum", SqlType::Int, 0, 0, 0, true},
                    {"config_value", SqlType::Int, 0, 0, 0, true},
                    {"run_value", SqlType::Int, 0, 0, 0, true}};
  for (const ConfigOption* o : options)
    result.rows.push_back({o->name, o->minimum, o->maximum, o->config_value, o->run_value});
  ctx.SendResult(result);
}

void Configure(Context& ctx, const ProcArgs& args) {
  if (!args.Has("@configname")) {
    SendOptions(ctx, VisibleOptions(ctx.model));
    return;
  }
  ConfigOption& option = FindVisibleOption(ctx, args.Text("@configname"));
  if (!args.Has("@configvalue")) {
    SendOptions(ctx, {&option});
    return;
  }
  const int64_t value = *args.Int("@configvalue");
  if (!ctx.IsSysadmin())
    ctx.Fail(15247, 16, 1, "User does not have permission to perform this action.");
  if (value < option.minimum || value > option.maximum)
    ctx.Fail(15129, 16, 1,
             "'" + std::to_string(value) + "' is not a valid value for configuration option '" +
                 option.name + "'.");
  const int64_t old = option.config_value;
  option.config_value = value;
  ctx.Info(15457,
           "Configuration option '" + option.name + "' changed from " + std::to_string(old) +
               " to " + std::to_string(value) + ". Run the RECONFIGURE statement to install.",
           0);
}

// RECONFIGURE [WITH OVERRIDE]: dynamic options take their configured values at once; the
// others keep running as they are until the server restarts.
void Reconfigure(Context& ctx, Parser& p) {
  if (p.AcceptKeyword("WITH")) p.ExpectKeyword("OVERRIDE");
  p.ExpectEnd();
  if (!ctx.IsSysadmin())
    ctx.Fail(5812, 14, 1, "You do not have permission to run the RECONFIGURE statement.");
  for (ConfigOption& o : ctx.model.configuration)
    if (o.dynamic) o.run_value = o.config_value;
}

const ProcedureRegistration configure("sp_configure", {{"@configname"}, {"@configvalue"}},
                                      Configure);
const StatementRegistration reconfigure("RECONFIGURE", Reconfigure);

}  // namespace
}  // namespace msde
