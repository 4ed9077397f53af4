#include "tds/SqlBatch.h"

#include <iterator>

#include "tds/TextCodec.h"

namespace msde::tds {

size_t AllHeadersLength(const Bytes& payload) {
  try {
    Reader r(payload);
    uint32_t total = r.U32();
    if (total < 4 || total > payload.size()) return 0;
    size_t end = total;
    while (r.Pos() < end) {
      uint32_t length = r.U32();
      uint16_t type = r.U16();
      // Query notifications, transaction descriptor, trace activity.
      if (type < 1 || type > 3 || length < 6 || r.Pos() - 6 + length > end) return 0;
      r.Skip(length - 6);
    }
    return r.Pos() == end ? end : 0;
  } catch (const ProtocolError&) {
    return 0;
  }
}

std::string BatchText(const Bytes& payload) {
  size_t start = AllHeadersLength(payload);
  size_t bytes = payload.size() - start;
  if (bytes % 2 != 0) throw ProtocolError("batch text is not UTF-16");
  return Utf16LeToUtf8(payload.data() + start, bytes / 2);
}

std::string RpcProcedureName(const Bytes& payload) {
  static const char* const kWellKnown[] = {"",
                                           "sp_cursor",
                                           "sp_cursoropen",
                                           "sp_cursorprepare",
                                           "sp_cursorexecute",
                                           "sp_cursorprepexec",
                                           "sp_cursorunprepare",
                                           "sp_cursorfetch",
                                           "sp_cursoroption",
                                           "sp_cursorclose",
                                           "sp_executesql",
                                           "sp_prepare",
                                           "sp_execute",
                                           "sp_prepexec",
                                           "sp_prepexecrpc",
                                           "sp_unprepare"};
  try {
    Reader r(payload);
    r.Skip(AllHeadersLength(payload));
    uint16_t units = r.U16();
    if (units == 0xFFFF) {
      uint16_t id = r.U16();
      return id < std::size(kWellKnown) ? kWellKnown[id] : "";
    }
    return Utf16LeToUtf8(r.Take(2u * units), units);
  } catch (const ProtocolError&) {
    return "";
  }
}

}  // namespace msde::tds
