#include "vtl/Parser.h"

#include <cctype>
#include <charconv>
#include <utility>

#include "vtl/Exceptions.h"

namespace vtl {

namespace {

// How deep blocks, parentheses, lists, method arguments and interpolated
// texts may nest in one template.
constexpr int kMaxNesting = 100;

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
// A reference's names may also begin with "_".
bool isIdentifierStart(char c) { return isLetter(c) || c == '_'; }
bool isIdentifierChar(char c) { return isLetter(c) || isDigit(c) || c == '-' || c == '_'; }
bool isWordChar(char c) { return isLetter(c) || isDigit(c) || c == '_'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool isTextChar(char c) { return c != '$' && c != '#' && c != '\\'; }
// What may follow a backslash in a double-quoted text.
bool isStringEscape(char c) {
  return c == 'n' || c == 't' || c == 'b' || c == 'r' || c == 'f' || c == '\\' || c == '\'' || c == '"' ||
         (c >= '0' && c <= '7');
}

bool isDirectiveWord(std::string_view w) {
  return w == "set" || w == "if" || w == "elseif" || w == "else" || w == "end" || w == "foreach" ||
         w == "include" || w == "parse" || w == "macro" || w == "stop" || w == "literal";
}

}  // namespace

// While it lives, a line break inside directive parentheses is an error.
class Parser::SingleLine {
 public:
  SingleLine(Parser& parser, bool on) : parser_(parser), saved_(std::exchange(parser.singleLine_, on)) {}
  ~SingleLine() { end(); }
  void end() { parser_.singleLine_ = saved_; }

 private:
  Parser& parser_;
  bool saved_;
};

class Parser::Nesting {
 public:
  Nesting(Parser& parser, size_t offset) : parser_(parser) {
    if (++parser_.depth_ > kMaxNesting) parser_.fail(offset, "nesting deeper than 100 levels");
  }
  ~Nesting() { --parser_.depth_; }

