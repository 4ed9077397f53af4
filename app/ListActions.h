#pragma once
// The detail list's own commands (its pop-up menu): copying its rows and saving them as CSV.
class QWidget;

namespace vandrel::app {

class TCommandContext;
class TListView;

// "Kopiuj" and "Kopiuj z nagłówkiem": the selected rows to the clipboard.
void CopyListRows(TCommandContext& Context);
void CopyListRowsWithHeader(TCommandContext& Context);
// "Zapisz jako CSV...": the rows shown, with the captions, in a file the user names (UTF-8,
// values separated by the user's list separator).
void SaveListAsCsv(TCommandContext& Context);
// The same for any list of the tool (a query window's result), its messages owned by Parent.
void SaveListAsCsv(QWidget* Parent, const TListView& List);

}  // namespace vandrel::app
