#include "engine/BackupFile.h"

#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "engine/SqlTime.h"

namespace msde {
namespace {

using nlohmann::json;

constexpr const char* kMagic = "MSDE-SIM BACKUP SET ";

uint32_t Crc32(const std::string& bytes) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

json OptionalText(const std::optional<std::string>& text) {
  return text ? json(*text) : json(nullptr);
}

std::optional<std::string> TextOrNothing(const json& j, const char* key) {
  auto it = j.find(key);
  if (it == j.end() || it->is_null()) return std::nullopt;
  return it->get<std::string>();
}

SqlDateTime DateFrom(const json& j, const char* key) {
  auto value = ParseDateTime(j.at(key).get<std::string>());
  if (!value) throw std::runtime_error("bad date");
  return *value;
}

std::string HeaderText(const BackupSet& set) {
  json files = json::array();
  for (const BackupFileEntry& f : set.files)
    files.push_back({{"logical", f.logical}, {"physical", f.physical}, {"log", f.log},
                     {"size", f.size_bytes}, {"max", f.max_bytes}});
  const json header = {{"position", set.position},
                       {"name", OptionalText(set.name)},
                       {"description", OptionalText(set.description)},
                       {"user", set.user},
                       {"server", set.server},
                       {"machine", set.machine},
                       {"database", set.database},
                       {"database_version", set.database_version},
                       {"software_version", set.software_version},
                       {"recovery_model", set.recovery_model},
                       {"database_created", DateTimeText(set.database_created)},
                       {"compatibility", set.compatibility},
                       {"collation", set.collation},
                       {"started", DateTimeText(set.started)},
                       {"finished", DateTimeText(set.finished)},
                       {"pages", set.pages},
                       {"first_lsn", set.first_lsn},
                       {"last_lsn", set.last_lsn},
                       {"files", files}};
  return header.dump();
}

BackupSet SetFromHeader(const std::string& text) {
  const json h = json::parse(text);
  BackupSet set;
  set.position = h.at("position").get<int>();
  set.name = TextOrNothing(h, "name");
  set.description = TextOrNothing(h, "description");
  set.user = h.at("user").get<std::string>();
  set.server = h.at("server").get<std::string>();
  set.machine = h.at("machine").get<std::string>();
  set.database = h.at("database").get<std::string>();
  set.database_version = h.at("database_version").get<int>();
  // Files written before the server named itself in them: the version its databases had.
  set.software_version = h.value("software_version", set.database_version >= 611 ? "9.00.3042" : "8.00.2039");
  set.recovery_model = h.value("recovery_model", "SIMPLE");
  set.database_created = DateFrom(h, "database_created");
  set.compatibility = h.at("compatibility").get<int>();
  set.collation = h.at("collation").get<std::string>();
  set.started = DateFrom(h, "started");
  set.finished = DateFrom(h, "finished");
  set.pages = h.at("pages").get<int64_t>();
  set.first_lsn = h.at("first_lsn").get<int64_t>();
  set.last_lsn = h.at("last_lsn").get<int64_t>();
  for (const json& f : h.at("files"))
    set.files.push_back({f.at("logical").get<std::string>(), f.at("physical").get<std::string>(),
                         f.at("log").get<bool>(), f.at("size").get<int64_t>(),
                         f.at("max").get<int64_t>()});
  return set;
}

}  // namespace

BackupFileContents ParseBackupFile(const std::string& bytes) {
  BackupFileContents contents;
  size_t at = 0;
  const size_t magic = std::char_traits<char>::length(kMagic);
  while (at < bytes.size()) {
    const size_t eol = bytes.find('\n', at);
    if (eol == std::string::npos || bytes.compare(at, magic, kMagic) != 0) {
      contents.fault = BackupFileFault::Malformed;
      break;
    }
    const std::string line = bytes.substr(at + magic, eol - at - magic);
    unsigned long long header_size = 0, image_size = 0;
    unsigned int crc = 0;
    char extra = 0;
    if (std::sscanf(line.c_str(), "%llu %llu %8x%c", &header_size, &image_size, &crc, &extra) != 3 ||
        header_size > bytes.size() || image_size > bytes.size() ||
        eol + 1 + header_size + image_size + 1 > bytes.size() ||
        bytes[eol + 1 + header_size + image_size] != '\n') {
      contents.fault = BackupFileFault::Malformed;
      break;
    }
    const std::string header = bytes.substr(eol + 1, header_size);
    const std::string image = bytes.substr(eol + 1 + header_size, image_size);
    if (Crc32(header + image) != crc) {
      contents.fault = BackupFileFault::Checksum;
      break;
    }
    try {
      BackupSet set = SetFromHeader(header);
      set.image = image;
      if (set.position != static_cast<int>(contents.sets.size()) + 1)
        throw std::runtime_error("sets out of order");
      contents.sets.push_back(std::move(set));
    } catch (const std::exception&) {
      contents.fault = BackupFileFault::Malformed;
      break;
    }
    at = eol + 1 + header_size + image_size + 1;
  }
  if (contents.fault == BackupFileFault::None && contents.sets.empty())
    contents.fault = BackupFileFault::Malformed;
  if (contents.fault != BackupFileFault::None) contents.sets.clear();
  return contents;
}

std::string BackupFileText(const std::vector<BackupSet>& sets) {
  std::string text;
  for (const BackupSet& set : sets) {
    const std::string header = HeaderText(set);
    char line[96];
    std::snprintf(line, sizeof line, "%zu %zu %08x\n", header.size(), set.image.size(),
                  Crc32(header + set.image));
    text += kMagic;
    text += line;
    text += header;
    text += set.image;
    text += '\n';
  }
  return text;
}

BackupSet SnapshotOf(const Database& db, const std::string& ServerCollation) {
  BackupSet set;
  set.database = db.name;
  set.database_version = db.version;
  set.database_created = db.crdate;
  set.compatibility = db.cmptlevel;
  if (const std::optional<Value> recovery = db.PropertyEx("Recovery"))
    if (const auto* text = std::get_if<std::string>(&*recovery)) set.recovery_model = *text;
  set.collation = db.collation.empty() ? ServerCollation : db.collation;
  for (const DbFile& f : db.files)
    set.files.push_back({f.name, f.filename, f.is_log(), f.size * 8192,
                         f.maxsize < 0 ? 35184372080640LL : f.maxsize * 8192});
  set.image = DatabaseToJson(db);
  return set;
}

}  // namespace msde
