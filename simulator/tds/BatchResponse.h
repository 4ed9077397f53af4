#pragma once
// Turns what the engine reports for one batch into the response message. Each statement's
// DONE is held back until the next token shows whether more follows (DONE_MORE) or the
// batch ended; rows stop going out once the client has asked to cancel.
#include <memory>
#include <optional>
#include <string>

#include "Engine.h"
#include "tds/Packet.h"
#include "tds/PreparedStatements.h"
#include "tds/ResultEncoder.h"

namespace msde::tds {

class BatchResponse : public BatchSink {
 public:
  // Procedure: the statements run inside a procedure call, so their DONEs are DONEINPROC
  // and FinishCall ends the call.
  BatchResponse(ResponseWriter& out, Session& session, std::string server, bool procedure = false)
      : out_(out), session_(session), server_(std::move(server)), procedure_(procedure) {}

  void Columns(const std::vector<ColumnInfo>& columns) override;
  void RowData(const Row& row) override;
  void Info(const Message& message) override;
  void Error(const Message& message) override;
  void Done(int64_t RowCount, bool Error) override;
  void DatabaseChanged(const std::string& OldName, const std::string& NewName) override;
  // To a TDS 7.2 client: ENVCHANGE 8, 9 or 10 with the transaction's descriptor.
  void TransactionChanged(TransactionEvent event) override;

  // Ends the message: the last DONE without DONE_MORE. After an attention, as SQL Server
  // does: the response cut short after the token that was going out (a bare DONE when
  // nothing had gone out), then the acknowledgement, a DONE with DONE_ATTN, as a message of
  // its own: a client such as tedious reads the one as the end of its request and waits
  // for the other.
  void Finish(bool attention);
  // Ends a procedure call: return status, output parameters and DONEPROC (DONE_MORE when
  // another call of the same request follows). The message itself stays open.
  // Status: the procedure's return status where the engine gave one.
  void FinishCall(const std::vector<ReturnValue>& outputs, bool more, std::optional<int> status = std::nullopt);

 private:
  bool Suppressed() const { return session_.cancel_requested || out_.Broken(); }
  void FlushDone(bool more);
  void Flush() {
    out_.MarkTokenEnd();
    out_.FlushFullPackets();
  }
  // Runs Write, taking back what it wrote if it throws.
  template <typename F>
  void Guarded(F write);

  struct PendingDone {
    int64_t count;
    bool error;
    uint16_t command;  // CurCmd
  };
  ResponseWriter& out_;
  Session& session_;
  std::string server_;
  bool procedure_;
  bool any_error_ = false;
  std::unique_ptr<ResultEncoder> encoder_;
  std::optional<PendingDone> done_;
  bool statement_had_result_ = false;
  bool statement_had_error_ = false;
};

}  // namespace msde::tds
