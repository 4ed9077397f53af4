#pragma once
// Names and values entering SQL text. A regular name comes out exactly as it went in, so
// statements about ordinary databases read as they always did; any other name is quoted so
// that a blank, a quote or a bracket can neither break the statement nor change its meaning.
#include <string>

namespace vandrel::app {

// True for a name that may stand bare where SQL Server expects an object's name: a letter or
// "_" first (with "@" or "#" first it would name a variable or a temporary object), then
// letters, digits, "_", "@", "#" or "$", and not a reserved word of Transact-SQL 2000 or 2005
// (in any case: a database called Order breaks every statement that names it bare). Letters
// are Unicode letters (Polish ones among them); a dash or a no-break space is no letter.
bool IsRegularIdentifier(const std::string& Name);

// True for a reserved keyword of SQL Server 2000's or 2005's Transact-SQL, without case.
bool IsReservedWord(const std::string& Name);

// The name as it stands when regular, else in square brackets with "]" doubled.
std::string QuoteIdentifier(const std::string& Name);

// A value for use inside a single-quoted literal: "'" doubled (the quotes are not added).
std::string EscapeLiteral(const std::string& Value);

// A Unicode literal N'...' of Value, its quotes doubled: how paths and names enter statements.
std::string UnicodeLiteral(const std::string& Value);

// A name for use inside double quotes (as sp_columns takes it): '"' doubled.
std::string EscapeDoubleQuoted(const std::string& Value);

}  // namespace vandrel::app
