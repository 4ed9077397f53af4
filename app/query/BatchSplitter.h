#pragma once
// A script cut into the batches the server runs one by one: a line that reads GO alone
// (any case, blanks around it, optionally a count "GO 3" and a "--" comment after it) ends a
// batch, as the server's own tools read scripts. A GO line inside a block comment is part of
// the comment.
#include <string>
#include <string_view>
#include <vector>

namespace vandrel::app {

struct TBatch {
  std::string Text;
  // The script's line (from 0) on which the batch's text begins: a line the server names in
  // a batch's message (from 1) is line FirstLine + Line - 1 of the script.
  int FirstLine = 0;
  // How many times the batch runs ("GO n").
  int Repeat = 1;
};

// The batches of Script in order; batches of blanks alone are left out.
std::vector<TBatch> SplitBatches(std::string_view Script);

}  // namespace vandrel::app
