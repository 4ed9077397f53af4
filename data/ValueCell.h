#pragma once
// Value cells of the in-memory record stores: a cell is empty (the value is null) or points to
// one separately allocated value of its field's type. A cell is allocated on the first store
// and reused afterwards; storing null frees it. Callers pass the field's type with every
// operation: the cell itself does not know its type.
#include "data/FieldTypes.h"
#include "foundation/Exception.h"

namespace vandrel {

using TMValueCell = void*;

namespace cell {

inline bool IsNull(TMValueCell Cell) { return Cell == nullptr; }

// Frees the value (by the field's type) and empties the cell.
void Free(TMValueCell& Cell, TMFieldType Type) noexcept;

// Readers of a cell of that type; an empty cell reads as "", 0, 0.0, 0.0 and 0.0.
AnsiString GetString(TMValueCell Cell);
int GetInteger(TMValueCell Cell);
double GetFloat(TMValueCell Cell);
Extended GetExtended(TMValueCell Cell);
TDateTime GetDateTime(TMValueCell Cell);

// Writers of a cell of that type; they allocate the cell when it is empty.
void SetString(TMValueCell& Cell, const AnsiString& Value);
void SetInteger(TMValueCell& Cell, int Value);
void SetFloat(TMValueCell& Cell, double Value);
void SetExtended(TMValueCell& Cell, Extended Value);
void SetDateTime(TMValueCell& Cell, TDateTime Value);

// Target becomes a copy of Source (null when Source is null).
void Copy(TMValueCell& Target, TMValueCell Source, TMFieldType Type);

// Equality of two cells of one type: both null, or both set and equal (strings byte for byte,
// numbers and date-times by numeric equality).
bool Equal(TMValueCell A, TMValueCell B, TMFieldType Type);

}  // namespace cell
}  // namespace vandrel
