#pragma once
// The record of an in-memory dataset: one block holding every field's value in place (an
// integer in 4 bytes, a float or date-time in 8, an extended in 16, a text of up to 15
// bytes in its 16-byte slot and a longer one in one allocation of its own), one null flag
// bit per field (set while the field holds a value) and the user data pointer. A
// zero-filled block is a record whose values are all null, and a value made null has its
// slot zero-filled again: a null value reads as "", 0, 0.0, 0.0 and 0.0 with or without a
// look at its flag.
#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>
#include <type_traits>
#include <vector>

#include "data/FieldTypes.h"
#include "data/ValueCell.h"
#include "foundation/Exception.h"

namespace vandrel {

// Where one field lies in a record: its bytes, its null flag and the type it is kept in.
struct TMRecordSlot {
  std::uint32_t Offset = 0;
  std::uint32_t FlagByte = 0;
  std::uint8_t FlagMask = 0;
  TMFieldType Type = mftString;

  // No slot: its type is none a value is read or written in.
  static constexpr TMRecordSlot None() { return TMRecordSlot{0, 0, 0, static_cast<TMFieldType>(0xFF)}; }
};

// The current record's values where a storing dataset keeps them in place: the slots of its
// layout and the record. Fields read and write there without the dataset's virtual storage
// protocol. Record is set only while the dataset is open and has a current record.
struct TMDirectRecord {
  const TMRecordSlot* Slots = nullptr;
  std::size_t Count = 0;
  unsigned char* Record = nullptr;
  // A change in place needs neither the read-only check nor a notification: the dataset is
  // writable and has no data interfaces attached.
  bool Quiet = false;

  // Field I's slot when it is kept in Type, else none.
  const TMRecordSlot* Find(int I, TMFieldType Type) const {
    const auto At = static_cast<std::size_t>(static_cast<unsigned>(I));
    return At < Count && Slots[At].Type == Type ? &Slots[At] : nullptr;
  }
};

class TMRecordLayout {
 public:
  // A text slot: up to 15 bytes in place with their count in the last byte, or, marked by
  // kLong there, the address of a holder of the bytes.
  static constexpr std::size_t kTextSlot = 16;
  static constexpr std::size_t kShortText = kTextSlot - 1;
  static constexpr unsigned char kLong = 0xFF;

  // Places the fields of these types (a type outside the five is kept as text).
  void Build(const TMFieldType* Types, int Count);
  // Bytes of a record: a multiple of 16.
  std::size_t GetSize() const { return FSize; }

  // The slots, one per field.
  const TMRecordSlot* GetSlots() const { return FSlots.data(); }
  std::size_t GetSlotCount() const { return FSlots.size(); }

  // A value by its slot: what a field reads and writes once it found the slot.
  static bool IsNull(const unsigned char* R, const TMRecordSlot& S) { return (R[S.FlagByte] & S.FlagMask) == 0; }
  template <class T>
  static T Load(const unsigned char* R, const TMRecordSlot& S) {
    T Value;
    std::memcpy(&Value, R + S.Offset, sizeof Value);
    return Value;
  }
  // Stores a number, or a text given as a string, and marks the value set.
  template <class T>
  static void Store(unsigned char* R, const TMRecordSlot& S, const T& Value) {
    if constexpr (std::is_same_v<T, AnsiString>) {
      StoreString(R, S, Value);
    } else {
      if constexpr (std::is_same_v<T, Extended>)
        // Made in place (its slot lies aligned to 16): a copy through memory would read 16
        // bytes where the processor's store wrote 10, and wait for that store to reach the cache.
        ::new (R + S.Offset) Extended(Value);
      else
        std::memcpy(R + S.Offset, &Value, sizeof Value);
      R[S.FlagByte] |= S.FlagMask;
    }
  }
  // True when the value is set and equal to Value (a number, or a text given as a string).
  template <class T>
  static bool Holds(const unsigned char* R, const TMRecordSlot& S, const T& Value) {
    if (IsNull(R, S)) return false;
    if constexpr (std::is_same_v<T, AnsiString>)
      return StringView(R, S) == Value;
    else
      return Load<T>(R, S) == Value;
  }
  // The text in place, valid until the value changes.
  static std::string_view StringView(const unsigned char* R, const TMRecordSlot& S) {
    const unsigned char* Bytes = R + S.Offset;
    if (Bytes[kShortText] == kLong) return LongStringView(Bytes);
    return std::string_view(reinterpret_cast<const char*>(Bytes), Bytes[kShortText]);
  }
  // The text as a string of its own. A short one is copied as the slot's whole 15 bytes and
  // then cut to its count: copies of a constant size are made in place, while a copy of the
  // text's own length would call memcpy, which took a fifth of reading a record.
  static AnsiString String(const unsigned char* R, const TMRecordSlot& S) {
    const unsigned char* Bytes = R + S.Offset;
    if (Bytes[kShortText] == kLong) [[unlikely]]
      return AnsiString(LongStringView(Bytes));
    return ShortString(Bytes);
  }
  // Stores a text and marks the value set: a short one over a short one inline, with a few
  // fixed-size moves; the rest out of line.
  static void StoreString(unsigned char* R, const TMRecordSlot& S, std::string_view Value) {
    unsigned char* Bytes = R + S.Offset;
    if (Value.size() > kShortText || Bytes[kShortText] == kLong) return StoreStringElsewhere(R, S, Value);
    CopyShort(Bytes, Value.data(), Value.size());
    Bytes[kShortText] = static_cast<unsigned char>(Value.size());
    R[S.FlagByte] |= S.FlagMask;
  }

