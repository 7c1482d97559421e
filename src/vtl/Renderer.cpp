#include "vtl/Renderer.h"

#include <algorithm>
#include <climits>
#include <memory>

#include "vtl/Engine.h"
#include "vtl/Exceptions.h"
#include "vtl/IteratorObject.h"
#include "vtl/Methods.h"

namespace vtl {

namespace {

// Nested blocks, counted over #parse and macro calls together.
constexpr int kMaxRenderDepth = 600;
// Output collected before it goes to the writer.
constexpr size_t kFlushSize = 64 * 1024;
// The most items a range may make.
constexpr int64_t kMaxRangeSize = 1 << 20;

const Value kNull;

// Blocks being rendered on this thread, over every merge under way on it: an
// operation a template calls may merge another template, and the bound must
// hold over such nested merges too.
thread_local int blockDepth = 0;

// Restores a saved value when a scope ends, also by an exception.
template <class T>
class Restore {
 public:
  Restore(T& slot, T value) : slot_(slot), saved_(std::exchange(slot, value)) {}
  ~Restore() { slot_ = saved_; }

 private:
  T& slot_;
  T saved_;
};

bool sameClass(const Value& a, const Value& b) {
  if (a.kind() != b.kind()) return false;
  return !(a.isList() || a.isObject()) || a.className() == b.className();
}

bool compare(BinaryOp op, const Value& a, const Value& b) {
  switch (op) {
    case BinaryOp::kEq:
      return !a.isNull() && !b.isNull() && a.equals(b);
    case BinaryOp::kNe:
      // Values of different classes are neither equal nor unequal.
      return !a.isNull() && !b.isNull() && sameClass(a, b) && !a.equals(b);
    default:
      break;
  }
  if (!a.isInt() || !b.isInt()) return false;
  int32_t x = a.asInt();
  int32_t y = b.asInt();
  switch (op) {
    case BinaryOp::kLt:
      return x < y;
    case BinaryOp::kGt:
      return x > y;
    case BinaryOp::kLe:
      return x <= y;
    case BinaryOp::kGe:
      return x >= y;
    default:
      return false;
  }
}

// Integer arithmetic with Java's wrap-around; no value for anything else.
Value arithmetic(BinaryOp op, const Value& a, const Value& b) {
  if (!a.isInt() || !b.isInt()) return Value();
  int64_t x = a.asInt();
  int64_t y = b.asInt();
  int64_t r = 0;
  switch (op) {
    case BinaryOp::kAdd:
      r = x + y;
      break;
    case BinaryOp::kSub:
      r = x - y;
      break;
    case BinaryOp::kMul:
      r = x * y;
      break;
    case BinaryOp::kDiv:
      if (y == 0) return Value();
      r = x / y;
      break;
    case BinaryOp::kMod:
      if (y == 0) return Value();
      r = x % y;
      break;
    default:
      return Value();
  }
  return Value(static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(r))));
}

}  // namespace

Renderer::Renderer(Engine& engine, Context& context, platform::Writer& writer)
    : engine_(engine), context_(context), writer_(writer), out_(&output_) {}

void Renderer::run(const Template& tmpl) {
  output_.reserve(std::min<size_t>(tmpl.text().size() + tmpl.text().size() / 2, kFlushSize));
  try {
    renderParsed(tmpl);
  } catch (...) {
    writer_.write(output_.view());
    output_.clear();
    throw;
  }
  writer_.write(output_.view());
  output_.clear();
}

void Renderer::writeGrowing(std::string_view text) {
  if (out_ == &output_ && output_.size() >= kFlushSize) {
    writer_.write(output_.view());
    output_.clear();
  }
  out_->append(text);
}

void Renderer::writeOther(const Value& value) {
  std::string text;
  value.appendTo(text);
  write(text);
}

void Renderer::addBuffer() { buffers_.push_back(std::make_unique<TextBuffer>()); }

// Makes the variables of one template current while it lives.
class Renderer::Scope {
 public:
  Scope(Renderer& r, const Template& tmpl) : r_(r), saved_(r.cache_) { r.cache_ = r.acquireCache(tmpl); }
  ~Scope() {
    r_.releaseCache(r_.cache_);
    r_.cache_ = saved_;
  }

 private:
  Renderer& r_;
  SymbolCache* saved_;
};

