#include "tds/BatchResponse.h"

#include <atomic>

#include "tds/Tokens.h"

namespace msde::tds {

void BatchResponse::FlushDone(bool more) {
  if (!done_) return;
  uint16_t status = more || procedure_ ? DoneStatus::More : DoneStatus::Final;
  if (done_->count >= 0) status |= DoneStatus::Count;
  if (done_->error) status |= DoneStatus::Error;
  WriteDone(out_.Tokens(), status, done_->command, done_->count,
            procedure_ ? Token::DoneInProc : Token::Done);
  done_.reset();
}

template <typename F>
void BatchResponse::Guarded(F write) {
  Bytes& data = out_.Tokens().Data();
  size_t mark = data.size();
  try {
    write();
  } catch (...) {
    data.resize(mark);  // a half-written token would garble the rest of the response
    throw;
  }
}

void BatchResponse::Columns(const std::vector<ColumnInfo>& columns) {
  if (Suppressed()) return;
  FlushDone(true);
  encoder_ = std::make_unique<ResultEncoder>(columns, !out_.Tds70());
  Guarded([&] { encoder_->WriteMetadata(out_.Tokens()); });
  statement_had_result_ = true;
  Flush();
}

void BatchResponse::RowData(const Row& row) {
  if (Suppressed() || !encoder_) return;
  Guarded([&] { encoder_->WriteRow(out_.Tokens(), row); });
  Flush();
}

void BatchResponse::Info(const Message& message) {
  if (Suppressed()) return;
  FlushDone(true);
  WriteMessage(out_.Tokens(), Token::Info, message, server_);
  Flush();
  if (message.now) out_.FlushAll();
}

void BatchResponse::Error(const Message& message) {
  if (Suppressed()) return;
  FlushDone(true);
  WriteMessage(out_.Tokens(), Token::Error, message, server_);
  statement_had_error_ = true;
  any_error_ = true;
  Flush();
  if (message.now) out_.FlushAll();
}

void BatchResponse::Done(int64_t RowCount, bool Error) {
  if (Suppressed()) return;
  FlushDone(true);
  // A statement that sent rows is a SELECT's; a data change names its own kind.
  uint16_t command = statement_had_result_ ? kCmdSelect : 0;
  if (command == 0 && session_.command == "INSERT") command = kCmdInsert;
  if (command == 0 && session_.command == "DELETE") command = kCmdDelete;
  if (command == 0 && session_.command == "UPDATE") command = kCmdUpdate;
  done_ = PendingDone{RowCount, Error || statement_had_error_, command};
  encoder_.reset();
  statement_had_result_ = false;
  statement_had_error_ = false;
}

void BatchResponse::DatabaseChanged(const std::string& OldName, const std::string& NewName) {
  if (Suppressed()) return;
  FlushDone(true);
  WriteEnvChange(out_.Tokens(), EnvType::Database, NewName, OldName);
  Flush();
}

void BatchResponse::TransactionChanged(TransactionEvent event) {
  if (!out_.Tds72() || out_.Broken()) return;
  FlushDone(true);
  if (event == TransactionEvent::Began) {
    // Descriptors are unique across the server, as SQL Server's are.
    static std::atomic<uint64_t> last{0};
    out_.transaction = ++last;
    WriteTransactionChange(out_.Tokens(), EnvType::BeginTransaction, out_.transaction);
  } else {
    WriteTransactionChange(out_.Tokens(),
                           event == TransactionEvent::Committed ? EnvType::CommitTransaction
                                                                : EnvType::RollbackTransaction,
                           out_.transaction);
    out_.transaction = 0;
  }
  Flush();
}

void BatchResponse::Finish(bool attention) {
  if (attention) {
    done_.reset();
    if (out_.Started())
      out_.CutAtTokenEnd();
    else
      out_.DiscardPending();
    WriteDone(out_.Tokens(), DoneStatus::Final, 0, 0);
    out_.EndMessage();
    WriteDone(out_.Tokens(), DoneStatus::Attention, 0, 0);
  } else if (done_) {
    FlushDone(false);
  } else {
    // A batch that reported nothing still ends with a DONE.
    WriteDone(out_.Tokens(), DoneStatus::Final | (statement_had_error_ ? DoneStatus::Error : 0), 0,
              0);
  }
  out_.EndMessage();
}

void BatchResponse::FinishCall(const std::vector<ReturnValue>& outputs, bool more, std::optional<int> status) {
  FlushDone(true);
  Writer& w = out_.Tokens();
  WriteReturnStatus(w, status.value_or(any_error_ ? -6 : 0));  // -6: SQL Server's for a failed statement
  for (const auto& o : outputs) WriteReturnValue(w, o.ordinal, o.name, o.type, o.value, !out_.Tds70());
  const uint16_t done = (more ? DoneStatus::More : DoneStatus::Final) | (any_error_ ? DoneStatus::Error : 0);
  WriteDone(w, done, 0, 0, Token::DoneProc);
  Flush();
}

}  // namespace msde::tds
