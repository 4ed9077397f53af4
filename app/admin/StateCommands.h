#pragma once
// The six commands that switch the selected database between single-user and multi-user,
// offline and online, read-only and read-write, each behind the in-use guard.
#include "app/CommandContext.h"

namespace vandrel::app::admin {

enum class DatabaseState { SingleUser, MultiUser, Offline, Online, ReadOnly, ReadWrite };

void ChangeDatabaseState(TCommandContext& Context, DatabaseState State);

}  // namespace vandrel::app::admin
