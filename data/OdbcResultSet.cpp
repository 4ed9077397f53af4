#include "data/OdbcResultSet.h"

#include <sqlext.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <new>
#include <string_view>
#include <type_traits>

#include "data/OdbcCall.h"
#include "data/OdbcResults.h"
#include "data/OdbcLink.h"
#include "data/Params.h"
#include "data/Query.h"
#include "foundation/MacList.h"
#include "foundation/Utf8.h"

namespace vandrel {

static_assert(std::is_standard_layout_v<TMOdbcRowsetCache>, "row handles locate their cache by address");
static_assert(std::is_trivially_destructible_v<TMOdbcRowsetCache>, "the arena frees the copies unread");

namespace {

// A column's part begins with its null flags, one bit per row in three bytes; a fixed-size
// column then holds the elements of its rows that are not null, a character column the end
// offset of each row's text and the texts. Nothing is aligned: values are read by copying.
constexpr size_t kNullBytes = 3;
static_assert(kOdbcRowsetSize <= 8 * kNullBytes, "the null flags of a rowset fit their bytes");
static_assert(kNullBytes == 3, "Element reads the null flags as three bytes");

bool IsText(const TMOdbcFieldData& F) { return F.GetElementSize() > 0; }

// A timestamp is kept in 9 bytes: the year, then month, day, hour, minute, second and
// fraction in 4, 5, 5, 6, 6 and 30 bits. A rowset whose column holds one that does not fit
// (which no driver sends) keeps that column's timestamps whole, in 11 bytes, and says so in
// its flags.
constexpr size_t kTightTimestamp = 9;
constexpr size_t kWideTimestamp = 11;
// The flag beside the null flags (their bytes have room above the rowset's rows).
constexpr std::uint32_t kWideTimestamps = 1u << 23;
static_assert(kOdbcRowsetSize < 23, "the wide timestamp flag lies above the null flags");

bool IsTimestamp(const TMOdbcFieldData& F) { return F.GetCType() == SQL_C_TIMESTAMP; }

SQL_TIMESTAMP_STRUCT TimestampAt(const unsigned char* E) {
  SQL_TIMESTAMP_STRUCT ts;
  std::memcpy(&ts, E, sizeof ts);
  return ts;
}

bool FitsTight(const SQL_TIMESTAMP_STRUCT& T) {
  return T.month < 16 && T.day < 32 && T.hour < 32 && T.minute < 64 && T.second < 64 && T.fraction < (1u << 30);
}

// Whether a timestamp column's values of the rowset that are not null fit 9 bytes each.
bool AllTight(const TMOdbcFieldData& F, std::uint32_t Nulls, int Rows) {
  SQLLEN ind;
  for (int r = 0; r < Rows; ++r)
    if (!(Nulls & (1u << r)) && !FitsTight(TimestampAt(F.LiveElement(r, ind)))) return false;
  return true;
}

void PackTimestamp(const unsigned char* E, unsigned char* Out, bool Wide) {
  const SQL_TIMESTAMP_STRUCT ts = TimestampAt(E);
  std::memcpy(Out, &ts.year, 2);
  if (Wide) {
    const unsigned char parts[5] = {static_cast<unsigned char>(ts.month), static_cast<unsigned char>(ts.day),
                                    static_cast<unsigned char>(ts.hour), static_cast<unsigned char>(ts.minute),
                                    static_cast<unsigned char>(ts.second)};
    std::memcpy(Out + 2, parts, 5);
    std::memcpy(Out + 7, &ts.fraction, 4);
    return;
  }
  const std::uint64_t bits = std::uint64_t{ts.month} | std::uint64_t{ts.day} << 4 | std::uint64_t{ts.hour} << 9 |
                             std::uint64_t{ts.minute} << 14 | std::uint64_t{ts.second} << 20 |
                             std::uint64_t{ts.fraction} << 26;
  for (int i = 0; i < 7; ++i) Out[2 + i] = static_cast<unsigned char>(bits >> (8 * i));
}

void UnpackTimestamp(const unsigned char* In, unsigned char* E, bool Wide) {
  SQL_TIMESTAMP_STRUCT ts{};
  std::memcpy(&ts.year, In, 2);
  if (Wide) {
    ts.month = In[2];
    ts.day = In[3];
    ts.hour = In[4];
    ts.minute = In[5];
    ts.second = In[6];
    std::memcpy(&ts.fraction, In + 7, 4);
  } else {
    std::uint64_t bits = 0;
    for (int i = 0; i < 7; ++i) bits |= std::uint64_t{In[2 + i]} << (8 * i);
    ts.month = static_cast<SQLUSMALLINT>(bits & 0xF);
    ts.day = static_cast<SQLUSMALLINT>(bits >> 4 & 0x1F);
    ts.hour = static_cast<SQLUSMALLINT>(bits >> 9 & 0x1F);
    ts.minute = static_cast<SQLUSMALLINT>(bits >> 14 & 0x3F);
    ts.second = static_cast<SQLUSMALLINT>(bits >> 20 & 0x3F);
    ts.fraction = static_cast<SQLUINTEGER>(bits >> 26);
  }
  std::memcpy(E, &ts, sizeof ts);
}

// The bytes a fixed-size value takes in a copy.
size_t CopiedSize(const TMOdbcFieldData& F, bool WideTimestamps) {
  if (!IsTimestamp(F)) return static_cast<size_t>(F.GetStride());
  return WideTimestamps ? kWideTimestamp : kTightTimestamp;
}

// Set bits of a rowset's flags by table: the portable build has no popcount instruction,
// and a call per value read costs more than three look-ups.
constexpr auto kBitCounts = [] {
  std::array<unsigned char, 256> counts{};
  for (int i = 0; i < 256; ++i) counts[i] = static_cast<unsigned char>((i & 1) + counts[i / 2]);
  return counts;
}();

int CountBits(std::uint32_t Flags) {
  return kBitCounts[Flags & 0xFF] + kBitCounts[(Flags >> 8) & 0xFF] + kBitCounts[(Flags >> 16) & 0xFF];
}

std::uint32_t NullFlags(const TMOdbcFieldData& F, int Rows) {
  std::uint32_t nulls = 0;
  SQLLEN ind;
  for (int r = 0; r < Rows; ++r) {
    F.LiveElement(r, ind);
    if (ind == SQL_NULL_DATA) nulls |= 1u << r;
  }
  return nulls;
}

}  // namespace

TMOdbcRowsetCache* TMOdbcRowsetCache::Create(const TFieldData& Fields, int Rows, TScratch& Scratch,
                                             TMRowsetArena& Arena) {
  // First the size: flags and the texts' lengths are read once and kept for the copy.
  const size_t columns = Fields.size();
  std::vector<std::uint16_t>& Lengths = Scratch.Lengths;
  Lengths.assign(columns * static_cast<size_t>(Rows), 0);
  Scratch.Flags.resize(columns);
  size_t size = sizeof(TMOdbcRowsetCache) + (columns + 1) * sizeof(std::uint32_t);
  for (size_t c = 0; c < columns; ++c) {
    const TMOdbcFieldData& f = *Fields[c];
    std::uint32_t nulls = NullFlags(f, Rows);
    const int present = Rows - CountBits(nulls);
    if (IsTimestamp(f) && !AllTight(f, nulls, Rows)) nulls |= kWideTimestamps;
    Scratch.Flags[c] = nulls;
    if (!IsText(f)) {
      size += kNullBytes + CopiedSize(f, nulls & kWideTimestamps) * present;
      continue;
    }
    size_t text = 0;
    SQLLEN ind;
    for (int r = 0; r < Rows; ++r) {
      if (nulls & (1u << r)) continue;
      const unsigned char* e = f.LiveElement(r, ind);
      const size_t n = f.TextBytes(e, ind);
      Lengths[c * Rows + r] = static_cast<std::uint16_t>(n);
      text += n;
    }
    size += kNullBytes + sizeof(std::uint16_t) * Rows + text;
  }
  // Element sizes are at most 1021 bytes, so a column's texts stay below 2^16 bytes.
  void* block = Arena.Allocate(size);
  auto* cache = new (block) TMOdbcRowsetCache();
  for (int r = 0; r < kOdbcRowsetSize; ++r) cache->FRows[r] = static_cast<unsigned char>(r);
  cache->FRowCount = static_cast<unsigned char>(Rows);
  auto* base = static_cast<unsigned char*>(block);
  auto* offsets = reinterpret_cast<unsigned char*>(cache + 1);
  auto setOffset = [&](size_t c, size_t at) {
    const auto value = static_cast<std::uint32_t>(at);
    std::memcpy(offsets + sizeof value * c, &value, sizeof value);
  };
  size_t at = sizeof(TMOdbcRowsetCache) + (columns + 1) * sizeof(std::uint32_t);
  for (size_t c = 0; c < columns; ++c) {
    const TMOdbcFieldData& f = *Fields[c];
    setOffset(c, at);
    unsigned char* part = base + at;
    const std::uint32_t nulls = Scratch.Flags[c];
    const bool wide = nulls & kWideTimestamps;
    std::memcpy(part, &nulls, kNullBytes);
    unsigned char* out = part + kNullBytes;
    SQLLEN ind;
    if (!IsText(f)) {
      const size_t size = CopiedSize(f, wide);
      // The usual sizes are copied as constants, a move each, not a call.
      auto copy = [&](auto Size) {
        for (int r = 0; r < Rows; ++r) {
          if (nulls & (1u << r)) continue;
          if (IsTimestamp(f))
            PackTimestamp(f.LiveElement(r, ind), out, wide);
          else
            std::memcpy(out, f.LiveElement(r, ind), Size);
          out += Size;
        }
      };
      if (size == 4)
        copy(std::integral_constant<size_t, 4>());
      else if (size == 8)
        copy(std::integral_constant<size_t, 8>());
      else
        copy(size);
      at = static_cast<size_t>(out - base);
      continue;
    }
    auto* ends = out;
    unsigned char* text = out + sizeof(std::uint16_t) * Rows;
    std::uint16_t end = 0;
    for (int r = 0; r < Rows; ++r) {
      const std::uint16_t n = Lengths[c * Rows + r];
      if (n) std::memcpy(text + end, f.LiveElement(r, ind), n);
      end = static_cast<std::uint16_t>(end + n);
      std::memcpy(ends + sizeof(std::uint16_t) * r, &end, sizeof end);
    }
    at = static_cast<size_t>(text + end - base);
  }
  setOffset(columns, at);
  return cache;
}

const unsigned char* TMOdbcRowsetCache::Element(const TMOdbcFieldData& Field, int Column, int Row, SQLLEN& Ind,
                                                unsigned char* Scratch) const {
  const unsigned char* part = Base() + Offset(Column);
  // Assembled from single bytes: a copy of three bytes into a word stalls the word's load.
  const std::uint32_t nulls = part[0] | std::uint32_t{part[1]} << 8 | std::uint32_t{part[2]} << 16;
  const std::uint32_t bit = 1u << Row;
  if (nulls & bit) {
    Ind = SQL_NULL_DATA;
    return part;
  }
  const unsigned char* values = part + kNullBytes;
  if (!IsText(Field)) {
    // Null rows take no room: the element's place is the count of values before it.
    Ind = 0;
    const int before = Row - CountBits(nulls & (bit - 1));
    const bool wide = nulls & kWideTimestamps;
    const unsigned char* e = values + CopiedSize(Field, wide) * before;
    if (!IsTimestamp(Field)) return e;
    UnpackTimestamp(e, Scratch, wide);
    return Scratch;
  }
  std::uint16_t start = 0, end;
  if (Row > 0) std::memcpy(&start, values + sizeof(std::uint16_t) * (Row - 1), sizeof start);
  std::memcpy(&end, values + sizeof(std::uint16_t) * Row, sizeof end);
  Ind = end - start;
  return values + sizeof(std::uint16_t) * FRowCount + start;
}

TMOdbcRowsetCache* TMOdbcRowsetCache::FromRowHandle(void* Handle, int& Row) {
  auto* entry = static_cast<unsigned char*>(Handle);
  Row = *entry;
  return reinterpret_cast<TMOdbcRowsetCache*>(entry - Row);
}

// ---- TMOdbcResultSet ----

TMOdbcResultSet::TMOdbcResultSet(TMOdbcLink* Link, TKMQuery* Query) : TMCustomResultSet(Link, Query), FOdbcLink(Link) {}

TMOdbcResultSet::~TMOdbcResultSet() {
  FBlockList.clear();
  CloseStatement();
}

bool TMOdbcResultSet::CollectInfo() const { return FQuery && FQuery->GetCollectDriverInfo(); }

void TMOdbcResultSet::CollectInfoRecords() { CollectOdbcDriverInfo(FStatement.Get(), FQuery->GetDriverInfo()); }

std::vector<AnsiString>* TMOdbcResultSet::InfoLines() const { return CollectInfo() ? &FQuery->GetDriverInfo() : nullptr; }

void TMOdbcResultSet::SetStatementAttr(SQLINTEGER Attribute, SQLPOINTER Value, int Code) {
  OdbcCall({morSucceed, Code, &FStatement}, SQLSetStmtAttr, FStatement.Get(), Attribute, Value, 0);
}

SQLRETURN TMOdbcResultSet::FetchNext(int Code) {
  // A fetch that fails may leave the buffers half written: until a rowset is taken again,
  // values come from the copies.
  FLiveIsLast = false;
  // A fetch waits for the server like a statement does when its rows have not arrived yet
  // (a slow server, a large table), so it goes through the link's waiting too; the return
  // code is judged back on the owner's thread.
  const SQLRETURN rc = FOdbcLink->WaitForServer(
      FStatement, [this] { return SQLFetchScroll(FStatement.Get(), SQL_FETCH_NEXT, 0); });
  return OdbcCall({morNoDataPasses, Code, &FStatement}, [rc] { return rc; });
}

void TMOdbcResultSet::CloseStatement(bool ReadRest) {
  if (!FStatement) return;
  FLiveIsLast = false;  // reading the results that follow may write the bound buffers
  if (ReadRest) {
    // The results after the rows (further statements of a batch, a procedure's error) are
    // read before the statement goes; the first error among them fails the query.
    TMOdbcResults rest(FStatement, 416, InfoLines(), FOdbcLink);
    rest.Drain();
    FStatement.Free();
    rest.RaiseFirstError();
    return;
  }
  if (FFieldCount > 0) OdbcCall({morAnyResult}, SQLCloseCursor, FStatement.Get());
  FStatement.Free();
}

void TMOdbcResultSet::TakeRowset() {
  FLiveIsLast = true;
  ++FBlocks;
  FRowsInLastBlock = static_cast<int>(std::min<SQLULEN>(FRowsFetched, kOdbcRowsetSize));
  if (!FForwardOnly) FBlockList.push_back(TMOdbcRowsetCache::Create(FFieldData, FRowsInLastBlock, FCopyScratch, FArena));
}

bool TMOdbcResultSet::IsUnsigned(int Column, SQLSMALLINT SqlType) {
  if (SqlType != SQL_INTEGER && SqlType != SQL_BIGINT) return false;
  // A driver that cannot tell describes a signed column.
  SQLLEN isUnsigned = SQL_FALSE;
  const SQLRETURN rc = SQLColAttribute(FStatement.Get(), static_cast<SQLUSMALLINT>(Column + 1), SQL_DESC_UNSIGNED,
                                       nullptr, 0, nullptr, &isUnsigned);
  return SQL_SUCCEEDED(rc) && isUnsigned == SQL_TRUE;
}

void TMOdbcResultSet::DoOpen(const AnsiString& SQL, TMParams* Params) {
  if (FQuery) FQuery->ClearDriverInfo();
  FForwardOnly = FQuery && FQuery->GetForwardOnly();
  FCurrentBlock = 0;
  FCurrentRow = -1;
  FAllFetched = true;
  FBlocks = 0;
  FRowsInLastBlock = 0;
  FFieldCount = 0;

  FStatement.Allocate(&FOdbcLink->GetConnection(), 414);
  SetStatementAttr(SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 431);
  SetStatementAttr(SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kOdbcRowsetSize), 432);
  SetStatementAttr(SQL_ATTR_ROWS_FETCHED_PTR, &FRowsFetched, 434);
  SetStatementAttr(SQL_ATTR_CURSOR_TYPE, reinterpret_cast<SQLPOINTER>(SQL_CURSOR_FORWARD_ONLY), 435);
  SetStatementAttr(SQL_ATTR_CONCURRENCY, reinterpret_cast<SQLPOINTER>(SQL_CONCUR_READ_ONLY), 436);
  SetStatementAttr(SQL_ATTR_ROW_STATUS_PTR, FRowStatus, 435);
  if (FOdbcLink->GetQueryTimeout() > 0)
    SetStatementAttr(SQL_ATTR_QUERY_TIMEOUT,
                     reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(FOdbcLink->GetQueryTimeout())), 441);

  AnsiString text = SQL;
  if (Params) {
    TMacListOfIntegers indexes;
    text = Params->AdjustToQueryText(SQL, &indexes, false);
    if (indexes.GetCount() > 0) EMOdbcError::Raise(415);
  }
  text = FOdbcLink->TextToSend(text);
  // The query opens on the first result that has columns; the results before it (row
  // counts, messages) are read on the way, and an error among them fails the open once
  // every result is read.
  TMOdbcResults results(FStatement, 416, InfoLines(), FOdbcLink);
  results.Take(FOdbcLink->WaitForServer(FStatement, [&] {
    return OdbcCall({morAnyResult}, SQLExecDirect, FStatement.Get(), reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
  }));
  SQLSMALLINT n = 0;
  bool more = true;  // results may follow the current one
  while (!results.Failed()) {
    OdbcCall({morSucceed, 417, &FStatement}, SQLNumResultCols, FStatement.Get(), &n);
    if (n > 0) break;
    more = results.Next();
    if (!more) break;
  }
  if (results.Failed()) {
    results.Drain();
    results.RaiseFirstError();
  }
  FFieldCount = std::max<int>(n, 0);
  FFieldData.clear();
  FFieldData.resize(FFieldCount);
  // Names longer than 256 characters are refused (419). The buffer holds the longest name
  // the driver describes, and never less than 256 characters, at four bytes each (text is
  // UTF-8): a name that does not fit is longer than 256 characters.
  constexpr int kMaxNameChars = 256;
  const int nameChars = std::clamp(FOdbcLink->GetMaxColumnNameLen(), kMaxNameChars, SHRT_MAX / 4 - 1);
  std::vector<SQLCHAR> name(static_cast<size_t>(nameChars) * 4 + 1);
  for (int c = 0; c < FFieldCount; ++c) {
    SQLSMALLINT nameLength = 0, sqlType = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    OdbcCall({morSucceed, 418, &FStatement}, SQLDescribeCol, FStatement.Get(), static_cast<SQLUSMALLINT>(c + 1),
             name.data(), static_cast<SQLSMALLINT>(name.size()), &nameLength, &sqlType, &size, &digits, &nullable);
    const std::string_view text(reinterpret_cast<char*>(name.data()), strnlen(reinterpret_cast<char*>(name.data()), name.size() - 1));
    if (nameLength < 0 || static_cast<size_t>(nameLength) >= name.size() ||
        utf8::WholePrefix(text, kMaxNameChars + 1) > utf8::WholePrefix(text, kMaxNameChars))
      EMOdbcError::Raise(419);
    FFieldData[c] = std::make_unique<TMOdbcFieldData>(AnsiString(text), digits, size, sqlType,
                                                      FQuery && FQuery->GetGuidsAsText(), IsUnsigned(c, sqlType));
    TMOdbcFieldData& f = *FFieldData[c];
    OdbcCall({morSucceed, 420, &FStatement}, SQLBindCol, FStatement.Get(), static_cast<SQLUSMALLINT>(c + 1),
             f.GetCType(), f.GetData(), SQLLEN{f.GetElementSize()}, f.GetIndicators());
  }

  SQLRETURN rc = SQL_NO_DATA;
  FRowsFetched = 0;
  // A failed first fetch leaves the state of an empty, complete result.
  FCurrentBlock = FCurrentRow = 0;
  if (FFieldCount > 0) {
    rc = FetchNext(421);
    if (rc == SQL_SUCCESS_WITH_INFO && CollectInfo()) CollectInfoRecords();
  }
  if (rc != SQL_NO_DATA && FRowsFetched > 0) {
    TakeRowset();
    FAllFetched = FRowsInLastBlock < kOdbcRowsetSize;
    if (!FAllFetched) return;
  } else {
    FAllFetched = true;
    FBlocks = FRowsInLastBlock = 0;
  }
  CloseStatement(more);
}

