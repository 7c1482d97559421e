#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "vtl/Arena.h"
#include "vtl/Value.h"

namespace vtl {

class Renderer;

// The symbol of the #foreach loop counter, whose name is a setting.
constexpr uint32_t kCounterSymbol = 0xFFFFFFFFu;

// The parsed form of a template: statements (Node) that write output and
// expressions (Expr) that compute values. Nodes live in their template's
// Arena, point at each other with plain pointers and at the template's text
// with string_views; none owns another, so a template of any depth is freed
// without recursion. Render and eval are implemented in Renderer.cpp.

struct Node {
  uint32_t offset = 0;  // where it starts in the template text
  // Text is most of what a template holds; a block writes it without a
  // virtual call.
  bool isText = false;
  virtual void render(Renderer& r) const = 0;
};

struct Expr {
  uint32_t offset = 0;
  // The value, either stored in scratch or living elsewhere (a context
  // value); valid until the context changes.
  virtual const Value& eval(Renderer& r, Value& scratch) const = 0;
  // The truth as a condition: a reference's value, a truth value or an
  // operator's result. A number, text, list or sum written in the template
  // is never true, whatever its value.
  virtual bool truth(Renderer& r) const;
  // The items of a list that is the same at every evaluation, for a reader
  // that cannot change it; nullptr for any other expression.
  virtual const List* constantItems() const { return nullptr; }
};

struct Block : Node {
  Span<Node*> children;
  void render(Renderer& r) const override;
};

struct TextNode : Node {
  TextNode() { isText = true; }
  std::string_view text;
  void render(Renderer& r) const override;
};

// One step of a reference chain: .name or .name(args).
struct Step {
  std::string_view name;
  bool method = false;
  Span<Expr*> args;
  // Property forms, tried in this order: getName, getname, isName.
  std::string_view getter;
  std::string_view lowerGetter;
  std::string_view isGetter;
};

struct ReferenceExpr : Expr {
  std::string_view literal;  // as written, from "$" on
  std::string_view root;
  size_t rootHash = 0;     // Context::hashOf(root)
  uint32_t rootSymbol = 0;  // the name's number within its template
  Span<Step> steps;
  bool quiet = false;
  const Value& eval(Renderer& r, Value& scratch) const override;
  bool truth(Renderer& r) const override;
};

// A reference in the text, with the backslashes written before it.
struct ReferenceNode : Node {
  const ReferenceExpr* ref = nullptr;
  uint32_t backslashes = 0;
  void render(Renderer& r) const override;

 private:
  // Apart from the plain variable outside macros, which needs no value of
  // its own (and so no saved registers).
  void renderEvaluated(Renderer& r) const;
};

struct LiteralExpr : Expr {
  Value value;
  const Value& eval(Renderer&, Value&) const override { return value; }
  bool truth(Renderer&) const override { return value.isBool() && value.asBool(); }
};

// A double-quoted text with references or directives in it.
struct InterpolatedExpr : Expr {
  const Block* body = nullptr;
  // The text, valid until the next interpolated text renders.
  std::string_view render(Renderer& r) const;
  const Value& eval(Renderer& r, Value& scratch) const override;
  bool truth(Renderer&) const override { return false; }
};

struct ListExpr : Expr {
  Span<Expr*> items;
  const Value& eval(Renderer& r, Value& scratch) const override;
  bool truth(Renderer&) const override { return false; }
};

// A list or range of literals, built once; every evaluation gets a fresh
// copy, as lists can be changed by their methods.
struct ConstantListExpr : Expr {
  std::shared_ptr<const List> items;
  const Value& eval(Renderer& r, Value& scratch) const override;
  bool truth(Renderer&) const override { return false; }
  const List* constantItems() const override { return items.get(); }
};

struct RangeExpr : Expr {
  const Expr* from = nullptr;
  const Expr* to = nullptr;
  const Value& eval(Renderer& r, Value& scratch) const override;
  bool truth(Renderer&) const override { return false; }
};

enum class BinaryOp : uint8_t { kOr, kAnd, kEq, kNe, kLt, kGt, kLe, kGe, kAdd, kSub, kMul, kDiv, kMod };

struct ChainLink {
  BinaryOp op = BinaryOp::kOr;
  const Expr* operand = nullptr;
};

// Operands of one precedence level joined left to right ("a + b - c"), kept
// flat so that a long chain is evaluated in a loop, not by recursion.
struct ChainExpr : Expr {
  const Expr* first = nullptr;
  Span<ChainLink> links;
  const Value& eval(Renderer& r, Value& scratch) const override;
  bool truth(Renderer& r) const override;
};

struct NotExpr : Expr {
  const Expr* operand = nullptr;
  const Value& eval(Renderer& r, Value& scratch) const override;
};

struct SetNode : Node {
  const ReferenceExpr* target = nullptr;
  const Expr* value = nullptr;
  // The value when it is an interpolated text: rendered straight into the
  // variable, without a value in between.
  const InterpolatedExpr* text = nullptr;
  void render(Renderer& r) const override;
};

struct IfBranch {
  const Expr* condition = nullptr;
  const Block* body = nullptr;
};

struct IfNode : Node {
  Span<IfBranch> branches;
  const Block* otherwise = nullptr;
  void render(Renderer& r) const override;
};

struct ForeachNode : Node {
  std::string_view variable;
  size_t variableHash = 0;
  uint32_t variableSymbol = 0;
  const Expr* items = nullptr;
  const Block* body = nullptr;
  void render(Renderer& r) const override;
};

struct IncludeNode : Node {
  Span<Expr*> names;
  void render(Renderer& r) const override;

 private:
  // Only texts and references name files; a number, truth value or list
  // written there writes the include error note.
  static bool canName(const Expr* name);
};

struct ParseNode : Node {
  const Expr* name = nullptr;
  void render(Renderer& r) const override;
};

struct Macro;

// A call of a macro. The macro is found while parsing, or when the template
// is parsed to its end (a call written before the definition), or, inside
// macro bodies, when the call runs. A call with the wrong number of arguments
// renders nothing.
struct MacroCallNode : Node {
  std::string_view name;
  Span<Expr*> args;
  std::string_view literal;  // the call as written, rendered when no macro is found
  const Macro* macro = nullptr;
  bool findWhenRun = false;
  void render(Renderer& r) const override;
};

}  // namespace vtl
