#pragma once
// The response tokens other than result sets: login acknowledgement, environment changes,
// messages and DONE, in their TDS 7.1 forms (and 7.2's where the writer says so).
#include <cstdint>
#include <string>

#include "Engine.h"
#include "tds/TdsBuffer.h"

namespace msde::tds {

namespace Token {
constexpr uint8_t ReturnStatus = 0x79;
constexpr uint8_t ColMetadata = 0x81;
constexpr uint8_t Error = 0xAA;
constexpr uint8_t Info = 0xAB;
constexpr uint8_t ReturnValue = 0xAC;
constexpr uint8_t LoginAck = 0xAD;
constexpr uint8_t Row = 0xD1;
constexpr uint8_t EnvChange = 0xE3;
constexpr uint8_t Done = 0xFD;
constexpr uint8_t DoneProc = 0xFE;
constexpr uint8_t DoneInProc = 0xFF;
}  // namespace Token

namespace DoneStatus {
constexpr uint16_t Final = 0x00;
constexpr uint16_t More = 0x01;
constexpr uint16_t Error = 0x02;
constexpr uint16_t Count = 0x10;
constexpr uint16_t Attention = 0x20;
}  // namespace DoneStatus

namespace EnvType {
constexpr uint8_t Database = 1;
constexpr uint8_t Language = 2;
constexpr uint8_t PacketSize = 4;
constexpr uint8_t UnicodeLocale = 5;       // to TDS 7.0 clients, in place of a collation
constexpr uint8_t UnicodeComparison = 6;
constexpr uint8_t SqlCollation = 7;
constexpr uint8_t BeginTransaction = 8;  // TDS 7.2: with the transaction's descriptor
constexpr uint8_t CommitTransaction = 9;
constexpr uint8_t RollbackTransaction = 10;
}  // namespace EnvType

// The TDS versions SQL Server 2000 SP1 and later acknowledge: 7.1, and 7.0 to the clients
// that ask for it (those of SQL Server 7.0, which know no collations); SQL Server 2005
// acknowledges 7.2 to the clients that ask for 7.2 or later.
constexpr uint32_t kTds72 = 0x72090002;
constexpr uint32_t kTds71 = 0x71000001;
constexpr uint32_t kTds70 = 0x07000000;
// The DONE token's CurCmd: the kind of statement it ends.
constexpr uint16_t kCmdSelect = 0xC1;
constexpr uint16_t kCmdInsert = 0xC3;
constexpr uint16_t kCmdDelete = 0xC4;
constexpr uint16_t kCmdUpdate = 0xC5;

// The server's collation Polish_CI_AS: LCID 0x0415 with case-, kana- and width-insensitive
// flags, no SQL sort order. Its code page is Windows-1250.
extern const uint8_t kCollation[5];

void WriteLoginAck(Writer& w, uint32_t TdsVersion, const ServerProduct& product);
// ENVCHANGE 8, 9 or 10: a transaction began, was committed or was rolled back.
void WriteTransactionChange(Writer& w, uint8_t type, uint64_t descriptor);
void WriteEnvChange(Writer& w, uint8_t type, const std::string& NewValue,
                    const std::string& OldValue);
void WriteCollationChange(Writer& w);
// An INFO or ERROR token for Message, with the server's name as SQL Server sends it.
void WriteMessage(Writer& w, uint8_t token, const Message& message, const std::string& server);
// DONE, or with Kind DONEPROC / DONEINPROC.
void WriteDone(Writer& w, uint16_t status, uint16_t command, int64_t RowCount,
               uint8_t kind = Token::Done);
void WriteReturnStatus(Writer& w, int32_t status);

}  // namespace msde::tds
