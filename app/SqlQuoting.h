#pragma once
// Names and values entering SQL text. A regular name comes out exactly as it went in, so
// statements about ordinary databases read as they always did; any other name is quoted so
// that a blank, a quote or a bracket can neither break the statement nor change its meaning.
#include <string>

namespace vandrel::app {

// True for a SQL Server regular identifier: a letter, "_", "@" or "#" first, then letters,
// digits, "_", "@", "#" or "$", and not a reserved word of Transact-SQL (in any case: a
// database called Order breaks every statement that names it bare). Letters outside ASCII
// (Polish ones) count as letters.
bool IsRegularIdentifier(const std::string& Name);

// True for a reserved keyword of SQL Server 2000's Transact-SQL, compared without case.
bool IsReservedWord(const std::string& Name);

// The name as it stands when regular, else in square brackets with "]" doubled.
std::string QuoteIdentifier(const std::string& Name);

// An owner-qualified name "owner.table" with each part quoted by QuoteIdentifier; a text
// without a dot is quoted as one name.
std::string QuoteQualifiedName(const std::string& OwnerDotName);

// A value for use inside a single-quoted literal: "'" doubled (the quotes are not added).
std::string EscapeLiteral(const std::string& Value);

// A Unicode literal N'...' of Value, its quotes doubled: how paths and names enter statements.
std::string UnicodeLiteral(const std::string& Value);

// A name for use inside double quotes (as sp_columns takes it): '"' doubled.
std::string EscapeDoubleQuoted(const std::string& Value);

}  // namespace vandrel::app
