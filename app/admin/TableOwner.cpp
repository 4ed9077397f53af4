#include "app/admin/TableOwner.h"

#include <vector>

#include "app/DialogSeam.h"
#include "app/SqlQuoting.h"

namespace vandrel::app::admin {
namespace {

// sp_changeobjectowner takes owner.table as a literal; a part that is not a regular name
// goes in brackets, so a blank, a dot or a reserved word cannot change its meaning.
std::string ChangeStatement(const std::string& Owner, const std::string& Table, const std::string& NewOwner) {
  return "sp_changeobjectowner " + UnicodeLiteral(QuoteIdentifier(Owner) + "." + QuoteIdentifier(Table)) + ", " +
         UnicodeLiteral(NewOwner);
}

}  // namespace

bool ChangeTableOwner(TCommandContext& Context, const std::string& Database, const std::string& NewOwner, int* Changed,
                      int* Wanted) {
  int changed = 0, wanted = -1;  // -1: the list itself could not be read
  TextList list;
  if (Context.RunStep("use " + QuoteIdentifier(Database)) == TStepOutcome::soDone &&
      Context.OpenStep("sp_tables @table_type = \"'TABLE'\"", list) == TStepOutcome::soDone) {
    std::vector<std::string> changes;
    const size_t columns = std::stoul(list[0]);
    for (size_t row = 1; columns >= 3 && row + columns <= list.size(); row += columns)
      if (list[row + 1] != NewOwner) changes.push_back(ChangeStatement(list[row + 1], list[row + 2], NewOwner));
    wanted = static_cast<int>(changes.size());
    // The first failure ends the work (the error report has shown it); what was changed stays.
    for (const std::string& change : changes) {
      if (Context.RunStep(change) != TStepOutcome::soDone) break;
      ++changed;
    }
  }
  if (Changed) *Changed = changed;
  if (Wanted) *Wanted = wanted;
  return wanted >= 0 && changed == wanted;
}

void ChangeTableOwnerCommand(TCommandContext& Form) {
  const std::string database = Form.SelectedDatabase();
  if (database.empty()) return;
  const QString caption = QStringLiteral("Zmiana właściciela Tabel"), name = QString::fromStdString(database);
  if (!Confirm(Form.DialogParent(), QStringLiteral("Czy przekazać wszystkie tabele bazy \"%1\" właścicielowi \"dbo\"?").arg(name), caption))
    return;
  int changed = 0, wanted = 0;
  if (ChangeTableOwner(Form, database, "dbo", &changed, &wanted))
    ShowMessage(Form.DialogParent(), QStringLiteral("Operacja zakończona"), caption, MsgIcon::Information);
  else if (wanted < 0)
    ShowMessage(Form.DialogParent(), QStringLiteral("Nie udało się odczytać listy tabel bazy \"%1\"; nic nie zostało zmienione.").arg(name),
                caption, MsgIcon::Warning);
  else
    ShowMessage(Form.DialogParent(), QStringLiteral("Operacja przerwana: właściciel zmieniony dla %1 z %2 tabel bazy \"%3\"; "
                                      "pozostałe tabele nie zostały zmienione.")
                           .arg(changed).arg(wanted).arg(name),
                caption, MsgIcon::Warning);
  Form.RefreshTree();
}

void Zmiewacicielatabel1Click(TCommandContext& Context) { ChangeTableOwnerCommand(Context); }

}  // namespace vandrel::app::admin
