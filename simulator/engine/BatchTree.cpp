#include "engine/BatchTree.h"

namespace msde {
namespace {

class TreeParser {
 public:
  explicit TreeParser(const std::vector<Token>& tokens) : tokens_(tokens) {}

  std::vector<BatchNode> Batch() {
    std::vector<BatchNode> nodes;
    for (;;) {
      SkipSemicolons();
      if (pos_ >= tokens_.size()) return nodes;
      nodes.push_back(Statement(0, 0));
    }
  }

 private:
  bool At(const char* word) const { return pos_ < tokens_.size() && tokens_[pos_].IsWord(word); }
  [[noreturn]] void Fail(size_t at) const { throw BatchStructureError{at, 0, ""}; }
  void SkipSemicolons() {
    while (pos_ < tokens_.size() && tokens_[pos_].IsSymbol(";")) ++pos_;
  }
  // BEGIN TRAN[SACTION] and BEGIN DISTRIBUTED TRAN are statements, any other BEGIN a block.
  bool AtBlock() const {
    if (!At("BEGIN")) return false;
    const Token* next = pos_ + 1 < tokens_.size() ? &tokens_[pos_ + 1] : nullptr;
    return next == nullptr ||
           !(next->IsWord("TRAN") || next->IsWord("TRANSACTION") || next->IsWord("DISTRIBUTED"));
  }

  // One statement at `depth` levels of blocks and branches, inside `loops` WHILEs.
  BatchNode Statement(int depth, int loops) {
    if (pos_ >= tokens_.size()) Fail(pos_);
    if (depth > kMaxNesting) throw TooDeeplyNested{tokens_[pos_].line};
    BatchNode node;
    node.from = pos_;
    if (AtBlock()) {
      node.kind = BatchNode::Kind::Block;
      ++pos_;
      for (;;) {
        SkipSemicolons();
        if (pos_ >= tokens_.size()) Fail(pos_);
        if (At("END")) break;
        node.children.push_back(Statement(depth + 1, loops));
      }
      if (node.children.empty()) Fail(pos_);  // BEGIN END
      ++pos_;
    } else if (At("IF")) {
      node.kind = BatchNode::Kind::If;
      for (;;) {
        node.conditions.push_back(Condition());
        node.children.push_back(Statement(depth + 1, loops));
        if (!ElseFollows()) break;
        ++pos_;
        if (!At("IF")) {
          node.children.push_back(Statement(depth + 1, loops));
          break;
        }
      }
    } else if (At("WHILE")) {
      node.kind = BatchNode::Kind::While;
      node.conditions.push_back(Condition());
      node.children.push_back(Statement(depth + 1, loops + 1));
    } else if (At("BREAK") || At("CONTINUE")) {
      const bool is_break = At("BREAK");
      if (loops == 0)
        throw BatchStructureError{pos_, is_break ? 135 : 136,
                                  std::string("Cannot use a ") + (is_break ? "BREAK" : "CONTINUE") +
                                      " statement outside the scope of a WHILE statement."};
      node.kind = is_break ? BatchNode::Kind::Break : BatchNode::Kind::Continue;
      ++pos_;
    } else if (At("ELSE") || At("END")) {
      Fail(pos_);
    } else {
      pos_ = StatementEnd(tokens_, pos_);
    }
    node.to = pos_;
    return node;
  }

  // The condition after IF or WHILE (the keyword at pos_); a statement must follow it.
  std::pair<size_t, size_t> Condition() {
    const size_t from = ++pos_;
    pos_ = ConditionEnd(tokens_, from);
    if (pos_ == from || pos_ >= tokens_.size() || At("ELSE") || At("END") || tokens_[pos_].IsSymbol(";"))
      Fail(pos_);
    return {from, pos_};
  }

  // An ELSE after a branch, past any ";" that ended the branch's statement.
  bool ElseFollows() {
    size_t k = pos_;
    while (k < tokens_.size() && tokens_[k].IsSymbol(";")) ++k;
    if (k >= tokens_.size() || !tokens_[k].IsWord("ELSE")) return false;
    pos_ = k;
    return true;
  }

  const std::vector<Token>& tokens_;
  size_t pos_ = 0;
};

}  // namespace

std::vector<BatchNode> ParseBatch(const std::vector<Token>& tokens) {
  // CREATE PROCEDURE takes the whole batch: its body runs to the batch's end.
  if (tokens.size() >= 2 && tokens[0].IsWord("CREATE") && (tokens[1].IsWord("PROCEDURE") || tokens[1].IsWord("PROC"))) {
    BatchNode node;
    node.to = tokens.size();
    return {node};
  }
  return TreeParser(tokens).Batch();
}

std::vector<std::vector<Token>> SplitStatements(const std::vector<Token>& tokens) {
  std::vector<std::vector<Token>> statements;
  for (const BatchNode& node : ParseBatch(tokens))
    statements.emplace_back(tokens.begin() + static_cast<std::ptrdiff_t>(node.from),
                            tokens.begin() + static_cast<std::ptrdiff_t>(node.to));
  return statements;
}

}  // namespace msde
