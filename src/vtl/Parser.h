#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "vtl/MacroTable.h"
#include "vtl/Node.h"
#include "vtl/Template.h"

namespace vtl {

// Turns the text of a template into its nodes, following the template
// language's lexical rules (references, directives, escapes, comments, and
// the line breaks that directives eat). Macro definitions are registered in
// the macro table as they are met, so a macro is callable after its
// definition. Nesting is bounded, so no input can exhaust the stack; a text
// that does not parse fails with ParseErrorException naming the template,
// line and column.
class Parser {
 public:
  Parser(std::shared_ptr<Template> tmpl, MacroTable& macros);
  void parse();

 private:
  enum class End { kEof, kEnd, kElse, kElseIf };
  struct BlockResult {
    const Block* block;
    End end;
    size_t endOffset;
    bool empty;  // nothing in it, not even a comment
  };
  // A double-quoted text whose content is read once the whole template is
  // parsed, so that it sees every macro the template defines.
  struct DeferredText {
    InterpolatedExpr* expr;
    size_t from;
    size_t to;
    int macroBodies;
  };
  class Nesting;
  class SingleLine;

  BlockResult parseBlock();
  void emitText(std::vector<Node*>& nodes, size_t from, size_t to);
  bool parseHash(std::vector<Node*>& nodes, BlockResult& result);
  void skipLineComment(size_t from);
  size_t blockCommentEnd(size_t from) const;
  void parseBackslashes(std::vector<Node*>& nodes);
  bool parseSlashBang(std::vector<Node*>& nodes, size_t start, size_t dollar);
  bool parseDirective(std::vector<Node*>& nodes, std::string_view word, size_t hashOffset,
                      size_t afterWord, BlockResult& result);

  Node* parseSet(size_t offset);
  Node* parseIf(size_t offset);
  const Expr* parseCondition();
  Node* parseForeach(size_t offset);
  Node* parseInclude(size_t offset);
  Node* parseParse(size_t offset);
  Node* parseLiteral(size_t offset);
  void parseMacroDefinition(size_t offset);
  Node* parseMacroUse(std::string_view name, size_t offset, size_t after);
  MacroCallNode* tryMacroCall(std::string_view name, size_t offset);
  MacroCallNode* parseMacroCall(std::string_view name, size_t offset);
  BlockResult parseBody(End expected);
  Span<Expr*> parseArguments();

  const ReferenceExpr* parseReference(size_t offset);
  const ReferenceExpr* parseReference(size_t offset, size_t from);
  void parseMethodArguments(size_t open);
  bool startsReference(size_t at) const;
  Expr* parseExpression();
  Expr* parseChain(int level);
  // A binary operator and its precedence level (0 loosest); level -1 is none.
  struct Operator {
    BinaryOp op = BinaryOp::kOr;
    int level = -1;
    size_t length = 0;
  };
  Expr* continueChain(int level, Expr* first, size_t start);
  Operator peekOperator();
  Expr* parseUnary();
  Expr* parsePrimary();
  Expr* parseString();
  size_t stringEnd(size_t at) const;
  Expr* parseNumber();
  Expr* parseList();
  bool isRangeBound(size_t at) const;
  Expr* parseRange(size_t at, Expr* from);
  void parseDeferredText(const DeferredText& text);
  Expr* foldConstant(Expr* expr);

  void openParen(size_t directiveOffset);
  void closeParen();
  void eatLineEnd();
  void skipSpace();
  void skipBlanks();
  bool atWord(std::string_view word) const;
  bool lookingAtSet(size_t at) const;
  size_t bangWithoutName(size_t dollar) const;
  size_t wordEnd(size_t at) const;
  [[noreturn]] void fail(size_t offset) const;
  [[noreturn]] void fail(size_t offset, const std::string& what) const;
  std::string_view joined(std::string_view prefix, std::string_view name, bool capitalize);
  uint32_t symbolOf(std::string_view name, size_t hash);
  void growSymbolSlots();

  std::shared_ptr<Template> template_;
  MacroTable& macros_;
  Arena& arena_;
  std::string_view text_;
  size_t pos_ = 0;
  size_t end_ = 0;
  int depth_ = 0;
  bool singleLine_ = false;  // line breaks end directive arguments with an error
  int macroBodies_ = 0;      // macro definitions being parsed
  std::vector<MacroCallNode*> forwardUses_;  // "#name" of no macro known yet
  std::vector<DeferredText> deferredTexts_;
  // Counts the comments and macro definitions met, which make a block
  // non-empty without a node of their own.
  size_t contentMarks_ = 0;
  TextNode* lastText_ = nullptr;  // the text node emitText made last
  // Variable names, numbered in order of appearance, and an open-addressing
  // index over them by hash (0 is a free slot, otherwise symbol + 1).
  struct Symbol {
    std::string_view name;
    size_t hash;
  };
  std::vector<Symbol> symbols_;
  std::vector<uint32_t> symbolSlots_;
  // The items of the lists, chains, #if branches and arguments being parsed,
  // each construct's above those of the constructs around it.
  std::vector<Expr*> exprStack_;
  std::vector<ChainLink> linkStack_;
  std::vector<IfBranch> branchStack_;
  std::vector<std::vector<Node*>> nodePool_;  // per nesting level
  std::vector<std::vector<Step>> stepPool_;
};

}  // namespace vtl