  // The same by field index.
  bool IsNull(const unsigned char* R, int I) const { return IsNull(R, FSlots[static_cast<std::size_t>(I)]); }
  // Empties the value (a long text is freed).
  void SetNull(unsigned char* R, int I) const noexcept;
  // Frees what the record's values hold outside the block.
  void FreeValues(unsigned char* R) const noexcept;

  AnsiString GetString(const unsigned char* R, int I) const { return String(R, SlotOf(I)); }
  int GetInteger(const unsigned char* R, int I) const { return Load<int>(R, SlotOf(I)); }
  double GetFloat(const unsigned char* R, int I) const { return Load<double>(R, SlotOf(I)); }
  Extended GetExtended(const unsigned char* R, int I) const { return Load<Extended>(R, SlotOf(I)); }
  TDateTime GetDateTime(const unsigned char* R, int I) const { return Load<TDateTime>(R, SlotOf(I)); }

  void SetString(unsigned char* R, int I, const AnsiString& Value) const { StoreString(R, SlotOf(I), Value); }
  void SetInteger(unsigned char* R, int I, int Value) const { Store(R, SlotOf(I), Value); }
  void SetFloat(unsigned char* R, int I, double Value) const { Store(R, SlotOf(I), Value); }
  void SetExtended(unsigned char* R, int I, Extended Value) const { Store(R, SlotOf(I), Value); }
  void SetDateTime(unsigned char* R, int I, TDateTime Value) const { Store(R, SlotOf(I), Value); }

  // The value as a value cell of its own type (none for null), for the conversions that
  // work on cells; and back from such a cell (none makes it null).
  void ToCell(const unsigned char* R, int I, TMValueCell& Cell) const;
  void FromCell(unsigned char* R, int I, TMValueCell Cell) const;

  void* GetData(const unsigned char* R) const;
  void SetData(unsigned char* R, void* D) const;

 private:
  static std::string_view LongStringView(const unsigned char* Bytes);
  static AnsiString ShortString(const unsigned char* Bytes) {
    AnsiString Text(kShortText, '\0');
    std::memcpy(Text.data(), Bytes, kShortText);
    Text.resize(Bytes[kShortText]);
    return Text;
  }
  // StoreString for a long text, or for a short one in place of a long one.
  static void StoreStringElsewhere(unsigned char* R, const TMRecordSlot& S, std::string_view Value);
  // Copies N <= 15 bytes with a few fixed-size moves (overlapping ones where N is not a power
  // of two) instead of a call: a short text is the common value.
  static void CopyShort(unsigned char* To, const char* From, std::size_t N) {
    if (N >= 8) {
      std::memcpy(To, From, 8);
      std::memcpy(To + N - 8, From + N - 8, 8);
    } else if (N >= 4) {
      std::memcpy(To, From, 4);
      std::memcpy(To + N - 4, From + N - 4, 4);
    } else if (N > 0) {
      To[0] = static_cast<unsigned char>(From[0]);
      To[N / 2] = static_cast<unsigned char>(From[N / 2]);
      To[N - 1] = static_cast<unsigned char>(From[N - 1]);
    }
  }
  const TMRecordSlot& SlotOf(int I) const { return FSlots[static_cast<std::size_t>(I)]; }

  std::vector<TMRecordSlot> FSlots;
  std::size_t FData = 0;  // the user data pointer
  std::size_t FSize = 0;
};

}  // namespace vandrel