size_t TMOdbcResultSet::GetCachedBytes() const {
  size_t bytes = 0;
  for (const auto& cache : FBlockList) bytes += cache->GetBlockSize(FFieldCount);
  return bytes;
}

int TMOdbcResultSet::GetPosition() {
  if (GetIsEmpty()) return -1;
  return FCurrentBlock * kOdbcRowsetSize + FCurrentRow;
}

void TMOdbcResultSet::SetPosition(int Row) {
  if (GetIsEmpty()) return;
  Row = std::max(Row, 0);
  const int last = (FBlocks - 1) * kOdbcRowsetSize;
  if (Row < last) {
    FCurrentBlock = Row / kOdbcRowsetSize;
    FCurrentRow = Row % kOdbcRowsetSize;
    return;
  }
  if (!FAllFetched && Row >= FBlocks * kOdbcRowsetSize) {
    while (Row >= FBlocks * kOdbcRowsetSize) {
      const SQLRETURN rc = FetchNext(424);
      if (rc == SQL_NO_DATA || FRowsFetched == 0) {
        FAllFetched = true;
        break;
      }
      if (rc == SQL_SUCCESS_WITH_INFO && CollectInfo()) CollectInfoRecords();
      TakeRowset();
      if (FRowsInLastBlock < kOdbcRowsetSize) {
        FAllFetched = true;
        break;
      }
    }
    if (FAllFetched) CloseStatement(true);
  }
  FCurrentBlock = FBlocks - 1;
  FCurrentRow = std::clamp(Row - FCurrentBlock * kOdbcRowsetSize, 0, FRowsInLastBlock - 1);
}

