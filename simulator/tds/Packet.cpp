#include "tds/Packet.h"

#include <algorithm>

namespace msde::tds {

bool MessageReader::Drain(size_t n) {
  uint8_t scratch[4096];
  while (n > 0) {
    size_t chunk = std::min(n, sizeof scratch);
    if (socket_.ReadExact(scratch, chunk, timeout_ms_) != Socket::ReadStatus::Ok) return false;
    n -= chunk;
  }
  return true;
}

std::optional<RequestMessage> MessageReader::Next() {
  RequestMessage message;
  bool first = true;
  for (;;) {
    uint8_t header[kHeaderSize];
    // Between messages a client may stay silent for as long as it likes.
    auto status = socket_.ReadExact(header, kHeaderSize, first ? -1 : timeout_ms_);
    if (status != Socket::ReadStatus::Ok) return std::nullopt;
    uint8_t type = header[0];
    uint8_t packet_status = header[1];
    size_t length = (static_cast<size_t>(header[2]) << 8) | header[3];
    if (length < kHeaderSize) return std::nullopt;
    if (first) {
      message.type = type;
    } else if (type != message.type) {
      return std::nullopt;  // a new message before the last packet of the previous one
    }
    size_t body = length - kHeaderSize;
    size_t keep = message.oversized ? 0 : body;
    if (message.payload.size() + body > max_message_) {
      message.oversized = true;
      message.payload.clear();
      message.payload.shrink_to_fit();
      keep = 0;
    }
    if (keep > 0) {
      size_t old = message.payload.size();
      message.payload.resize(old + keep);
      if (socket_.ReadExact(message.payload.data() + old, keep, timeout_ms_) !=
          Socket::ReadStatus::Ok)
        return std::nullopt;
    } else if (!Drain(body)) {
      return std::nullopt;
    }
    first = false;
    if (packet_status & kStatusEom) return message;
  }
}

void ResponseWriter::FlushFullPackets() {
  size_t body = packet_size_ - kHeaderSize;
  Bytes& data = pending_.Data();
  size_t sent = 0;
  // Keep at least one byte back so that the last packet of the message carries EOM.
  while (data.size() - sent > body) {
    SendPacket(data.data() + sent, body, false);
    sent += body;
  }
  data.erase(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(sent));
}

void ResponseWriter::FlushAll() {
  FlushFullPackets();
  Bytes& data = pending_.Data();
  if (data.empty()) return;
  SendPacket(data.data(), data.size(), false);
  data.clear();
}

bool ResponseWriter::EndMessage() {
  FlushFullPackets();
  Bytes& data = pending_.Data();
  SendPacket(data.data(), data.size(), true);
  data.clear();
  packet_number_ = 1;
  sent_ = 0;
  boundaries_.clear();
  return !broken_;
}

void ResponseWriter::CutAtTokenEnd() {
  Bytes& data = pending_.Data();
  // What is pending always ends with a whole token.
  size_t keep = boundaries_.empty() ? data.size() : boundaries_.front() - sent_;
  if (keep < data.size()) data.resize(keep);
  boundaries_.clear();
}

bool ResponseWriter::SendPacket(const uint8_t* data, size_t n, bool last) {
  if (broken_) return false;
  uint8_t header[kHeaderSize];
  size_t length = n + kHeaderSize;
  header[0] = PacketType::TabularResult;
  header[1] = last ? kStatusEom : 0;
  header[2] = static_cast<uint8_t>(length >> 8);
  header[3] = static_cast<uint8_t>(length);
  header[4] = static_cast<uint8_t>(spid_ >> 8);
  header[5] = static_cast<uint8_t>(spid_);
  header[6] = packet_number_++;
  header[7] = 0;
  Bytes packet(header, header + kHeaderSize);
  packet.insert(packet.end(), data, data + n);
  if (!socket_.SendAll(packet.data(), packet.size())) broken_ = true;
  sent_ += n;
  while (!boundaries_.empty() && boundaries_.front() < sent_) boundaries_.pop_front();
  return !broken_;
}

}  // namespace msde::tds