Renderer::SymbolCache* Renderer::acquireCache(const Template& tmpl) {
  return context_.symbolCells().acquire(tmpl.id(), tmpl.symbolCount());
}

void Renderer::releaseCache(SymbolCache* cache) { context_.symbolCells().release(cache); }

Value& Renderer::findCell(std::string_view name, size_t hash, uint32_t symbol) {
  if (symbol == kCounterSymbol) {
    if (!counterCell_) counterCell_ = &context_.cell(name, hash);
    return *counterCell_;
  }
  if (!cache_ || symbol >= cache_->count) return context_.cell(name, hash);
  Value*& cell = cache_->cells[symbol];
  if (!cell) cell = &context_.cell(name, hash);
  return *cell;
}

void Renderer::renderParsed(const Template& tmpl) {
  templates_.push_back(&tmpl);
  struct Pop {
    std::vector<const Template*>& stack;
    ~Pop() { stack.pop_back(); }
  } pop{templates_};
  Scope scope(*this, tmpl);
  tmpl.root()->render(*this);
}

void Renderer::enterBlock() {
  if (++blockDepth > kMaxRenderDepth) {
    --blockDepth;
    throw RenderLimitException("Templates nest deeper than " + std::to_string(kMaxRenderDepth) +
                               " blocks in " + currentTemplate().getName());
  }
}

void Renderer::leaveBlock() { --blockDepth; }

int Renderer::parameterIndex(const Frame& frame, std::string_view name) {
  const auto& params = frame.macro->parameters;
  for (size_t i = 0; i < params.size(); ++i) {
    if (params[i] == name) return static_cast<int>(i);
  }
  return -1;
}

const Expr* Renderer::argumentWritten(const Expr* expr) const {
  for (const Frame* frame = frame_; frame; frame = frame->caller) {
    auto* ref = dynamic_cast<const ReferenceExpr*>(expr);
    if (!ref || !ref->steps.empty()) break;
    int i = parameterIndex(*frame, ref->root);
    if (i < 0) break;
    for (const auto& local : frame->locals) {
      if (local.first == ref->root) return expr;
    }
    expr = frame->args[i];
  }
  return expr;
}

const ReferenceExpr* Renderer::argumentReference(std::string_view name) const {
  if (!frame_) return nullptr;
  int i = parameterIndex(name);
  if (i < 0) return nullptr;
  return dynamic_cast<const ReferenceExpr*>(frame_->args[i]);
}

void Renderer::writeLiteral(const ReferenceExpr& ref) {
  if (!argumentReference(ref.root)) {
    write(ref.literal);
    return;
  }
  size_t rootAt = static_cast<size_t>(ref.root.data() - ref.literal.data());
  write(ref.literal.substr(0, rootAt));
  writeNameAndSteps(ref);
  if (ref.literal.back() == '}' && rootAt > 1 && ref.literal[rootAt - 1] == '{') write("}");
}

// The reference from its name on, without a closing brace, the name replaced
// by the caller's argument where it is a parameter.
void Renderer::writeNameAndSteps(const ReferenceExpr& ref) {
  size_t rootAt = static_cast<size_t>(ref.root.data() - ref.literal.data());
  std::string_view rest = ref.literal.substr(rootAt + ref.root.size());
  if (!rest.empty() && rest.back() == '}' && rootAt > 1 && ref.literal[rootAt - 1] == '{') {
    rest.remove_suffix(1);
  }
  const ReferenceExpr* arg = argumentReference(ref.root);
  if (arg) {
    Restore<Frame*> inCaller(frame_, frame_->caller);
    writeNameAndSteps(*arg);
  } else {
    write(ref.root);
  }
  write(rest);
}

const Value* Renderer::lookupInMacro(std::string_view name, size_t hash, uint32_t symbol,
                                     Value& scratch) {
  int i = parameterIndex(name);
  if (i >= 0) {
    for (const auto& local : frame_->locals) {
      if (local.first == name) return &local.second;
    }
    Frame* frame = frame_;
    Restore<Frame*> inCaller(frame_, frame->caller);
    Restore<SymbolCache*> callerNames(cache_, frame->callerCache);
    const Value& v = frame->args[i]->eval(*this, scratch);
    return v.isNull() ? nullptr : &v;
  }
  const Value& v = cellOf(name, hash, symbol);
  return v.isNull() ? nullptr : &v;
}