// SetPosition's move within the current rowset, which needs no fetch and no clamp.
bool TMOdbcResultSet::TryStep(int Row) {
  const int InBlock = Row - FCurrentBlock * kOdbcRowsetSize;
  const int Rows = FCurrentBlock == FBlocks - 1 ? FRowsInLastBlock : kOdbcRowsetSize;
  if (FBlocks == 0 || InBlock < 0 || InBlock >= Rows) return false;
  FCurrentRow = InBlock;
  return true;
}

int TMOdbcResultSet::GetCount() {
  int p = GetPosition();
  while (!FAllFetched) SetPositionCommonCode(GetPosition() + kOdbcRowsetSize);
  SetPositionCommonCode(p);
  return FBlocks == 0 ? 0 : FBlocks * kOdbcRowsetSize + FRowsInLastBlock - kOdbcRowsetSize;
}

inline const TMOdbcFieldData* TMOdbcResultSet::BuiltField(int Index) const {
  // After a failed open the columns from the failing one on were never built.
  return Index >= 0 && Index < FFieldCount ? FFieldData[Index].get() : nullptr;
}

AnsiString TMOdbcResultSet::GetFieldName(int Index) {
  const TMOdbcFieldData* f = BuiltField(Index);
  return f ? f->GetName() : AnsiString();
}

