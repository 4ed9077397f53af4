// The statement step that keeps every message of the server for the command.
#include "app/StatementMessages.h"

#include "app/MainWindow.h"
#include "data/OdbcError.h"

namespace vandrel::app {

TDriverRecord RecordOfInfoLine(const std::string& Line) {
  TDriverRecord record;
  const size_t slash = Line.find('/');
  const size_t close = Line.find("] ");
  if (Line.rfind('[', 0) != 0 || slash == std::string::npos || close == std::string::npos || slash > close) {
    record.Message = Line;
    return record;
  }
  record.SqlState = Line.substr(1, slash - 1);
  try {
    record.NativeError = std::stoi(Line.substr(slash + 1, close - slash - 1));
  } catch (...) {
    // No number between the slash and the bracket: the record keeps native error 0.
  }
  record.Message = Line.substr(close + 2);
  return record;
}

TStepOutcome TForm1::RunStepKeepingMessages(const std::string& Statement, TStatementMessages& Messages) {
  Messages = {};
  // The informational lines come through the link's event (the waiting window shows them
  // too); the records of a failure come with the error, which the report keeps.
  struct Keeping {
    TForm1& Form;
    TMOdbcLink::TStatementInfoEvent Forward;
    TStatementMessages* Before;
    TMDiagRecordLimit All{kKeptRecordLimit};
    Keeping(TForm1& F, TStatementMessages& M)
        : Form(F), Forward(F.MOdbcLink1->OnStatementInfo), Before(F.FKeptMessages) {
      Form.FKeptMessages = &M;
      Form.MOdbcLink1->OnStatementInfo = [this, &M](TMOdbcLink* Link, const AnsiString& Line) {
        M.Records.push_back(RecordOfInfoLine(Line));
        if (Forward) Forward(Link, Line);
      };
    }
    ~Keeping() {
      Form.MOdbcLink1->OnStatementInfo = Forward;
      Form.FKeptMessages = Before;
    }
  } keeping(*this, Messages);
  return RunStep(Statement);
}

}  // namespace vandrel::app