Value& Renderer::slotInMacro(std::string_view name, size_t hash, uint32_t symbol) {
  int i = parameterIndex(name);
  if (i < 0) return cellOf(name, hash, symbol);
  // A parameter bound to a plain reference writes through to it.
  auto* ref = dynamic_cast<const ReferenceExpr*>(frame_->args[i]);
  if (ref && ref->steps.empty()) {
    Frame* frame = frame_;
    Restore<Frame*> inCaller(frame_, frame->caller);
    Restore<SymbolCache*> callerNames(cache_, frame->callerCache);
    return slotOf(ref->root, ref->rootHash, ref->rootSymbol);
  }
  for (auto& local : frame_->locals) {
    if (local.first == name) return local.second;
  }
  frame_->locals.emplace_back(std::string(name), Value());
  return frame_->locals.back().second;
}

void Renderer::unset(std::string_view name, size_t hash, uint32_t symbol) {
  if (frame_) {
    int i = parameterIndex(name);
    if (i >= 0) {
      auto* ref = dynamic_cast<const ReferenceExpr*>(frame_->args[i]);
      if (ref && ref->steps.empty()) {
        Frame* frame = frame_;
        Restore<Frame*> inCaller(frame_, frame->caller);
        Restore<SymbolCache*> callerNames(cache_, frame->callerCache);
        unset(ref->root, ref->rootHash, ref->rootSymbol);
        return;
      }
      auto& locals = frame_->locals;
      for (auto it = locals.begin(); it != locals.end(); ++it) {
        if (it->first == name) {
          locals.erase(it);
          break;
        }
      }
      return;
    }
  }
  cellOf(name, hash, symbol) = Value();
}

namespace {

bool invokeChecked(const Value& target, std::string_view name, std::span<const Value> args,
                   Value& result) {
  try {
    return Methods::invoke(target, name, args, result);
  } catch (const RenderLimitException&) {
    throw;
  } catch (const std::exception& e) {
    throw MethodInvocationException("Invocation of method '" + std::string(name) + "' in class " +
                                        target.className() + " threw exception " +
                                        platform::describe(e),
                                    std::string(name));
  }
}

}  // namespace

bool Renderer::call(const Value& target, const Step& step, Value& result) {
  if (step.method) {
    Value inline_args[4];
    std::vector<Value> many;
    std::span<const Value> args;
    if (step.args.size() <= 4) {
      for (uint32_t i = 0; i < step.args.size(); ++i) {
        Value scratch;
        const Value& v = step.args[i]->eval(*this, scratch);
        inline_args[i] = &v == &scratch ? std::move(scratch) : v;
      }
      args = std::span<const Value>(inline_args, step.args.size());
    } else {
      for (Expr* arg : step.args) {
        Value scratch;
        many.push_back(arg->eval(*this, scratch));
      }
      args = many;
    }
    return invokeChecked(target, step.name, args, result);
  }
  if (invokeChecked(target, step.getter, {}, result)) return true;
  if (step.lowerGetter != step.getter && invokeChecked(target, step.lowerGetter, {}, result)) {
    return true;
  }
  Value key(step.name);
  if (invokeChecked(target, "get", std::span<const Value>(&key, 1), result)) return true;
  return invokeChecked(target, step.isGetter, {}, result) && result.isBool();
}

void Renderer::setProperty(const Value& target, std::string_view name, const Value& value) {
  std::string setter = "set" + std::string(name);
  setter[3] = static_cast<char>(std::toupper(static_cast<unsigned char>(setter[3])));
  Value ignored;
  if (invokeChecked(target, setter, std::span<const Value>(&value, 1), ignored)) return;
  Value args[2] = {Value(name), value};
  invokeChecked(target, "put", std::span<const Value>(args, 2), ignored);
}

void Renderer::callMacro(const Macro& macro, Span<Expr*> args) {
  if (macroDepth_ >= engine_.maxMacroDepth()) {
    throw RenderLimitException("Macro #" + macro.name + " nests deeper than " +
                               std::to_string(engine_.maxMacroDepth()) + " calls");
  }
  Frame frame{&macro, args, frame_, cache_, {}};
  Restore<Frame*> inMacro(frame_, &frame);
  Restore<int> depth(macroDepth_, macroDepth_ + 1);
  Scope scope(*this, *macro.owner);
  macro.body->render(*this);
}