TMFieldType TMOdbcResultSet::GetFieldType(int Index) {
  const TMOdbcFieldData* f = BuiltField(Index);
  return f ? f->GetFieldType() : mftString;
}

int TMOdbcResultSet::GetFieldScale(int Index) {
  const TMOdbcFieldData* f = BuiltField(Index);
  return f ? f->GetScale() : -1;
}

// Every value read passes here, so it is kept small enough to be inlined into the getters.
[[gnu::always_inline]] inline bool TMOdbcResultSet::Locate(int Index, const TMOdbcFieldData*& Field,
                                                           const unsigned char*& E, SQLLEN& Ind) {
  Field = BuiltField(Index);
  if (!Field || FBlocks == 0) [[unlikely]]
    return false;
  // The bind buffers hold the rowset fetched last: a forward-only query reads nothing else, and
  // a query whose position is on that rowset reads it there while the buffers hold it whole;
  // otherwise the rowset's copy serves.
  const bool onLast = FCurrentBlock == FBlocks - 1;
  if (FForwardOnly || (FLiveIsLast && !FExternalIndex && onLast)) {
    if (!onLast) [[unlikely]]
      EMOdbcError::Raise(426);
    E = Field->LiveElement(FCurrentRow, Ind);
    return true;
  }
  LocateCopy(Index, *Field, E, Ind);
  return true;
}