 private:
  Parser& parser_;
};

Parser::Parser(std::shared_ptr<Template> tmpl, MacroTable& macros)
    : template_(std::move(tmpl)),
      macros_(macros),
      arena_(template_->arena()),
      text_(template_->text()),
      end_(text_.size()),
      nodePool_(kMaxNesting + 2),
      stepPool_(kMaxNesting + 2) {}

void Parser::parse() {
  // A "$" or "#" can begin nothing as the last byte.
  if (!text_.empty() && (text_.back() == '$' || text_.back() == '#')) fail(end_);
  BlockResult top = parseBlock();
  if (top.end != End::kEof) fail(top.endOffset);
  // Copied: a text may hold further texts.
  for (size_t i = 0; i < deferredTexts_.size(); ++i) parseDeferredText(DeferredText(deferredTexts_[i]));
  for (MacroCallNode* use : forwardUses_) use->macro = macros_.find(use->name).get();
  template_->setRoot(top.block);
  template_->setSymbolCount(static_cast<uint32_t>(symbols_.size()));
}

uint32_t Parser::symbolOf(std::string_view name, size_t hash) {
  if ((symbols_.size() + 1) * 2 > symbolSlots_.size()) growSymbolSlots();
  size_t mask = symbolSlots_.size() - 1;
  size_t i = hash & mask;
  for (; symbolSlots_[i] != 0; i = (i + 1) & mask) {
    const Symbol& known = symbols_[symbolSlots_[i] - 1];
    if (known.hash == hash && known.name == name) return symbolSlots_[i] - 1;
  }
  symbols_.push_back(Symbol{name, hash});
  symbolSlots_[i] = static_cast<uint32_t>(symbols_.size());
  return static_cast<uint32_t>(symbols_.size() - 1);
}

void Parser::growSymbolSlots() {
  symbolSlots_.assign(symbolSlots_.empty() ? 64 : symbolSlots_.size() * 2, 0);
  size_t mask = symbolSlots_.size() - 1;
  for (uint32_t symbol = 0; symbol < symbols_.size(); ++symbol) {
    size_t i = symbols_[symbol].hash & mask;
    while (symbolSlots_[i] != 0) i = (i + 1) & mask;
    symbolSlots_[i] = symbol + 1;
  }
}

// ---- errors ----

void Parser::fail(size_t offset) const {
  std::string token;
  if (offset >= end_) {
    token = "<EOF>";
  } else {
    size_t stop = offset;
    while (stop < end_ && stop - offset < 30 && !isSpace(text_[stop]) &&
           (stop == offset || (text_[stop] != '$' && text_[stop] != '#')))
      ++stop;
    if (stop == offset) stop = offset + 1;
    token = std::string(text_.substr(offset, stop - offset));
  }
  fail(offset, "Encountered \"" + token + "\"");
}

void Parser::fail(size_t offset, const std::string& what) const {
  int line = 1;
  int column = 1;
  size_t limit = offset < text_.size() ? offset : text_.size();
  for (size_t i = 0; i < limit; ++i) {
    char c = text_[i];
    if (c == '\n' || (c == '\r' && (i + 1 >= text_.size() || text_[i + 1] != '\n'))) {
      ++line;
      column = 1;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++column;
    }
  }
  const std::string& name = template_->getName();
  throw ParseErrorException(what + " at line " + std::to_string(line) + ", column " +
                                std::to_string(column) + " of " + name,
                            name, line, column);
}

// prefix + name in the arena, the name's first letter upper case if asked.
std::string_view Parser::joined(std::string_view prefix, std::string_view name, bool capitalize) {
  size_t size = prefix.size() + name.size();
  char* copy = static_cast<char*>(arena_.allocate(size, 1));
  prefix.copy(copy, prefix.size());
  name.copy(copy + prefix.size(), name.size());
  if (capitalize) {
    char& first = copy[prefix.size()];
    first = static_cast<char>(std::toupper(static_cast<unsigned char>(first)));
  }
  return std::string_view(copy, size);
}

// ---- text level ----

Parser::BlockResult Parser::parseBlock() {
  Nesting nesting(*this, pos_);
  // One list per nesting level, reused from block to block.
  std::vector<Node*>& nodes = nodePool_[depth_];
  nodes.clear();
  BlockResult result{nullptr, End::kEof, end_, false};
  size_t marks = contentMarks_;
  while (pos_ < end_) {
    char c = text_[pos_];
    if (c == '$') {
      size_t at = pos_;
      if (at + 1 < end_ && text_[at + 1] == '\\' && parseSlashBang(nodes, at, at)) continue;
      const ReferenceExpr* ref = parseReference(at);
      if (ref) {
        auto* node = arena_.make<ReferenceNode>();
        node->offset = static_cast<uint32_t>(at);
        node->ref = ref;
        nodes.push_back(node);
        // A #set written right after an informal reference is plain text.
        if (ref->literal.back() != '}' && lookingAtSet(pos_)) {
          emitText(nodes, pos_, pos_ + 4);
          pos_ += 4;
        }
      } else {
        emitText(nodes, at, at + 1);
        pos_ = at + 1 + bangWithoutName(at);
      }
    } else if (c == '#') {
      if (parseHash(nodes, result)) break;
    } else if (c == '\\') {
      parseBackslashes(nodes);
    } else {
      // A text run that starts with blanks before "#set(" gives the blanks to
      // the #set, which drops them.
      if (isBlank(c)) {
        size_t p = pos_;
        while (p < end_ && isBlank(text_[p])) ++p;
        if (lookingAtSet(p)) {
          pos_ = p;
          continue;
        }
      }
      size_t start = pos_;
      while (pos_ < end_ && isTextChar(text_[pos_])) ++pos_;
      emitText(nodes, start, pos_);
    }
  }
  auto* block = arena_.make<Block>();
  block->children = arena_.copy(nodes);
  result.block = block;
  result.empty = nodes.empty() && marks == contentMarks_;
  return result;
}

// "#set" is a directive only with its "(", after nothing but spaces (a tab
// there makes it text).
bool Parser::lookingAtSet(size_t at) const {
  if (at >= end_ || text_[at] != '#' || text_.compare(at + 1, 3, "set") != 0) return false;
  size_t p = at + 4;
  while (p < end_ && text_[p] == ' ') ++p;
  return p < end_ && text_[p] == '(';
}

// "$!" before what cannot begin a name or "{": the "!" is dropped, the "$"
// stays; before a reference both stay. The length to skip after the "$".
size_t Parser::bangWithoutName(size_t dollar) const {
  size_t p = dollar + 1;
  if (p >= end_ || text_[p] != '!') return 0;
  if (p + 1 < end_ && (text_[p + 1] == '{' || isIdentifierStart(text_[p + 1]))) return 0;
  return startsReference(p + 1) ? 0 : 1;
}

// Whether a reference begins at `at`: "$", "!" if any, "{" if any, a name.
bool Parser::startsReference(size_t at) const {
  if (at >= end_ || text_[at] != '$') return false;
  size_t p = at + 1;
  if (p < end_ && text_[p] == '!') ++p;
  if (p < end_ && text_[p] == '{') ++p;
  return p < end_ && isIdentifierStart(text_[p]);
}

// "$\!name": backslashes between "$" and "!" make the reference text, as
// written but for one backslash less; backslashes before the "$" stay.
bool Parser::parseSlashBang(std::vector<Node*>& nodes, size_t start, size_t dollar) {
  size_t p = dollar + 1;
  while (p < end_ && text_[p] == '\\') ++p;
  if (p >= end_ || text_[p] != '!') return false;
  size_t q = p + 1 < end_ && text_[p + 1] == '{' ? p + 2 : p + 1;
  if (q >= end_ || !isIdentifierStart(text_[q])) return false;
  parseReference(dollar, p);  // for where it ends
  emitText(nodes, start, dollar + 1);
  emitText(nodes, dollar + 2, pos_);
  return true;
}

void Parser::emitText(std::vector<Node*>& nodes, size_t from, size_t to) {
  if (from >= to) return;
  if (!nodes.empty() && nodes.back() == lastText_) {
    TextNode* last = lastText_;
    if (last->text.data() + last->text.size() == text_.data() + from) {
      last->text = std::string_view(last->text.data(), last->text.size() + (to - from));
      return;
    }
  }
  auto* node = arena_.make<TextNode>();
  node->offset = static_cast<uint32_t>(from);
  node->text = text_.substr(from, to - from);
  nodes.push_back(node);
  lastText_ = node;
}

size_t Parser::wordEnd(size_t at) const {
  size_t p = at;
  if (p < end_ && isIdentifierStart(text_[p])) {
    while (p < end_ && isWordChar(text_[p])) ++p;
  }
  return p;
}

// At "#": a comment, a directive, a block end, a macro call or plain text.
// Returns true when the block ends here (result says how).
bool Parser::parseHash(std::vector<Node*>& nodes, BlockResult& result) {
  size_t at = pos_;
  size_t p = at + 1;
  if (p < end_ && text_[p] == '#') {
    ++contentMarks_;
    skipLineComment(p + 1);
    return false;
  }
  if (p < end_ && text_[p] == '*') {
    ++contentMarks_;
    pos_ = blockCommentEnd(p + 1);
    return false;
  }
  // "#{" begins no directive: "#{if}" and its kind are text.
  size_t wordStop = wordEnd(p);
  if (wordStop == p) {
    emitText(nodes, at, at + 1);
    pos_ = at + 1;
    return false;
  }
  return parseDirective(nodes, text_.substr(p, wordStop - p), at, wordStop, result);
}

// A line comment ends with its line; one that runs into the end of the text
// is an error. A "#*" in it opens a block comment, after which the line
// comment goes on.
void Parser::skipLineComment(size_t from) {
  size_t p = from;
  while (p < end_ && text_[p] != '\n' && text_[p] != '\r') {
    p = text_[p] == '#' && p + 1 < end_ && text_[p + 1] == '*' ? blockCommentEnd(p + 2) : p + 1;
  }
  if (p >= end_) fail(end_, "Line comment without a line end");
  pos_ = p + ((text_[p] == '\r' && p + 1 < end_ && text_[p + 1] == '\n') ? 2 : 1);
}

// Block comments nest: every "#*" inside needs its own "*#". A "##" inside is
// read as one piece, so its second "#" opens nothing. Where the comment ends.
size_t Parser::blockCommentEnd(size_t from) const {
  int open = 1;
  size_t p = from;
  while (p + 1 < end_) {
    char c = text_[p];
    char d = text_[p + 1];
    if (c == '*' && d == '#') {
      p += 2;
      if (--open == 0) return p;
    } else if (c == '#' && (d == '*' || d == '#')) {
      if (d == '*') ++open;
      p += 2;
    } else {
      ++p;
    }
  }
  fail(end_, "Unterminated comment started");
}

bool Parser::parseDirective(std::vector<Node*>& nodes, std::string_view word, size_t at,
                            size_t after, BlockResult& result) {
  pos_ = after;
  if (word == "end" || word == "else") {
    eatLineEnd();
    result.end = word == "end" ? End::kEnd : End::kElse;
    result.endOffset = at;
    return true;
  }
  if (word == "elseif") {
    result.end = End::kElseIf;
    result.endOffset = at;
    return true;
  }
  if (word == "stop") {
    // Nothing after #stop is read.
    end_ = at;
    pos_ = at;
    return false;
  }
  Node* node = nullptr;
  if (word == "set") {
    node = lookingAtSet(at) ? parseSet(at) : nullptr;
  } else if (word == "if") {
    node = parseIf(at);
  } else if (word == "foreach") {
    node = parseForeach(at);
  } else if (word == "include") {
    node = parseInclude(at);
  } else if (word == "parse") {
    node = parseParse(at);
  } else if (word == "literal") {
    node = parseLiteral(at);
  } else if (word == "macro") {
    ++contentMarks_;
    parseMacroDefinition(at);
    return false;
  } else {
    node = parseMacroUse(word, at, after);
  }
  if (!node) {
    // Not a directive: the text stays as written.
    emitText(nodes, at, after);
    pos_ = after;
    return false;
  }
  node->offset = static_cast<uint32_t>(at);
  nodes.push_back(node);
  return false;
}

// A run of backslashes: before a reference or a directive it escapes (pairs
// give one backslash each, an odd one makes the reference or directive plain
// text); elsewhere it is plain text.
void Parser::parseBackslashes(std::vector<Node*>& nodes) {
  size_t start = pos_;
  size_t p = pos_;
  while (p < end_ && text_[p] == '\\') ++p;
  size_t count = p - start;
  if (p < end_ && text_[p] == '$') {
    pos_ = p;
    if (p + 1 < end_ && text_[p + 1] == '\\' && parseSlashBang(nodes, start, p)) return;
    const ReferenceExpr* ref = parseReference(p);
    if (ref) {
      auto* node = arena_.make<ReferenceNode>();
      node->offset = static_cast<uint32_t>(start);
      node->ref = ref;
      node->backslashes = static_cast<uint32_t>(count);
      nodes.push_back(node);
      return;
    }
    emitText(nodes, start, p);
    return;
  }
  size_t wordStop = p < end_ && text_[p] == '#' ? wordEnd(p + 1) : p;
  if (wordStop == p || wordStop == p + 1) {
    // No name after "#" (also "#{"): the backslashes are text.
    emitText(nodes, start, p);
    pos_ = p;
    return;
  }
  std::string_view word = text_.substr(p + 1, wordStop - p - 1);
  bool known = isDirectiveWord(word) || macros_.contains(word);
  if (!known) {
    // An escaped name of no directive or macro known here is text, even
    // if a macro of that name is defined further on.
    emitText(nodes, start, wordStop);
    pos_ = wordStop;
    return;
  }
  // Pairs give one backslash each, except before #set and #stop, where each
  // backslash stays; the odd one turns the directive to text.
  bool halved = count % 2 == 1 || (word != "set" && word != "stop");
  auto* kept = arena_.make<TextNode>();
  kept->offset = static_cast<uint32_t>(start);
  kept->text = text_.substr(start, halved ? count / 2 : count);
  if (!kept->text.empty()) nodes.push_back(kept);
  if (count % 2 == 1) {
    auto* plain = arena_.make<TextNode>();
    plain->offset = static_cast<uint32_t>(p);
    plain->text = text_.substr(p, wordStop - p);
    nodes.push_back(plain);
    pos_ = wordStop;
  } else {
    pos_ = p;
  }
}

// ---- references ----

// A reference at offset ("$" [!] [{] name (.name | .name(args))* [}]), or
// nullptr when the text there only looks like one.
const ReferenceExpr* Parser::parseReference(size_t offset) { return parseReference(offset, offset + 1); }

// The same with the "!", "{" or name at `from`.
const ReferenceExpr* Parser::parseReference(size_t offset, size_t from) {
  size_t p = from;
  bool quiet = false;
  if (p < end_ && text_[p] == '!') {
    quiet = true;
    ++p;
  }
  bool formal = false;
  if (p < end_ && text_[p] == '{') {
    formal = true;
    ++p;
  }
  if (p >= end_ || !isIdentifierStart(text_[p])) return nullptr;
  size_t rootStart = p;
  while (p < end_ && isIdentifierChar(text_[p])) ++p;
  auto* ref = arena_.make<ReferenceExpr>();
  ref->offset = static_cast<uint32_t>(offset);
  ref->quiet = quiet;
  ref->root = text_.substr(rootStart, p - rootStart);
  ref->rootHash = Context::hashOf(ref->root);
  ref->rootSymbol = symbolOf(ref->root, ref->rootHash);
  std::vector<Step>& steps = stepPool_[depth_];
  steps.clear();
  while (p + 1 < end_ && text_[p] == '.' && isIdentifierStart(text_[p + 1])) {
    size_t nameStart = p + 1;
    size_t q = nameStart;
    while (q < end_ && isIdentifierChar(text_[q])) ++q;
    Step step;
    step.name = text_.substr(nameStart, q - nameStart);
    // A "(" right before a line break opens no arguments: the reference
    // ends with this name.
    bool call = q < end_ && text_[q] == '(' &&
                !(q + 1 < end_ && (text_[q + 1] == '\n' || text_[q + 1] == '\r'));
    if (call) {
      step.method = true;
      size_t args = exprStack_.size();
      parseMethodArguments(q);
      step.args = arena_.take(exprStack_, args);
      q = pos_;
    } else {
      step.getter = joined("get", step.name, true);
      step.lowerGetter = joined("get", step.name, false);
      step.isGetter = joined("is", step.name, true);
    }
    steps.push_back(step);
    p = q;
  }
  if (formal) {
    if (p >= end_ || text_[p] != '}') fail(p);
    ++p;
  }
  ref->steps = arena_.copy(steps);
  ref->literal = text_.substr(offset, p - offset);
  pos_ = p;
  return ref;
}

// The arguments of a method from its "(" at open: values separated by
// commas, on one line, up to ")"; "()" holds none, blanks alone are an error.
void Parser::parseMethodArguments(size_t open) {
  Nesting nesting(*this, open);
  SingleLine line(*this, true);
  pos_ = open + 1;
  if (pos_ < end_ && text_[pos_] == ')') {
    ++pos_;
    return;
  }
  while (true) {
    exprStack_.push_back(parsePrimary());
    skipSpace();
    if (pos_ < end_ && text_[pos_] == ',') {
      ++pos_;
      continue;
    }
    if (pos_ < end_ && text_[pos_] == ')') {
      ++pos_;
      return;
    }
    fail(pos_);
  }
}

// ---- directives ----

void Parser::skipSpace() {
  while (pos_ < end_ && isSpace(text_[pos_])) {
    if (singleLine_ && (text_[pos_] == '\n' || text_[pos_] == '\r')) fail(pos_);
    ++pos_;
  }
}

void Parser::skipBlanks() {
  while (pos_ < end_ && isBlank(text_[pos_])) ++pos_;
}

bool Parser::atWord(std::string_view word) const {
  if (pos_ >= end_ || text_[pos_] != word[0]) return false;
  return text_.compare(pos_, word.size(), word) == 0 &&
         (pos_ + word.size() >= end_ || !isIdentifierChar(text_[pos_ + word.size()]));
}

void Parser::openParen(size_t directiveOffset) {
  skipBlanks();
  if (pos_ >= end_ || text_[pos_] != '(') fail(pos_ >= end_ ? end_ : directiveOffset);
  ++pos_;
}

void Parser::closeParen() {
  skipSpace();
  if (pos_ >= end_ || text_[pos_] != ')') fail(pos_);
  ++pos_;
  eatLineEnd();
}

// A directive's closing ")" (and "#end", "#else") takes the rest of its line
// when only blanks and the line break follow.
void Parser::eatLineEnd() {
  size_t p = pos_;
  while (p < end_ && isBlank(text_[p])) ++p;
  if (p < end_ && text_[p] == '\n') {
    pos_ = p + 1;
  } else if (p < end_ && text_[p] == '\r') {
    pos_ = (p + 1 < end_ && text_[p + 1] == '\n') ? p + 2 : p + 1;
  }
}

// A block up to its end, which must be the expected one; an empty block is
// an error.
Parser::BlockResult Parser::parseBody(End expected) {
  BlockResult body = parseBlock();
  if (body.end != expected) {
    if (body.end == End::kEof) fail(end_);
    fail(body.endOffset);
  }
  if (body.empty) fail(body.endOffset);
  return body;
}

Node* Parser::parseSet(size_t offset) {
  openParen(offset);
  SingleLine line(*this, true);
  skipSpace();
  size_t at = pos_;
  if (at >= end_ || text_[at] != '$') fail(at);
  const ReferenceExpr* target = parseReference(at);
  if (!target) fail(at);
  skipSpace();
  if (pos_ >= end_ || text_[pos_] != '=') fail(pos_);
  ++pos_;
  auto* node = arena_.make<SetNode>();
  node->target = target;
  node->value = parseExpression();
  node->text = dynamic_cast<const InterpolatedExpr*>(node->value);
  closeParen();
  return node;
}

Node* Parser::parseIf(size_t offset) {
  auto* node = arena_.make<IfNode>();
  size_t branches = branchStack_.size();
  openParen(offset);
  const Expr* condition = parseCondition();
  while (true) {
    BlockResult body = parseBlock();
    branchStack_.push_back(IfBranch{condition, body.block});
    if (body.end == End::kEof) fail(end_);
    if (body.empty) fail(body.endOffset);
    if (body.end == End::kEnd) break;
    if (body.end == End::kElse) {
      node->otherwise = parseBody(End::kEnd).block;
      break;
    }
    openParen(body.endOffset);  // #elseif
    condition = parseCondition();
  }
  node->branches = arena_.take(branchStack_, branches);
  return node;
}

// The condition of #if or #elseif and its ")".
const Expr* Parser::parseCondition() {
  SingleLine line(*this, true);
  const Expr* condition = parseExpression();
  closeParen();
  return condition;
}

Node* Parser::parseForeach(size_t offset) {
  openParen(offset);
  SingleLine line(*this, true);
  skipSpace();
  size_t at = pos_;
  if (at >= end_ || text_[at] != '$') fail(at);
  const ReferenceExpr* variable = parseReference(at);
  if (!variable || !variable->steps.empty()) fail(at);
  skipSpace();
  if (!atWord("in")) fail(pos_);
  pos_ += 2;
  auto* node = arena_.make<ForeachNode>();
  node->variable = variable->root;
  node->variableHash = variable->rootHash;
  node->variableSymbol = variable->rootSymbol;
  skipSpace();
  node->items = parsePrimary();
  closeParen();
  line.end();
  node->body = parseBody(End::kEnd).block;
  return node;
}

// Arguments of #include, #parse and macro calls: values separated by white
// space (not commas), up to the closing ")".
Span<Expr*> Parser::parseArguments() {
  size_t args = exprStack_.size();
  while (true) {
    skipSpace();
    if (pos_ >= end_) fail(end_);
    if (text_[pos_] == ')') break;
    Expr* arg = parsePrimary();
    exprStack_.push_back(arg);
  }
  closeParen();
  return arena_.take(exprStack_, args);
}

Node* Parser::parseInclude(size_t offset) {
  openParen(offset);
  SingleLine line(*this, true);
  auto* node = arena_.make<IncludeNode>();
  node->names = parseArguments();
  return node;
}

// Arguments after the first are read and left unused.
Node* Parser::parseParse(size_t offset) {
  openParen(offset);
  SingleLine line(*this, true);
  Span<Expr*> args = parseArguments();
  if (args.empty()) fail(offset, "#parse without an argument");
  auto* node = arena_.make<ParseNode>();
  node->name = args[0];
  return node;
}

// "#literal()": its body is parsed as any block and written as its source.
Node* Parser::parseLiteral(size_t offset) {
  openParen(offset);
  {
    SingleLine line(*this, true);
    closeParen();
  }
  size_t from = pos_;
  BlockResult body = parseBody(End::kEnd);
  auto* node = arena_.make<TextNode>();
  node->text = text_.substr(from, body.endOffset - from);
  return node;
}

void Parser::parseMacroDefinition(size_t offset) {
  openParen(offset);
  SingleLine line(*this, true);
  skipSpace();
  size_t nameStart = pos_;
  size_t nameStop = wordEnd(nameStart);
  if (nameStop == nameStart) fail(nameStart);
  auto macro = std::make_shared<Macro>();
  macro->name = std::string(text_.substr(nameStart, nameStop - nameStart));
  pos_ = nameStop;
  while (true) {
    skipSpace();
    if (pos_ >= end_) fail(end_);
    if (text_[pos_] == ')') break;
    size_t at = pos_;
    const ReferenceExpr* param = text_[at] == '$' ? parseReference(at) : nullptr;
    if (!param || !param->steps.empty() || param->quiet) fail(at);
    macro->parameters.emplace_back(param->root);
  }
  closeParen();
  line.end();
  ++macroBodies_;
  struct Leave {
    int& count;
    ~Leave() { --count; }
  } leave{macroBodies_};
  macro->body = parseBody(End::kEnd).block;
  macro->owner = template_;
  macros_.add(std::move(macro));
}

// "#name" that is no directive: a call of a known macro; inside a macro body
// a call of a macro found when it runs (bodies may call macros defined
// later); elsewhere "#name" alone, which becomes a call without arguments if
// the macro is defined by the end of the template, and otherwise stays text.
Node* Parser::parseMacroUse(std::string_view name, size_t offset, size_t after) {
  std::shared_ptr<const Macro> known = macros_.find(name);
  size_t p = after;
  while (p < end_ && isBlank(text_[p])) ++p;
  bool paren = p < end_ && text_[p] == '(';
  if (known && !paren) return nullptr;
  if (known || (paren && macroBodies_ > 0)) {
    pos_ = p;
    MacroCallNode* node = known ? parseMacroCall(name, offset) : tryMacroCall(name, offset);
    if (node) node->macro = known.get();
    return node;
  }
  auto* node = arena_.make<MacroCallNode>();
  node->name = name;
  node->literal = text_.substr(offset, after - offset);
  if (macroBodies_ > 0) {
    node->findWhenRun = true;
  } else {
    forwardUses_.push_back(node);
  }
  return node;
}

// A call inside a macro body of a macro not known yet: when its arguments
// do not parse, it is text as written.
MacroCallNode* Parser::tryMacroCall(std::string_view name, size_t offset) {
  size_t start = pos_;
  // The failed call's items must not stay on the stacks under those of the
  // constructs around it.
  size_t exprs = exprStack_.size();
  size_t links = linkStack_.size();
  size_t branches = branchStack_.size();
  size_t texts = deferredTexts_.size();  // nor its texts be read later
  try {
    MacroCallNode* node = parseMacroCall(name, offset);
    node->findWhenRun = true;
    return node;
  } catch (const ParseErrorException&) {
    pos_ = start;
    exprStack_.resize(exprs);
    linkStack_.resize(links);
    branchStack_.resize(branches);
    deferredTexts_.resize(texts);
    return nullptr;
  }
}

MacroCallNode* Parser::parseMacroCall(std::string_view name, size_t offset) {
  SingleLine line(*this, true);
  ++pos_;  // "("
  auto* node = arena_.make<MacroCallNode>();
  node->name = name;
  node->args = parseArguments();
  node->literal = text_.substr(offset, pos_ - offset);
  return node;
}

// ---- expressions ----

Expr* Parser::parseExpression() { return parseChain(0); }

// Precedence levels, loosest first: || && (== !=) (< > <= >=) (+ -) (* / %).
// Each level makes one flat chain of its operands. An operand is read once and
// then taken up by the levels of the operators that follow it, so a plain
// operand costs one look at the next operator rather than one per level.
Expr* Parser::parseChain(int level) {
  size_t start = pos_;
  Expr* left = parseUnary();
  for (Operator next = peekOperator(); next.level >= level; next = peekOperator()) {
    left = continueChain(next.level, left, start);
  }
  return left;
}

// The chain of one level whose first operand is read: its operands are the
// expressions of the tighter levels, up to an operator of a looser level.
Expr* Parser::continueChain(int level, Expr* first, size_t start) {
  size_t links = linkStack_.size();
  for (Operator next = peekOperator(); next.level == level; next = peekOperator()) {
    pos_ += next.length;
    Expr* operand = parseChain(level + 1);
    linkStack_.push_back(ChainLink{next.op, operand});
  }
  auto* chain = arena_.make<ChainExpr>();
  chain->offset = static_cast<uint32_t>(start);
  chain->first = first;
  chain->links = arena_.take(linkStack_, links);
  return chain;
}

// The binary operator after the spaces at pos_ (level -1 when none follows);
// pos_ stays before it.
Parser::Operator Parser::peekOperator() {
  skipSpace();
  if (pos_ >= end_) return Operator{};
  char c = text_[pos_];
  char d = pos_ + 1 < end_ ? text_[pos_ + 1] : '\0';
  switch (c) {
    case '|':
      return d == '|' ? Operator{BinaryOp::kOr, 0, 2} : Operator{};
    case '&':
      return d == '&' ? Operator{BinaryOp::kAnd, 1, 2} : Operator{};
    case '=':
      return d == '=' ? Operator{BinaryOp::kEq, 2, 2} : Operator{};
    case '!':
      return d == '=' ? Operator{BinaryOp::kNe, 2, 2} : Operator{};
    case '<':
      return d == '=' ? Operator{BinaryOp::kLe, 3, 2} : Operator{BinaryOp::kLt, 3, 1};
    case '>':
      return d == '=' ? Operator{BinaryOp::kGe, 3, 2} : Operator{BinaryOp::kGt, 3, 1};
    case '+':
      return Operator{BinaryOp::kAdd, 4, 1};
    case '-':
      // "-" right before a digit is the sign of a number, not a minus.
      return isDigit(d) ? Operator{} : Operator{BinaryOp::kSub, 4, 1};
    case '*':
      return Operator{BinaryOp::kMul, 5, 1};
    case '/':
      return Operator{BinaryOp::kDiv, 5, 1};
    case '%':
      return Operator{BinaryOp::kMod, 5, 1};
  }
  return Operator{};
}

Expr* Parser::parseUnary() {
  skipSpace();
  size_t at = pos_;
  bool bang = at < end_ && text_[at] == '!' && !(at + 1 < end_ && text_[at + 1] == '=');
  if (bang) {
    Nesting nesting(*this, at);
    ++pos_;
    auto* node = arena_.make<NotExpr>();
    node->offset = static_cast<uint32_t>(at);
    node->operand = parseUnary();
    return node;
  }
  if (at < end_ && text_[at] == '(') {
    Nesting nesting(*this, at);
    ++pos_;
    Expr* inner = parseExpression();
    skipSpace();
    if (pos_ >= end_ || text_[pos_] != ')') fail(pos_);
    ++pos_;
    return inner;
  }
  return parsePrimary();
}

// A reference, text, number, list, range or truth value.
Expr* Parser::parsePrimary() {
  skipSpace();
  size_t at = pos_;
  if (at >= end_) fail(end_);
  char c = text_[at];
  if (c == '$') {
    const ReferenceExpr* ref = parseReference(at);
    if (!ref) fail(at);
    return const_cast<ReferenceExpr*>(ref);
  }
  if (c == '"' || c == '\'') return parseString();
  if (isDigit(c) || (c == '-' && at + 1 < end_ && isDigit(text_[at + 1]))) return parseNumber();
  if (c == '[') return parseList();
  if (atWord("true") || atWord("false")) {
    bool value = text_[at] == 't';
    pos_ += value ? 4 : 5;
    auto* literal = arena_.make<LiteralExpr>();
    literal->offset = static_cast<uint32_t>(at);
    literal->value = Value(value);
    return literal;
  }
  fail(at);
}

Expr* Parser::parseString() {
  size_t at = pos_;
  char quote = text_[at];
  size_t p = stringEnd(at);
  std::string_view content = text_.substr(at + 1, p - at - 1);
  pos_ = p + 1;
  bool interpolate = quote == '"' && (content.find('$') != std::string_view::npos ||
                                      content.find('#') != std::string_view::npos);
  if (!interpolate) {
    auto* literal = arena_.make<LiteralExpr>();
    literal->offset = static_cast<uint32_t>(at);
    literal->value = Value(content);
    return literal;
  }
  auto* node = arena_.make<InterpolatedExpr>();
  node->offset = static_cast<uint32_t>(at);
  deferredTexts_.push_back(DeferredText{node, at + 1, p, macroBodies_});
  return node;
}

// The content of a double-quoted text, parsed as a template of its own within
// its bounds, as if in the macro body it was written in, if any.
void Parser::parseDeferredText(const DeferredText& text) {
  size_t savedEnd = end_;
  pos_ = text.from;
  end_ = text.to;
  macroBodies_ = text.macroBodies;
  BlockResult body = parseBlock();
  if (body.end != End::kEof) fail(body.endOffset);
  end_ = savedEnd;
  macroBodies_ = 0;
  text.expr->body = body.block;
}

// Where the text written at `at` closes. A text holds no line end. In double
// quotes a backslash takes one of n t b r f \ ' " or an octal digit (kept
// as written); in single quotes it is a character like any other.
size_t Parser::stringEnd(size_t at) const {
  char quote = text_[at];
  size_t p = at + 1;
  for (; p < end_ && text_[p] != quote; ++p) {
    char c = text_[p];
    if (c == '\n' || c == '\r') fail(p, "Line end in a text");
    if (c == '\\' && quote == '"') {
      if (p + 1 >= end_ || !isStringEscape(text_[p + 1])) fail(p, "Invalid escape in a text");
      ++p;
    }
  }
  if (p >= end_) fail(at, "Unterminated text");
  return p;
}

Expr* Parser::parseNumber() {
  size_t at = pos_;
  size_t p = at + (text_[at] == '-' ? 1 : 0);
  while (p < end_ && isDigit(text_[p])) ++p;
  int32_t value = 0;
  auto [ptr, ec] = std::from_chars(text_.data() + at, text_.data() + p, value);
  if (ec != std::errc() || ptr != text_.data() + p) fail(at, "Number out of range");
  pos_ = p;
  auto* literal = arena_.make<LiteralExpr>();
  literal->offset = static_cast<uint32_t>(at);
  literal->value = Value(value);
  return literal;
}

Expr* Parser::parseList() {
  size_t at = pos_;
  Nesting nesting(*this, at);
  ++pos_;
  size_t items = exprStack_.size();
  // Only "[]" is the empty list: blanks alone are an error.
  if (pos_ < end_ && text_[pos_] == ']') {
    ++pos_;
  } else {
    skipSpace();
    size_t firstAt = pos_;
    Expr* first = parsePrimary();
    skipSpace();
    if (text_.compare(pos_, 2, "..") == 0 && pos_ + 2 <= end_) {
      if (!isRangeBound(firstAt)) fail(pos_);
      return parseRange(at, first);
    }
    exprStack_.push_back(first);
    while (pos_ < end_ && text_[pos_] == ',') {
      ++pos_;
      Expr* item = parsePrimary();
      exprStack_.push_back(item);
      skipSpace();
    }
    if (pos_ >= end_ || text_[pos_] != ']') fail(pos_);
    ++pos_;
  }
  auto* list = arena_.make<ListExpr>();
  list->offset = static_cast<uint32_t>(at);
  list->items = arena_.take(exprStack_, items);
  return foldConstant(list);
}

// Whether the value read at `at` may bound a range: a whole number or a
// reference, told by their first character.
bool Parser::isRangeBound(size_t at) const {
  return at < end_ && (text_[at] == '$' || text_[at] == '-' || isDigit(text_[at]));
}

// The rest of a range from its "..".
Expr* Parser::parseRange(size_t at, Expr* from) {
  pos_ += 2;
  auto* range = arena_.make<RangeExpr>();
  range->offset = static_cast<uint32_t>(at);
  range->from = from;
  skipSpace();
  if (!isRangeBound(pos_)) fail(pos_);
  range->to = parsePrimary();
  skipSpace();
  if (pos_ >= end_ || text_[pos_] != ']') fail(pos_);
  ++pos_;
  return foldConstant(range);
}

// A list or range made only of literals has its items made once, here.
Expr* Parser::foldConstant(Expr* expr) {
  auto literal = [](const Expr* e) { return dynamic_cast<const LiteralExpr*>(e); };
  auto items = std::make_shared<List>();
  if (auto* range = dynamic_cast<RangeExpr*>(expr)) {
    auto* from = literal(range->from);
    auto* to = literal(range->to);
    if (!from || !to || !from->value.isInt() || !to->value.isInt()) return expr;
    int64_t x = from->value.asInt();
    int64_t y = to->value.asInt();
    if ((x <= y ? y - x : x - y) >= 4096) return expr;
    items->items.reserve(static_cast<size_t>(x <= y ? y - x : x - y) + 1);
    for (int64_t i = x;; i += x <= y ? 1 : -1) {
      items->items.emplace_back(static_cast<int32_t>(i));
      if (i == y) break;
    }
  } else if (auto* list = dynamic_cast<ListExpr*>(expr)) {
    items->items.reserve(list->items.size());
    for (const Expr* item : list->items) {
      if (!literal(item)) return expr;
      items->items.push_back(literal(item)->value);
    }
  } else {
    return expr;
  }
  auto* folded = arena_.make<ConstantListExpr>();
  folded->offset = expr->offset;
  folded->items = std::move(items);
  return folded;
}

}  // namespace vtl
