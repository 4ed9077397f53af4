#pragma once
// Values delivered in one type and kept in another, as the record stores convert them:
// database text is read leniently (a bad number becomes 0, never an error), numbers become
// text with a few decimals, and date-times kept as text use "YYYYMMDDHHNNSSmmm". These rules
// differ from the field converters, which serve text typed by the user.
#include "data/FieldTypes.h"
#include "data/ValueCell.h"
#include "foundation/Exception.h"

namespace vandrel::importing {

// Stores a value delivered as the named type into a cell of type To. A number that does not
// fit a 32-bit integer field raises EMDataError (310, 314, 318) with FieldName as text.
void StoreString(TMValueCell& Cell, TMFieldType To, const AnsiString& Value,
                 const AnsiString& FieldName);
void StoreInteger(TMValueCell& Cell, TMFieldType To, int Value, const AnsiString& FieldName);
void StoreFloat(TMValueCell& Cell, TMFieldType To, double Value, const AnsiString& FieldName);
void StoreExtended(TMValueCell& Cell, TMFieldType To, Extended Value,
                   const AnsiString& FieldName);
void StoreDateTime(TMValueCell& Cell, TMFieldType To, TDateTime Value,
                   const AnsiString& FieldName);

// Reads a cell of type From as the named type by the same rules; an empty cell reads as
// "", 0, 0.0, 0.0 and 0.0.
AnsiString ReadString(TMValueCell Cell, TMFieldType From, const AnsiString& FieldName);
int ReadInteger(TMValueCell Cell, TMFieldType From, const AnsiString& FieldName);
double ReadFloat(TMValueCell Cell, TMFieldType From, const AnsiString& FieldName);
Extended ReadExtended(TMValueCell Cell, TMFieldType From, const AnsiString& FieldName);
TDateTime ReadDateTime(TMValueCell Cell, TMFieldType From, const AnsiString& FieldName);

}  // namespace vandrel::importing