// Out of line, so that the way through the bind buffers saves and restores no registers.
void TMOdbcResultSet::LocateCopy(int Index, const TMOdbcFieldData& Field, const unsigned char*& E, SQLLEN& Ind) {
  int row;
  const TMOdbcRowsetCache* cache;
  if (FExternalIndex) {
    cache = TMOdbcRowsetCache::FromRowHandle(FExternalIndex, row);
  } else {
    cache = FBlockList[FCurrentBlock];
    row = FCurrentRow;
  }
  TLastElement& last = FLastElement;
  if (cache != last.Cache || row != last.Row || Index != last.Column) {
    last.E = cache->Element(Field, Index, row, last.Ind, FScratch);
    last.Cache = cache, last.Row = row, last.Column = Index;
  }
  E = last.E;
  Ind = last.Ind;
}

template <class T, class ReadFn>
T TMOdbcResultSet::ReadValue(int Index, T Default, ReadFn&& Read) {
  const TMOdbcFieldData* f;
  const unsigned char* e;
  SQLLEN ind;
  return Locate(Index, f, e, ind) ? Read(*f, e, ind) : Default;
}

// No current row reads as null.
bool TMOdbcResultSet::IsFieldNull(int Index) { return ReadNullState(Index) != rsValue; }

void TMOdbcResultSet::Receive(AnsiString& Text) const {
  if (FOdbcLink->GetOEMConversion()) Text = FOdbcLink->TextReceived(std::move(Text));
}

