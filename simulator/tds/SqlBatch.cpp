#include "tds/SqlBatch.h"

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

}  // namespace msde::tds
