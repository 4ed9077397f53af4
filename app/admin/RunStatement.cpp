#include "app/admin/RunStatement.h"

#include "app/MainWindow.h"

namespace vandrel::app::admin {

void RunStatement(TForm1& Form, const std::string& Statement) {
  Form.ResetQuery();
  Form.KMQuery1->GetSQL().Add(Statement);
  Form.KMQuery1->ExecSQL();
  Form.ResetQuery();
}

}  // namespace vandrel::app::admin
