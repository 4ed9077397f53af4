#pragma once
// The six commands that switch the selected database between single-user and multi-user,
// offline and online, read-only and read-write, each behind the in-use guard.
#include <QString>

#include "app/CommandContext.h"

namespace vandrel::app::admin {

enum class DatabaseState { SingleUser, MultiUser, Offline, Online, ReadOnly, ReadWrite };

void ChangeDatabaseState(TCommandContext& Context, DatabaseState State);

// The question asked before a change that takes database Name from its users or stops their
// writing (single-user, offline, read-only); the other changes ask none.
QString StateQuestion(DatabaseState State, const QString& Name);

// The table entries, by the design's names: single-user on and off, offline, online,
// read-only on and off.
void UstawbazwtrybSingleUser1Click(TCommandContext& Context);
void WycztrybSingleUser1Click(TCommandContext& Context);
void Wyczbaz1Click(TCommandContext& Context);
void Wczbaz1Click(TCommandContext& Context);
void Ustawbazwtrybietylkodoodczytu1Click(TCommandContext& Context);
void Wycztrybtylkodoodczytu1Click(TCommandContext& Context);

}  // namespace vandrel::app::admin