// ---- statements ----

void Block::render(Renderer& r) const {
  r.enterBlock();
  struct Leave {
    Renderer& r;
    ~Leave() { r.leaveBlock(); }
  } leave{r};
  for (const Node* child : children) {
    if (child->isText) {
      r.write(static_cast<const TextNode*>(child)->text);
    } else {
      child->render(r);
    }
  }
}

void TextNode::render(Renderer& r) const { r.write(text); }

void ReferenceNode::render(Renderer& r) const {
  // Most references are a plain variable outside macros: no scratch value.
  if (backslashes == 0 && ref->steps.empty() && !r.inMacro()) {
    if (const Value* v = r.variable(ref->root, ref->rootHash, ref->rootSymbol)) {
      r.writeValue(*v);
    } else if (!ref->quiet) {
      r.writeLiteral(*ref);
    }
    return;
  }
  renderEvaluated(r);
}

void ReferenceNode::renderEvaluated(Renderer& r) const {
  Value scratch;
  const Value& value = ref->eval(r, scratch);
  if (backslashes == 0) {
    if (!value.isNull()) {
      r.writeValue(value);
    } else if (!ref->quiet) {
      r.writeLiteral(*ref);
    }
    return;
  }
  // Escaped: for a value, each pair of backslashes gives one and an odd one
  // makes the reference plain text. Without a value an even run stays as it
  // is; an odd one gives one per pair and itself.
  size_t kept = backslashes / 2;
  if (value.isNull()) kept = backslashes % 2 == 0 ? backslashes : kept + 1;
  r.write(std::string(kept, '\\'));
  if (value.isNull()) {
    if (backslashes % 2 == 1 || !ref->quiet) r.write(ref->literal);
  } else if (backslashes % 2 == 1) {
    r.write(ref->literal);
  } else {
    r.write(value.toString());
  }
}

void SetNode::render(Renderer& r) const {
  if (text && target->steps.empty()) {
    // The buffer the text is in is the renderer's, not a variable's.
    r.assignText(target->root, target->rootHash, target->rootSymbol, text->render(r));
    return;
  }
  Value scratch;
  const Value& v = value->eval(r, scratch);
  if (v.isNull()) return;  // no value: the variable keeps what it had
  if (target->steps.empty()) {
    if (&v == &scratch) {
      r.assign(target->root, target->rootHash, target->rootSymbol, std::move(scratch));
    } else {
      r.assign(target->root, target->rootHash, target->rootSymbol, v);
    }
    return;
  }
  Value held = v;
  Value chain;
  const Value* object = r.lookup(target->root, target->rootHash, target->rootSymbol, chain);
  if (!object) return;
  Value current = *object;
  for (uint32_t i = 0; i + 1 < target->steps.size(); ++i) {
    Value next;
    if (!r.call(current, target->steps[i], next) || next.isNull()) return;
    current = std::move(next);
  }
  const Step& last = target->steps[target->steps.size() - 1];
  if (!last.method) r.setProperty(current, last.name, held);
}

void IfNode::render(Renderer& r) const {
  for (const IfBranch& branch : branches) {
    if (branch.condition->truth(r)) {
      branch.body->render(r);
      return;
    }
  }
  if (otherwise) otherwise->render(r);
}

namespace {

// A list changed by the body of the loop that walks it fails the rendering,
// as the next step of a Java list iterator would.
void checkUnchanged(const List& list, size_t size) {
  if (list.items.size() != size) throw platform::ConcurrentModificationException("");
}

}  // namespace

