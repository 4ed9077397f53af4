#include "data/RecordLayout.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

namespace vandrel {

namespace {

// A text slot: up to 15 bytes in place with their count in the last byte, or, marked by
// kLong there, the address of a holder of the bytes.
constexpr std::size_t kTextSlot = 16;
constexpr std::size_t kShortText = kTextSlot - 1;
constexpr unsigned char kLong = 0xFF;

struct LongText {
  std::uint32_t Length;
  std::uint32_t Capacity;
  char* Bytes() { return reinterpret_cast<char*>(this + 1); }
};

bool IsText(TMFieldType Type) { return Type > mftDateTime || Type == mftString; }

std::size_t SlotSize(TMFieldType Type) {
  switch (Type) {
    case mftInteger: return sizeof(int);
    case mftFloat: return sizeof(double);
    case mftDateTime: return sizeof(TDateTime);
    case mftExtended: return sizeof(Extended);
    default: return kTextSlot;
  }
}

LongText* LongOf(const unsigned char* Slot) {
  if (Slot[kShortText] != kLong) return nullptr;
  LongText* Text;
  std::memcpy(&Text, Slot, sizeof Text);
  return Text;
}

}  // namespace

void TMRecordLayout::Build(const TMFieldType* Types, int Count) {
  FTypes.assign(Types, Types + Count);
  FOffsets.assign(static_cast<std::size_t>(Count), 0);
  // Widest slots first, so that every slot lies aligned without padding between them.
  std::size_t At = 0;
  for (std::size_t Width : {std::size_t{16}, std::size_t{8}}) {
    for (int I = 0; I < Count; ++I)
      if (SlotSize(FTypes[I]) == Width) {
        FOffsets[I] = static_cast<std::uint32_t>(At);
        At += Width;
      }
    if (Width == 8) {
      FData = At;
      At += sizeof(void*);
    }
  }
  for (int I = 0; I < Count; ++I)
    if (SlotSize(FTypes[I]) == sizeof(int)) {
      FOffsets[I] = static_cast<std::uint32_t>(At);
      At += sizeof(int);
    }
  FFlags = At;
  At += (static_cast<std::size_t>(Count) + 7) / 8;
  FSize = (At + 15) & ~std::size_t{15};
}

void TMRecordLayout::SetNull(unsigned char* R, int I) const noexcept {
  unsigned char* Slot = R + FOffsets[I];
  if (IsText(FTypes[I])) std::free(LongOf(Slot));
  std::memset(Slot, 0, SlotSize(FTypes[I]));
  R[FFlags + I / 8] &= static_cast<unsigned char>(~(1u << (I % 8)));
}

void TMRecordLayout::FreeValues(unsigned char* R) const noexcept {
  for (std::size_t I = 0; I < FTypes.size(); ++I)
    if (IsText(FTypes[I])) std::free(LongOf(R + FOffsets[I]));
}

std::string_view TMRecordLayout::GetStringView(const unsigned char* R, int I) const {
  const unsigned char* Slot = R + FOffsets[I];
  if (LongText* Text = LongOf(Slot)) return std::string_view(Text->Bytes(), Text->Length);
  return std::string_view(reinterpret_cast<const char*>(Slot), Slot[kShortText]);
}

void TMRecordLayout::SetString(unsigned char* R, int I, const AnsiString& Value) const {
  unsigned char* Slot = R + FOffsets[I];
  LongText* Text = LongOf(Slot);
  if (Value.size() <= kShortText) {
    std::free(Text);
    std::memcpy(Slot, Value.data(), Value.size());
    Slot[kShortText] = static_cast<unsigned char>(Value.size());
    MarkSet(R, I);
    return;
  }
  if (Value.size() > UINT32_MAX) throw std::length_error("string value too long");
  const auto Length = static_cast<std::uint32_t>(Value.size());
  if (Text == nullptr || Text->Capacity < Length) {
    void* P = std::realloc(Text, sizeof(LongText) + Length);
    if (P == nullptr) throw std::bad_alloc();
    Text = static_cast<LongText*>(P);
    Text->Capacity = Length;
  }
  Text->Length = Length;
  std::memcpy(Text->Bytes(), Value.data(), Length);
  std::memcpy(Slot, &Text, sizeof Text);
  Slot[kShortText] = kLong;
  MarkSet(R, I);
}

void TMRecordLayout::ToCell(const unsigned char* R, int I, TMValueCell& Cell) const {
  if (IsNull(R, I)) return;
  switch (FTypes[I]) {
    case mftInteger: cell::SetInteger(Cell, GetInteger(R, I)); break;
    case mftFloat: cell::SetFloat(Cell, GetFloat(R, I)); break;
    case mftExtended: cell::SetExtended(Cell, GetExtended(R, I)); break;
    case mftDateTime: cell::SetDateTime(Cell, GetDateTime(R, I)); break;
    default: cell::SetString(Cell, GetString(R, I)); break;
  }
}

void TMRecordLayout::FromCell(unsigned char* R, int I, TMValueCell Cell) const {
  if (cell::IsNull(Cell)) {
    SetNull(R, I);
    return;
  }
  switch (FTypes[I]) {
    case mftInteger: SetInteger(R, I, cell::GetInteger(Cell)); break;
    case mftFloat: SetFloat(R, I, cell::GetFloat(Cell)); break;
    case mftExtended: SetExtended(R, I, cell::GetExtended(Cell)); break;
    case mftDateTime: SetDateTime(R, I, cell::GetDateTime(Cell)); break;
    default: SetString(R, I, cell::GetString(Cell)); break;
  }
}

void* TMRecordLayout::GetData(const unsigned char* R) const {
  void* D;
  std::memcpy(&D, R + FData, sizeof D);
  return D;
}

void TMRecordLayout::SetData(unsigned char* R, void* D) const { std::memcpy(R + FData, &D, sizeof D); }

}  // namespace vandrel
