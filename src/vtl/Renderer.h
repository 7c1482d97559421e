#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Writer.h"
#include "vtl/Context.h"
#include "vtl/Macro.h"
#include "vtl/Node.h"
#include "vtl/Template.h"
#include "vtl/TextBuffer.h"

namespace vtl {

class Engine;

// The state of one merge: where output goes, the context, the #parse stack
// and the macro calls under way. Every kind of nesting is counted, so a
// template that recurses without end stops with RenderLimitException instead
// of exhausting the stack.
class Renderer {
 public:
  Renderer(Engine& engine, Context& context, platform::Writer& writer);

  // Renders tmpl as the outermost template and writes the output.
  void run(const Template& tmpl);

  Engine& engine() { return engine_; }
  void write(std::string_view text) {
    if (out_->fits(text.size())) {
      out_->appendFitting(text);
    } else {
      writeGrowing(text);
    }
  }
  void writeValue(const Value& value) {
    if (value.isString()) {
      write(value.asString());
    } else if (value.isInt()) {
      out_->appendInt(value.asInt());
    } else {
      writeOther(value);
    }
  }
  // A reference without a value, as written; inside a macro a parameter
  // shows as the caller's reference it stands for.
  void writeLiteral(const ReferenceExpr& ref);

  // Variable access through the macro call under way: a macro parameter
  // stands for the caller's argument expression.
  const Value* lookup(std::string_view name, size_t hash, uint32_t symbol, Value& scratch) {
    return frame_ ? lookupInMacro(name, hash, symbol, scratch) : variable(name, hash, symbol);
  }
  // Outside macro calls a variable is its context value, so it is found
  // without a scratch value.
  bool inMacro() const { return frame_ != nullptr; }
  const Value* variable(std::string_view name, size_t hash, uint32_t symbol) {
    const Value& v = cellOf(name, hash, symbol);
    return v.isNull() ? nullptr : &v;
  }
  // A null value changes nothing.
  void assign(std::string_view name, size_t hash, uint32_t symbol, const Value& value) {
    if (value.isNull()) return;
    if (!frame_) {
      cellOf(name, hash, symbol) = value;
      return;
    }
    // The value may live among the macro's locals, which the slot can move.
    Value copy = value;
    slotInMacro(name, hash, symbol) = std::move(copy);
  }
  void assign(std::string_view name, size_t hash, uint32_t symbol, Value&& value) {
    if (!value.isNull()) slotOf(name, hash, symbol) = std::move(value);
  }
  // The text must not view a macro's local, which finding the slot can
  // move; a rendered text lives in the renderer's buffers.
  void assignText(std::string_view name, size_t hash, uint32_t symbol, std::string_view text) {
    slotOf(name, hash, symbol).setText(text);
  }
  // The variable's place outside macro calls, where it stays while the
  // context lives.
  Value& variableCell(std::string_view name, size_t hash, uint32_t symbol) {
    return cellOf(name, hash, symbol);
  }
  void unset(std::string_view name, size_t hash, uint32_t symbol);

  // The value's named operation or property (getX, getx, get("x"), isX);
  // false when there is none.
  bool call(const Value& target, const Step& step, Value& result);
  void setProperty(const Value& target, std::string_view name, const Value& value);

  // Output into a separate buffer while an interpolated text renders.
  TextBuffer* redirect(TextBuffer* buffer) { return std::exchange(out_, buffer); }
  // An empty buffer for an interpolated text, until released; buffers are
  // reused by later texts of the same nesting.
  TextBuffer* acquireBuffer() {
    if (buffersInUse_ == buffers_.size()) addBuffer();
    TextBuffer* buffer = buffers_[buffersInUse_++].get();
    buffer->clear();
    return buffer;
  }
  void releaseBuffer() { --buffersInUse_; }

  void enterBlock();
  void leaveBlock();

  void renderParsed(const Template& tmpl);
  const Template& currentTemplate() const { return *templates_.back(); }
  size_t parseDepth() const { return templates_.size(); }
  void callMacro(const Macro& macro, Span<Expr*> args);
  // What the caller wrote for a macro parameter, through the calls under way
  // (while no #set has given it a value of its own); expr when it is none.
  const Expr* argumentWritten(const Expr* expr) const;

 private:
  using SymbolCache = SymbolCells::Table;
  class Scope;
  struct Frame {
    const Macro* macro;
    Span<Expr*> args;
    Frame* caller;
    SymbolCache* callerCache;
    std::vector<std::pair<std::string, Value>> locals;
  };
  // Output that does not fit: the collected output goes to the writer first
  // once it is large.
  void writeGrowing(std::string_view text);
  void writeOther(const Value& value);
  void addBuffer();
  int parameterIndex(std::string_view name) const { return parameterIndex(*frame_, name); }
  static int parameterIndex(const Frame& frame, std::string_view name);
  const ReferenceExpr* argumentReference(std::string_view name) const;
  void writeNameAndSteps(const ReferenceExpr& ref);
  const Value* lookupInMacro(std::string_view name, size_t hash, uint32_t symbol, Value& scratch);
  // Where an assignment to the variable goes.
  Value& slotOf(std::string_view name, size_t hash, uint32_t symbol) {
    return frame_ ? slotInMacro(name, hash, symbol) : cellOf(name, hash, symbol);
  }
  Value& slotInMacro(std::string_view name, size_t hash, uint32_t symbol);
  // The variable's place in the context, from the symbol cache once known
  // (there is one while a template renders).
  Value& cellOf(std::string_view name, size_t hash, uint32_t symbol) {
    if (symbol < cache_->count) {
      if (Value* cell = cache_->cells[symbol]) return *cell;
    }
    if (symbol == kCounterSymbol && counterCell_) return *counterCell_;
    return findCell(name, hash, symbol);
  }
  Value& findCell(std::string_view name, size_t hash, uint32_t symbol);
  SymbolCache* acquireCache(const Template& tmpl);
  void releaseCache(SymbolCache* cache);

  Engine& engine_;
  Context& context_;
  platform::Writer& writer_;
  TextBuffer output_;
  TextBuffer* out_;
  std::vector<std::unique_ptr<TextBuffer>> buffers_;
  size_t buffersInUse_ = 0;
  Frame* frame_ = nullptr;
  int macroDepth_ = 0;
  std::vector<const Template*> templates_;
  SymbolCache* cache_ = nullptr;
  Value* counterCell_ = nullptr;
};

}  // namespace vtl