void ForeachNode::render(Renderer& r) const {
  // A literal list is walked where it is: the loop cannot reach it.
  const List* list = items->constantItems();
  std::shared_ptr<List> held;
  if (!list) {
    Value scratch;
    const Value& target = items->eval(r, scratch);
    if (target.isObject()) {
      // An iterator is walked from where it stands, to its end.
      auto* iterator = dynamic_cast<IteratorObject*>(target.asObject().get());
      if (!iterator) return;
      held = std::make_shared<List>();
      while (iterator->hasNext()) held->items.push_back(iterator->next());
    } else if (target.isList()) {
      held = target.asList();
    } else {
      return;
    }
    list = held.get();
  }
  const std::string& counter = r.engine().counterName();
  size_t counterHash = r.engine().counterHash();
  Value saved;
  Value savedCount;
  {
    Value s;
    const Value* v = r.lookup(variable, variableHash, variableSymbol, s);
    if (v) saved = *v;
    const Value* c = r.lookup(counter, counterHash, kCounterSymbol, s);
    if (c) savedCount = *c;
  }
  int32_t count = r.engine().counterInitialValue();
  // The body may add to the list it walks: items are taken by position, and
  // a change ends the loop as it ends a list iterator in Java.
  const size_t size = list->items.size();
  if (r.inMacro()) {
    for (size_t i = 0; i < size; ++i) {
      r.assign(variable, variableHash, variableSymbol, list->items[i]);
      r.assign(counter, counterHash, kCounterSymbol, Value(count++));
      body->render(r);
      checkUnchanged(*list, size);
    }
  } else {
    // Outside macro calls both variables are context places found once.
    Value& itemCell = r.variableCell(variable, variableHash, variableSymbol);
    Value& countCell = r.variableCell(counter, counterHash, kCounterSymbol);
    for (size_t i = 0; i < size; ++i) {
      const Value& item = list->items[i];
      if (!item.isNull()) itemCell = item;
      countCell = Value(count++);
      body->render(r);
      checkUnchanged(*list, size);
    }
  }
  if (saved.isNull()) {
    r.unset(variable, variableHash, variableSymbol);
  } else {
    r.assign(variable, variableHash, variableSymbol, std::move(saved));
  }
  if (savedCount.isNull()) {
    r.unset(counter, counterHash, kCounterSymbol);
  } else {
    r.assign(counter, counterHash, kCounterSymbol, std::move(savedCount));
  }
}

bool IncludeNode::canName(const Expr* name) {
  if (auto* literal = dynamic_cast<const LiteralExpr*>(name)) return literal->value.isString();
  return dynamic_cast<const ReferenceExpr*>(name) || dynamic_cast<const InterpolatedExpr*>(name);
}

void IncludeNode::render(Renderer& r) const {
  for (size_t i = 0; i < names.size(); ++i) {
    Value scratch;
    bool named = canName(r.argumentWritten(names[i]));
    const Value& v = named ? names[i]->eval(r, scratch) : kNull;
    if (v.isNull()) {
      Engine& engine = r.engine();
      r.write(engine.includeErrorStart());
      r.write("error with arg " + std::to_string(i) + " please see log.");
      r.write(engine.includeErrorEnd());
      continue;
    }
    r.write(r.engine().getContent(v.toString(), r.currentTemplate().getEncoding()));
  }
}

void ParseNode::render(Renderer& r) const {
  Value scratch;
  const Value& v = name->eval(r, scratch);
  if (v.isNull()) return;
  std::string templateName = v.toString();
  Engine& engine = r.engine();
  // The stack holds the outermost template too. Deeper, the #parse is
  // skipped and the page goes on.
  if (r.parseDepth() >= engine.maxParseDepth()) return;
  r.enterBlock();
  struct Leave {
    Renderer& r;
    ~Leave() { r.leaveBlock(); }
  } leave{r};
  std::shared_ptr<const Template> parsed =
      engine.getTemplate(templateName, r.currentTemplate().getEncoding());
  r.renderParsed(*parsed);
}

void MacroCallNode::render(Renderer& r) const {
  const Macro* found = macro;
  if (!found && findWhenRun) found = r.engine().macros().find(name).get();
  if (!found) {
    r.write(literal);
    return;
  }
  if (found->parameters.size() != args.size()) return;
  r.callMacro(*found, args);
}

// ---- expressions ----

const Value& ReferenceExpr::eval(Renderer& r, Value& scratch) const {
  const Value* v = r.lookup(root, rootHash, rootSymbol, scratch);
  if (!v) return kNull;
  for (const Step& step : steps) {
    Value next;
    if (!r.call(*v, step, next)) return kNull;
    scratch = std::move(next);
    if (scratch.isNull()) return kNull;
    v = &scratch;
  }
  return *v;
}

bool ReferenceExpr::truth(Renderer& r) const {
  if (!steps.empty() || r.inMacro()) return Expr::truth(r);
  const Value* v = r.variable(root, rootHash, rootSymbol);
  return v && v->truthy();
}