AnsiString TMOdbcResultSet::GetStringFieldValue(int Index) {
  AnsiString s =
      ReadValue(Index, AnsiString(), [](const TMOdbcFieldData& f, auto e, SQLLEN ind) { return f.GetString(e, ind); });
  Receive(s);
  return s;
}

int TMOdbcResultSet::GetIntegerFieldValue(int Index) {
  return ReadValue(Index, 0, [](const TMOdbcFieldData& f, auto e, SQLLEN ind) { return f.GetInteger(e, ind); });
}

double TMOdbcResultSet::GetFloatFieldValue(int Index) {
  return ReadValue(Index, 0.0, [](const TMOdbcFieldData& f, auto e, SQLLEN ind) { return f.GetFloat(e, ind); });
}

long double TMOdbcResultSet::GetExtendedFieldValue(int Index) {
  return ReadValue(Index, 0.0L, [](const TMOdbcFieldData& f, auto e, SQLLEN ind) { return f.GetExtended(e, ind); });
}

TDateTime TMOdbcResultSet::GetDateTimeFieldValue(int Index) {
  return ReadValue(Index, TDateTime(0.0),
                   [](const TMOdbcFieldData& f, auto e, SQLLEN ind) { return f.GetDateTime(e, ind); });
}

template <class T, class ReadFn>
TMReadState TMOdbcResultSet::ReadNullOr(int Index, T& Value, ReadFn&& Read) {
  const TMOdbcFieldData* f;
  const unsigned char* e;
  SQLLEN ind;
  if (!Locate(Index, f, e, ind)) return rsNoRow;
  if (f->IsNull(e, ind)) return rsNull;
  Value = Read(*f, e, ind);
  return rsValue;
}

