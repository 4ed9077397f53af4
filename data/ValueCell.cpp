#include "data/ValueCell.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

namespace vandrel::cell {

namespace {

// A string value: its length and capacity followed by the bytes, in one allocation.
struct StringHolder {
  std::uint32_t Length;
  std::uint32_t Capacity;
  char* Bytes() { return reinterpret_cast<char*>(this + 1); }
};

void* Allocate(std::size_t Size) {
  void* P = std::malloc(Size);
  if (P == nullptr) throw std::bad_alloc();
  return P;
}

template <typename T>
T Read(TMValueCell Cell) {
  return Cell == nullptr ? T{} : *static_cast<T*>(Cell);
}

template <typename T>
void Write(TMValueCell& Cell, T Value) {
  if (Cell == nullptr) Cell = Allocate(sizeof(T));
  *static_cast<T*>(Cell) = Value;
}

}  // namespace

void Free(TMValueCell& Cell, TMFieldType) noexcept {
  // Every type is one plain allocation, so the type only matters to the reader.
  std::free(Cell);
  Cell = nullptr;
}

AnsiString GetString(TMValueCell Cell) {
  if (Cell == nullptr) return AnsiString();
  auto* H = static_cast<StringHolder*>(Cell);
  return AnsiString(H->Bytes(), H->Length);
}

int GetInteger(TMValueCell Cell) { return Read<int>(Cell); }
double GetFloat(TMValueCell Cell) { return Read<double>(Cell); }
Extended GetExtended(TMValueCell Cell) { return Read<Extended>(Cell); }
TDateTime GetDateTime(TMValueCell Cell) { return Read<TDateTime>(Cell); }

void SetString(TMValueCell& Cell, const AnsiString& Value) {
  if (Value.size() > UINT32_MAX) throw std::length_error("string value too long");
  const auto Length = static_cast<std::uint32_t>(Value.size());
  auto* H = static_cast<StringHolder*>(Cell);
  if (H == nullptr || H->Capacity < Length) {
    void* P = std::realloc(Cell, sizeof(StringHolder) + Length);
    if (P == nullptr) throw std::bad_alloc();
    Cell = P;
    H = static_cast<StringHolder*>(P);
    H->Capacity = Length;
  }
  H->Length = Length;
  if (Length != 0) std::memcpy(H->Bytes(), Value.data(), Length);
}

void SetInteger(TMValueCell& Cell, int Value) { Write<int>(Cell, Value); }
void SetFloat(TMValueCell& Cell, double Value) { Write<double>(Cell, Value); }
void SetExtended(TMValueCell& Cell, Extended Value) { Write<Extended>(Cell, Value); }
void SetDateTime(TMValueCell& Cell, TDateTime Value) { Write<TDateTime>(Cell, Value); }

void Copy(TMValueCell& Target, TMValueCell Source, TMFieldType Type) {
  if (Source == nullptr) {
    Free(Target, Type);
    return;
  }
  switch (Type) {
    case mftString: SetString(Target, GetString(Source)); break;
    case mftInteger: SetInteger(Target, GetInteger(Source)); break;
    case mftFloat: SetFloat(Target, GetFloat(Source)); break;
    case mftExtended: SetExtended(Target, GetExtended(Source)); break;
    case mftDateTime: SetDateTime(Target, GetDateTime(Source)); break;
  }
}

bool Equal(TMValueCell A, TMValueCell B, TMFieldType Type) {
  if (A == nullptr || B == nullptr) return A == B;
  switch (Type) {
    case mftString: {
      auto* HA = static_cast<StringHolder*>(A);
      auto* HB = static_cast<StringHolder*>(B);
      return HA->Length == HB->Length && std::memcmp(HA->Bytes(), HB->Bytes(), HA->Length) == 0;
    }
    case mftInteger: return GetInteger(A) == GetInteger(B);
    case mftFloat: return GetFloat(A) == GetFloat(B);
    case mftExtended: return GetExtended(A) == GetExtended(B);
    case mftDateTime: return GetDateTime(A) == GetDateTime(B);
  }
  return false;
}

}  // namespace vandrel::cell
