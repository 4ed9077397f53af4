#pragma once
// The ending of a connection by another one (KILL, ALTER DATABASE ... WITH ROLLBACK
// IMMEDIATE), and what a session last sent (DBCC INPUTBUFFER).
#include "engine/Statements.h"

namespace msde {

// Ends another connection: it is marked killed at once (using no database from then on)
// and its socket is closed after the statement, outside the engine lock.
void EndSession(Context& ctx, Session& victim);

// DBCC INPUTBUFFER (spid): the tokens after the word INPUTBUFFER.
void InputBuffer(Context& ctx, Parser& p);

}  // namespace msde
