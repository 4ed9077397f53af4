#include "app/admin/TableOwner.h"

#include <vector>

#include "app/DialogSeam.h"
#include "app/MainWindow.h"
#include "app/SqlQuoting.h"
#include "app/admin/RunStatement.h"

namespace vandrel::app::admin {
namespace {

// sp_changeobjectowner takes owner.table as a literal; a part that is not a regular name
// goes in brackets, so a blank, a dot or a reserved word cannot change its meaning.
std::string ChangeStatement(const std::string& Owner, const std::string& Table, const std::string& NewOwner) {
  return "sp_changeobjectowner '" + EscapeLiteral(QuoteIdentifier(Owner) + "." + QuoteIdentifier(Table)) +
         "', '" + EscapeLiteral(NewOwner) + "'";
}

}  // namespace

void ChangeTableOwner(TForm1& Form, const std::string& Database, const std::string& NewOwner) {
  TKMQuery& query = *Form.KMQuery1;
  try {
    RunStatement(Form, "use " + QuoteIdentifier(Database));
    query.GetSQL().Add("sp_tables @table_type = \"'TABLE'\"");
    query.Open();
    std::vector<std::string> changes;
    if (!query.GetEof() && query.GetFieldCount() >= 3) {
      TMFields* fields = query.GetFields();
      for (; !query.GetEof(); query.Next()) {
        const std::string owner = fields->GetFields(1)->GetEditText();
        if (owner != NewOwner) changes.push_back(ChangeStatement(owner, fields->GetFields(2)->GetEditText(), NewOwner));
      }
    }
    query.Close();
    for (const std::string& change : changes) RunStatement(Form, change);
  } catch (...) {
    // Shown by the error report; what was changed stays changed.
  }
}

void ChangeTableOwnerCommand(TForm1& Form) {
  const std::string database = Form.SelectedDatabase();
  if (database.empty()) return;
  ChangeTableOwner(Form, database, "dbo");
  ShowMessage(&Form, QStringLiteral("Operacja zakończona"), QStringLiteral("Zmiana właściciela Tabel"),
              MsgIcon::Information);
  Form.RefreshTree();
}

}  // namespace vandrel::app::admin

namespace vandrel::app {

void TForm1::Zmiewacicielatabel1Click() { admin::ChangeTableOwnerCommand(*this); }

}  // namespace vandrel::app