TMReadState TMOdbcResultSet::ReadNullOrString(int Index, AnsiString& Value) {
  const TMReadState State =
      ReadNullOr(Index, Value, [](const TMOdbcFieldData& f, auto e, SQLLEN ind) { return f.GetString(e, ind); });
  if (State == rsValue) Receive(Value);
  return State;
}

TMReadState TMOdbcResultSet::ReadNullOrInteger(int Index, int& Value) {
  return ReadNullOr(Index, Value, [](const TMOdbcFieldData& f, auto e, SQLLEN ind) { return f.GetInteger(e, ind); });
}

TMReadState TMOdbcResultSet::ReadNullOrFloat(int Index, double& Value) {
  return ReadNullOr(Index, Value, [](const TMOdbcFieldData& f, auto e, SQLLEN ind) { return f.GetFloat(e, ind); });
}

TMReadState TMOdbcResultSet::ReadNullOrExtended(int Index, long double& Value) {
  return ReadNullOr(Index, Value, [](const TMOdbcFieldData& f, auto e, SQLLEN ind) { return f.GetExtended(e, ind); });
}

TMReadState TMOdbcResultSet::ReadNullOrDateTime(int Index, TDateTime& Value) {
  return ReadNullOr(Index, Value, [](const TMOdbcFieldData& f, auto e, SQLLEN ind) { return f.GetDateTime(e, ind); });
}

TMReadState TMOdbcResultSet::ReadNullState(int Index) {
  const TMOdbcFieldData* f;
  const unsigned char* e;
  SQLLEN ind;
  if (!Locate(Index, f, e, ind)) return rsNoRow;
  return f->IsNull(e, ind) ? rsNull : rsValue;
}

bool TMOdbcResultSet::ExternalIndexSupport() const { return !FForwardOnly; }

void* TMOdbcResultSet::GetExternalIndexData() {
  if (FForwardOnly || FCurrentBlock < 0 || FCurrentBlock >= static_cast<int>(FBlockList.size()) || FCurrentRow < 0)
    return nullptr;
  return FBlockList[FCurrentBlock]->RowHandle(FCurrentRow);
}

}  // namespace vandrel