const Value& InterpolatedExpr::eval(Renderer& r, Value& scratch) const {
  scratch.setText(render(r));
  return scratch;
}

std::string_view InterpolatedExpr::render(Renderer& r) const {
  TextBuffer* buffer = r.acquireBuffer();
  TextBuffer* previous = r.redirect(buffer);
  struct Back {
    Renderer& r;
    TextBuffer* previous;
    ~Back() {
      r.redirect(previous);
      r.releaseBuffer();
    }
  } back{r, previous};
  body->render(r);
  return buffer->view();
}

const Value& ListExpr::eval(Renderer& r, Value& scratch) const {
  auto list = std::make_shared<List>();
  list->items.reserve(items.size());
  for (const Expr* item : items) {
    Value s;
    list->items.push_back(item->eval(r, s));
  }
  scratch = Value(std::move(list));
  return scratch;
}

const Value& ConstantListExpr::eval(Renderer&, Value& scratch) const {
  scratch = Value(std::make_shared<List>(*items));
  return scratch;
}

const Value& RangeExpr::eval(Renderer& r, Value& scratch) const {
  Value a;
  Value b;
  Value low = from->eval(r, a);
  const Value& high = to->eval(r, b);
  if (!low.isInt() || !high.isInt()) return kNull;
  int64_t x = low.asInt();
  int64_t y = high.asInt();
  int64_t size = (x <= y ? y - x : x - y) + 1;
  if (size > kMaxRangeSize) {
    throw RenderLimitException("Range [" + std::to_string(x) + ".." + std::to_string(y) +
                               "] has more than " + std::to_string(kMaxRangeSize) + " items");
  }
  auto list = std::make_shared<List>();
  list->items.reserve(static_cast<size_t>(size));
  int64_t step = x <= y ? 1 : -1;
  for (int64_t i = x;; i += step) {
    list->items.emplace_back(static_cast<int32_t>(i));
    if (i == y) break;
  }
  scratch = Value(std::move(list));
  return scratch;
}

bool Expr::truth(Renderer& r) const {
  Value scratch;
  return eval(r, scratch).truthy();
}

const Value& ChainExpr::eval(Renderer& r, Value& scratch) const {
  const BinaryOp level = links[0].op;
  if (level == BinaryOp::kOr || level == BinaryOp::kAnd) {
    scratch = Value(truth(r));
    return scratch;
  }
  Value held;
  const Value* left = &first->eval(r, held);
  for (const ChainLink& link : links) {
    Value rightScratch;
    Value result;
    switch (link.op) {
      case BinaryOp::kEq:
      case BinaryOp::kNe:
      case BinaryOp::kLt:
      case BinaryOp::kGt:
      case BinaryOp::kLe:
      case BinaryOp::kGe:
        result = Value(compare(link.op, *left, link.operand->eval(r, rightScratch)));
        break;
      default:
        result = arithmetic(link.op, *left, link.operand->eval(r, rightScratch));
        break;
    }
    held = std::move(result);
    left = &held;
  }
  scratch = *left;
  return scratch;
}

bool ChainExpr::truth(Renderer& r) const {
  // One chain holds one precedence level, so its first operator names it.
  switch (links[0].op) {
    case BinaryOp::kOr:
      if (first->truth(r)) return true;
      for (const ChainLink& link : links) {
        if (link.operand->truth(r)) return true;
      }
      return false;
    case BinaryOp::kAnd:
      if (!first->truth(r)) return false;
      for (const ChainLink& link : links) {
        if (!link.operand->truth(r)) return false;
      }
      return true;
    case BinaryOp::kAdd:
    case BinaryOp::kSub:
    case BinaryOp::kMul:
    case BinaryOp::kDiv:
    case BinaryOp::kMod:
      return false;
    default:
      break;
  }
  if (links.size() == 1) {
    // One comparison: its result is the truth, without a value in between.
    Value a;
    Value b;
    const Value& left = first->eval(r, a);
    return compare(links[0].op, left, links[0].operand->eval(r, b));
  }
  return Expr::truth(r);
}

const Value& NotExpr::eval(Renderer& r, Value& scratch) const {
  scratch = Value(!operand->truth(r));
  return scratch;
}

}  // namespace vtl
