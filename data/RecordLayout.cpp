#include "data/RecordLayout.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

namespace vandrel {

namespace {

struct LongText {
  std::uint32_t Length;
  std::uint32_t Capacity;
  char* Bytes() { return reinterpret_cast<char*>(this + 1); }
};

bool IsText(TMFieldType Type) { return Type > mftDateTime || Type == mftString; }

constexpr std::size_t kTextSlot = TMRecordLayout::kTextSlot;
constexpr std::size_t kShortText = TMRecordLayout::kShortText;
constexpr unsigned char kLong = TMRecordLayout::kLong;

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
  FSlots.assign(static_cast<std::size_t>(Count), TMRecordSlot());
  for (std::size_t I = 0; I < FSlots.size(); ++I) {
    FSlots[I].Type = Types[I];
    FSlots[I].FlagMask = static_cast<std::uint8_t>(1u << (I % 8));
  }
  // Widest slots first, so that every slot lies aligned without padding between them.
  std::size_t At = 0;
  for (std::size_t Width : {std::size_t{16}, std::size_t{8}, sizeof(int)}) {
    for (TMRecordSlot& Slot : FSlots)
      if (SlotSize(Slot.Type) == Width) {
        Slot.Offset = static_cast<std::uint32_t>(At);
        At += Width;
      }
    if (Width == 8) {
      FData = At;
      At += sizeof(void*);
    }
  }
  for (std::size_t I = 0; I < FSlots.size(); ++I) FSlots[I].FlagByte = static_cast<std::uint32_t>(At + I / 8);
  At += (FSlots.size() + 7) / 8;
  FSize = (At + 15) & ~std::size_t{15};
}

void TMRecordLayout::SetNull(unsigned char* R, int I) const noexcept {
  const TMRecordSlot& S = SlotOf(I);
  unsigned char* Bytes = R + S.Offset;
  if (IsText(S.Type)) std::free(LongOf(Bytes));
  std::memset(Bytes, 0, SlotSize(S.Type));
  R[S.FlagByte] &= static_cast<unsigned char>(~S.FlagMask);
}

void TMRecordLayout::FreeValues(unsigned char* R) const noexcept {
  for (const TMRecordSlot& S : FSlots)
    if (IsText(S.Type)) std::free(LongOf(R + S.Offset));
}

std::string_view TMRecordLayout::LongStringView(const unsigned char* Bytes) {
  LongText* Text = LongOf(Bytes);
  return std::string_view(Text->Bytes(), Text->Length);
}

void TMRecordLayout::StoreStringElsewhere(unsigned char* R, const TMRecordSlot& S, std::string_view Value) {
  unsigned char* Bytes = R + S.Offset;
  LongText* Text = LongOf(Bytes);
  if (Value.size() <= kShortText) {
    // A short text in place of a long one: the slot is marked short, takes the text the short
    // way, and the long one goes after that.
    Bytes[kShortText] = 0;
    StoreString(R, S, Value);
    std::free(Text);
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
  std::memcpy(Bytes, &Text, sizeof Text);
  Bytes[kShortText] = kLong;
  R[S.FlagByte] |= S.FlagMask;
}

void TMRecordLayout::ToCell(const unsigned char* R, int I, TMValueCell& Cell) const {
  if (IsNull(R, I)) return;
  switch (SlotOf(I).Type) {
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
  switch (SlotOf(I).Type) {
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
