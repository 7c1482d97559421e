// The template language: references, escapes, directives, expressions and
// the line breaks directives eat.

#include <gtest/gtest.h>

#include "TemplateTesting.h"
#include "vtl/Exceptions.h"

namespace {

struct Case {
  const char* text;
  const char* expected;
};

vtl::Context standardContext() {
  vtl::Context c;
  c.put("name", vtl::Value("Joe"));
  c.put("n", vtl::Value(5));
  c.put("t", vtl::Value(true));
  c.put("f", vtl::Value(false));
  c.put("empty", vtl::Value(""));
  c.put("items", vtl::Value::stringList({"a", "b", "c"}));
  return c;
}

void expectAll(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    vtl::Context context = standardContext();
    EXPECT_EQ(vtltest::evaluate(c.text, context), c.expected) << "template: " << c.text;
  }
}

TEST(References, ResolveOrStayAsWritten) {
  expectAll({
      {"$name $!name ${name} $!{name}", "Joe Joe Joe Joe"},
      {"$nope|$!nope|${nope}|$!{nope}", "$nope||${nope}|"},
      {"$name.length() $name.toUpperCase().length()", "3 3"},
      {"$nope.foo($name, 'x')", "$nope.foo($name, 'x')"},
      {"$name.nosuch and $name.nosuch()", "$name.nosuch and $name.nosuch()"},
      {"$!name.nosuch()|", "|"},
      {"$name-x $name_", "$name-x $name_"},
      {"#set($_x = 'u')$_x ${_x} $!_y|$name._x", "u u |$name._x"},
      {"info@$name.de", "info@$name.de"},
      {"$ 5 $5 ${ } $-x", "$ 5 $5 ${ } $-x"},
      {"End $name. Next", "End Joe. Next"},
      {"$items $t $n", "[a, b, c] true 5"},
      {"${name}s", "Joes"},
  });
}

TEST(References, EscapesDependOnWhetherTheReferenceHasAValue) {
  expectAll({
      {"\\$name \\\\$name \\\\\\$name \\$!name", "$name \\Joe \\$name $!name"},
      // Without a value an even run stays; an odd one gives one per pair and itself.
      {"\\$nope|\\\\$nope|\\\\\\$nope|\\\\\\\\$nope|\\\\\\\\\\$nope",
       "\\$nope|\\\\$nope|\\\\$nope|\\\\\\\\$nope|\\\\\\$nope"},
      {"\\$!nope|\\\\$!nope|\\\\\\$!nope|\\\\\\\\\\${nope}", "\\$!nope|\\\\|\\\\$!nope|\\\\\\${nope}"},
      {"\\#if \\#end \\#foo \\\\#if(true)x#end", "#if #end \\#foo \\x"},
      // Before #stop and #set each backslash of an even run stays.
      {"a \\#stop b \\\\\\#stop c \\\\#stop d", "a #stop b \\#stop c \\\\"},
      {"\\\\#set($x = 1)$x \\\\\\#set($x = 2)$x \\\\#set $x", "\\\\1 \\#set(1 = 2)1 \\\\#set 1"},
      {"C:\\dir\\file \\ end", "C:\\dir\\file \\ end"},
      // Braces after "#" make no directive, so the backslash escapes nothing.
      {"\\#{if} \\#{end}x", "\\#{if} \\#{end}x"},
  });
}

TEST(References, BangBeforeNoNameIsDropped) {
  expectAll({
      {"5$! only $!. $!$ $!# $!]", "5$ only $. $$ $# $]"},
      {"$!!name $!!!name $!1 $!name! $!{name}!", "$!name $!!name $1 Joe! Joe!"},
      // Before "{" it stays, as does a backslash before the "$".
      {"$!{ } \\$!. \\\\$!.", "$!{ } \\$. \\\\$."},
      {"#set($s = \"<$!>\")$s", "<$>"},
  });
}

TEST(Comments, BlockCommentsNestLineCommentsNeedTheirLineEnd) {
  expectAll({
      {"a#* one #* two *# three *#b", "ab"},
      {"c#*#d*#e f#**#g#***#h", "ce fgh"},
      // "##" inside is read as one piece: its second "#" opens nothing.
      {"#* ##*# x", " x"},
      {"a ##\nb ## c\r\nd ## e\rf", "a b d f"},
  });
  for (const char* text : {"a ## end", "##", "x\n## last", "#* a #* b *#", "#set($s = \"p ## q\")"}) {
    EXPECT_THROW(vtltest::evaluate(text), vtl::ParseErrorException) << text;
  }
}

// What looks like a directive but is not written as one stays text.
TEST(Directives, OnlyTheirOwnSpellingIsADirective) {
  expectAll({
      {"#if(true)A#{else}B#end|#{if}(true)C#{end}|#{set}($q = 1)$q|#{foreach}($i in [1])$i#{end}|#{macro}(m)",
       "A#{else}B|#{if}(true)C#{end}|#{set}($q = 1)$q|#{foreach}($i in [1])$i#{end}|#{macro}(m)"},
      // #set needs its "(" after nothing but spaces; other directives take tabs too.
      {"Total: #set $x = 5 done\n#set\n$x|a #set", "Total: #set $x = 5 done\n#set\n$x|a #set"},
      {"#set\t($x = 1)$x| #set \t($x = 2)|#set  ($x = 3)$x|#if\t(true)A#end|#foreach\t($i in [1])$i#end",
       "#set\t($x = 1)$x| #set \t($x = 2)|3|A|1"},
  });
  for (const char* text : {"#if(true)A#{end}", "#if(true)A#{elseif}(true)B#{end}", "#{if}(true)A#end"}) {
    EXPECT_THROW(vtltest::evaluate(text), vtl::ParseErrorException) << text;
  }
}

TEST(Whitespace, DirectivesEatTheirLineEnd) {
  expectAll({
      {"a\n  #set($x = 1)\nb", "a\n  b"},
      {"#set($x = 1)  \nb", "b"},
      {"x #set($x = 1)y", "x y"},
      {"$name #set($x = 1)y", "Joey"},
      // Right after an informal reference, #set is plain text.
      {"[$name#set($x = 1)$x][${name}#set($x = 2)$x][$name\t#set($x = 3)$x]",
       "[Joe#set($x = 1)$x][Joe2][Joe3]"},
      {"#if(true)\n  a\n#end\nb", "  a\nb"},
      {"#if(true) \t\na#end", "a"},
      {"#if(false)a#else  \nb#end", "b"},
      {"#if(true)a#else b#end|", "a|"},
      {"#if(false)a#else b#end|", " b|"},
      {"#foreach($i in [1..2])$i\n#end", "1\n2\n"},
      {"#foreach($i in [1..2])$i#end \r\nz", "12z"},
      {"a ## comment\nb", "a b"},
      {"a #* x\ny *# b #** doc *#c", "a  b c"},
      {"#macro(m)x#end\n#m()\ny", "xy"},
  });
}

TEST(Directives, IfForeachSetAndMacros) {
  expectAll({
      {"#if($n < 3)a#elseif($n < 6)b#elseif(true)c#else\nd#end", "b"},
      {"#if($nope)a#elseif($f)b#else\nc#end", "c"},
      {"#foreach($i in $items)$velocityCount$i#end", "1a2b3c"},
      {"#foreach($i in [3..1])$i#end #foreach($i in [-1..1])$i#end", "321 -101"},
      {"#foreach($i in $name)x#end#foreach($i in $nope)x#end.", "."},
      {"#foreach($a in [1, 2])#foreach($b in [1]) #end$velocityCount#end", " 1 2"},
      {"#set($i = 'keep')#foreach($i in [1, 2])-#end$i", "--keep"},
      {"#set($s = \"$name and #if($t)yes#end\")$s", "Joe and yes"},
      {"#set($s = '$name')$s", "$name"},
      {"#set($l = [$name, 1, [2], true, []])$l", "[Joe, 1, [2], true, []]"},
      {"#set($r = [$n..2])$r $r.size()", "[5, 4, 3, 2] 4"},
      {"#set($x = 1)#set($x = $nope)$x|#set($x = $name.nosuch())$x", "1|1"},
      // A call with the wrong number of arguments renders nothing.
      {"#macro(m $a)[$a]#end#m($name)#m('x') #m(1 2)|#m()|", "[Joe][x] ||"},
      {"#macro(inc $v)#set($v = 2)#end#set($c = 1)#inc($c)$c", "2"},
      {"#macro(show $v)$v$v#end#set($c = 1)#show(\"$c #set($c = $c + 1)\")", "12"},
      // Parameters bound to values are the macro's own: setting one from
      // another copies, and neither reaches the caller.
      {"#macro(cp $a $b $c)#set($a = 'x')#set($b = $a)#set($c = $b)$a$b$c#end#cp(1 2 3)$a", "xxx$a"},
      {"#macro(tw $a)#set($a = $a + 1)#set($a = $a + 1)$a#end#tw(1)#set($k = 5)#tw($k)$k", "377"},
      // Before its definition the name alone is a call; "()" stays text.
      {"#m2()#macro(m2)x#end#m2()", "x()x"},
      {"#m3('a')|#macro(m3 $v)<$v>#end#m3('b')|#nomacro()", "('a')|<b>|#nomacro()"},
      {"\\#m4()|\\\\#m4|#macro(m4)y#end\\#m4()", "\\#m4()|\\\\#m4|#m4()"},
      // The first definition holds.
      {"#macro(d)1#end#macro(d)2#end#d()", "1"},
      // A macro may call itself and macros defined after it.
      {"#macro(down $n)$n#if($n > 0)#set($k = $n - 1)#down($k)#end#end#down(3)", "3210"},
      {"#macro(outer)[#inner('x')]#end#macro(inner $v)$v$v#end#outer()", "[xx]"},
      {"#macro(body)#later($name $name)#end#body()", "#later($name $name)"},
      // A call in a body whose arguments do not parse is text, also inside
      // another call's argument.
      {"#macro(outer)#later(\"#inner(1 ]\" 2)#end#macro(later $a $b)<$a|$b>#end#outer()", "<#inner(1 ]|2>"},
      // A null argument shows as the caller wrote it.
      {"#macro(show $v)[$v|$v.length()|${v}|$!v]#end#show($nothing)#show($nothing.x)",
       "[$nothing|$nothing.length()|${nothing}|][$nothing.x|$nothing.x.length()|${nothing.x}|]"},
      {"#foo(1) #{bar} # #5 #.", "#foo(1) #{bar} # #5 #."},
      {"a#stop b #if(", "a"},
  });
}

TEST(Directives, LiteralWritesItsBodyAsWritten) {
  expectAll({
      {"#foreach($i in [1, 2])#literal()$i#if(true)\nx\n#end#end#end", "$i#if(true)\nx\n#end$i#if(true)\nx\n#end"},
      {"#macro(m $a)#literal() ## $a\n#end$a#end#m('x')", " ## $a\nx"},
      {"#set($s = \"<#literal()#* c *#$name#end>\")$s", "<#* c *#$name>"},
      {"  #literal()\n  $name\n  #end\n|", "    $name\n  |"},
      // Its body is parsed: a "#end" in a comment closes nothing.
      {"#literal()#* #end *#a#end", "#* #end *#a"},
      {"\\#literal()x|\\\\#literal()y#end", "#literal()x|\\y"},
  });
  for (const char* text : {"#literal()#if(true)x#end", "#literal()#* x#end", "#literal(1)x#end", "#literal x#end"}) {
    EXPECT_THROW(vtltest::evaluate(text), vtl::ParseErrorException) << text;
  }
}

TEST(Blocks, ACommentIsContent) {
  expectAll({
      {"#if(true)#* c *##else\nx#end|#if(false)x#elseif(true)## c\n#end|", "||"},
      {"#foreach($i in [1, 2])\n  ## $i\n#end|#macro(m)#**##end#m()|", "    ||"},
      {"#foreach($i in [1, 2])#macro(m)x#end#end#m()", "x"},
  });
}

TEST(Comments, ABlockCommentInsideALineComment) {
  expectAll({
      {"#foreach($i in [1, 2])$i## a #* b\n c *# d\n#end.", "12."},
      {"#macro(m)M## #* *#\n#end#m()", "M"},
      {"  ## #* a\n *##* b *#\nz", "  z"},
  });
}

TEST(References, BangBeforeAReferenceAndSlashesBeforeTheBang) {
  expectAll({
      {"#set($s = \"$!$name|$\\\\!{name}.x\")$s", "$!Joe|$\\!{name}.x"},
      {"#foreach($i in [1])$!$!i $!${nope}#end", "$!1 $!${nope}"},
      {"$\\!name.length() \\$\\!name $\\! $\\!.", "$!name.length() \\$!name $\\! $\\!."},
  });
}

TEST(Macros, NamesAndCallsInTexts) {
  expectAll({
      {"#macro(_ $a)<$a>#end#macro(_b_1)B#end#_(1)#_b_1()|\\#_b_1()", "<1>B|#_b_1()"},
      // A text is read when the whole template is: it calls macros defined after it.
      {"#foreach($i in [1, 2])#set($s = \"#later($i)\")$s#end#macro(later $v)[$v]#end", "[1][2]"},
      {"#macro(outer)#set($s = \"#later()\")$s#end#macro(later)L#end#outer()", "L"},
      {"#set($s = \"#never() #later()\")$s#macro(later)L#end", "#never() L"},
      // A call whose arguments do not parse leaves no text of them to be read.
      {"#macro(o)#later(\"#if(true)\" ]#end#end#o()", "#later(\"\" ]"},
  });
}

TEST(References, MethodArgumentsStayOnTheirLine) {
  expectAll({
      // "(" before a line break opens no arguments: the reference ends at the name.
      {"$name.concat(\n'x')|$!name.trim(\r\n)|$name.length(\n)", "$name.concat(\n'x')|(\r\n)|$name.length(\n)"},
      {"#set($s = [$name.substring( 1 ), $name.concat(\"x\" )])$s", "[oe, Joex]"},
  });
}

TEST(Expressions, IntegersTruthAndEquality) {
  expectAll({
      {"#set($x = 7 / 2)$x|#set($x = -7 / 2)$x|#set($x = -7 % 3)$x", "3|-3|-1"},
      {"#set($x = 2147483647 + 1)$x|#set($x = -2147483648 / -1)$x", "-2147483648|-2147483648"},
      {"#set($x = 1)#set($x = 5 / 0)$x #set($x = 5 % 0)$x", "11"},
      {"#set($x = 1)#set($x = 'a' + 1)$x", "1"},
      {"#set($x = 2 + 3 * 4)$x|#set($x = (2 + 3) * 4)$x|#set($x = 10 - 2 - 3)$x", "14|20|5"},
      {"#if($n == '5')A#else\nB#end", "B"},
      {"#if($nope == $nope)A#else\nB#end #if($nope != 1)C#end", "B "},
      // Values of different classes are neither equal nor unequal.
      {"#if($n != '5')A#else\nB#end #if($n != 5)C#else\nD#end #if($n != 6)E#end", "B D E"},
      {"#if($items != ['a'])A#end #if($t != 1)B#end #if($name != 'Jo')C#end", "A  C"},
      {"#if($name < 5)A#else\nB#end", "B"},
      {"#if(!$nope && !$f)A#end #if($f || $t)B#end #if($f || $nope)C#end", "A B "},
      {"#if($empty)A#end", "A"},
      // Only references, truth values and operators have a truth: what is
      // written as a number, text, list or sum is never true.
      {"#if(5)A#end|#if('x')B#end|#if([1])C#end|#if([1..2])D#end|#if(\"$n\")E#end|#if(1 + 1)F#end", "|||||"},
      {"#if(!5)A#end #if(!'x' && !\"$n\")B#end #if(true && 5)C#end #if(5 || $t)D#end #if((5))E#end", "A B  D "},
      {"#set($x = !5)$x #set($y = 5 && true)$y #set($z = 'a' || $t)$z", "truefalsetrue"},
      {"#if($items == ['a', 'b', 'c'])A#end", "A"},
      {"#if($n >= 5 && $n <= 5 && !($n > 5) && !($n < 5))A#end", "A"},
  });
}

// A text literal holds no line end. In double quotes a backslash takes only
// n t b r f \\ ' " or an octal digit, all kept as written; in single quotes
// it is a plain character.
TEST(Expressions, TextLiteralsKeepWhatIsWritten) {
  expectAll({
      {"#set($a = \"a\\tb\\\"c\\'d\\\\e\\0f\")[$a]", "[a\\tb\\\"c\\'d\\\\e\\0f]"},
      {"#set($b = 'x\\u0042\\$n\\')[$b] #set($c = 'it\"s')[$c]", "[x\\u0042\\$n\\] [it\"s]"},
  });
  for (const char* text : {"#set($m = 'a\nb')", "#set($m = \"a\rb\")", "#set($b = \"\\$n\")",
                           "#set($b = \"x\\#y\")", "#set($b = \"\\u0041\")", "#set($b = \"\\x\")",
                           "$name.concat(\"\\$\")", "#set($s = \"e #* f\")"}) {
    EXPECT_THROW(vtltest::evaluate(text), vtl::ParseErrorException) << text;
  }
}

TEST(Expressions, OperatorsBindByLevelInAnyOrder) {
  expectAll({
      // Tighter after looser, looser after tighter, and back again.
      {"#set($x = 1 + 2 * 3 - 4 / 2 % 3 + 10)$x", "15"},
      {"#set($x = 2 * 3 + 4 * 5 - 6 * 1)$x", "20"},
      {"#set($x = 20 - 2 * 3 * 2 - 1)$x", "7"},
      {"#if(1 + 2 * 3 == 7 && 2 < 3 || false)A#end #if(false || 1 < 2 == true)B#end", "A B"},
      {"#if(1 + 1 == 2 == true)A#end #if(2 * 2 <= 4 && 3 >= 3 * 1 && $n > 4)B#end", "A B"},
      {"#if($n == 5 || $n == 6 && false)A#end #if(($n == 5 || $n == 6) && false)B#end", "A "},
      {"#set($x = $n - -1)$x|#set($x = 3 * -2)$x|#set($x = 8 - 2 - 1 * 3)$x", "6|-6|3"},
      {"#if($n<6&&$n>4)A#end#if($n!=5||$n>=5)B#end#if(!$f&&$t)C#end", "ABC"},
  });
}

// A value holds one payload chosen by its kind: copies and moves between
// any two kinds, onto itself and from inside what it holds keep the value.
TEST(Values, CopiesAndMovesBetweenEveryKind) {
  auto list = std::make_shared<vtl::List>();
  list->items = {vtl::Value(1), vtl::Value("x")};
  const std::vector<std::pair<vtl::Value, std::string>> values = {
      {vtl::Value(), "null"},
      {vtl::Value(true), "true"},
      {vtl::Value(-7), "-7"},
      {vtl::Value("short"), "short"},
      {vtl::Value(std::string(100, 'L')), std::string(100, 'L')},
      {vtl::Value(list), "[1, x]"},
  };
  for (const auto& [source, text] : values) {
    vtl::Value copy(source);
    EXPECT_EQ(copy.toString(), text);
    EXPECT_EQ(copy.kind(), source.kind());
    copy = copy;
    EXPECT_EQ(copy.toString(), text);
    for (const auto& [target, targetText] : values) {
      vtl::Value assigned = target;
      assigned = source;
      EXPECT_EQ(assigned.toString(), text) << "copied over " << targetText;
      vtl::Value moved = target;
      vtl::Value taken = source;
      moved = std::move(taken);
      EXPECT_EQ(moved.toString(), text) << "moved over " << targetText;
    }
    EXPECT_EQ(source.toString(), text);
  }
  // The source lives in the list the target gives up.
  vtl::Value holder(std::make_shared<vtl::List>(*list));
  holder = holder.asList()->items[1];
  EXPECT_EQ(holder.toString(), "x");
  vtl::Value mover(std::make_shared<vtl::List>(*list));
  mover = std::move(mover.asList()->items[0]);
  EXPECT_EQ(mover.toString(), "1");
  EXPECT_EQ(list->items.size(), 2u);
  // A text set over each kind, also from a part of the value's own text.
  for (const auto& [target, targetText] : values) {
    vtl::Value set = target;
    set.setText("new text");
    EXPECT_EQ(set.toString(), "new text") << "set over " << targetText;
    set.setText(std::string_view(set.asString()).substr(4));
    EXPECT_EQ(set.toString(), "text");
    set.setText(set.asString());
    EXPECT_EQ(set.toString(), "text");
    set.setText(std::string(40, 'y'));
    set.setText(std::string_view(set.asString()).substr(30));
    EXPECT_EQ(set.toString(), std::string(10, 'y'));
  }
}

// Values shared between variables, loop turns and renderings.
TEST(Values, SharedValuesAndTheirChanges) {
  expectAll({
      // A list written in the template is new at every evaluation.
      {"#foreach($i in [1..3])#set($l = [1, 2])$l.add($i)$l #end", "true[1, 2, 1] true[1, 2, 2] true[1, 2, 3] "},
      // Variables share a list, as Java references do.
      {"#set($a = [1])#set($b = $a)$b.add(2)$a", "true[1, 2]"},
      // A text is copied: the first variable changes alone.
      {"#set($a = 'one')#set($b = $a)#set($a = 'two')$b $a", "one two"},
      {"#set($s = 'x')#foreach($i in [1..3])#set($s = \"$s$i\")#end$s", "x123"},
      {"#set($name = \"$name$name\")$name", "JoeJoe"},
      {"#set($t = $n)#set($n = 'five')$t $n", "5 five"},
      {"#foreach($x in $items)#set($items = 'gone')$x#end $items", "abc gone"},
  });
  // A context value a template changes stays changed for the next rendering.
  auto engine = vtltest::engineFor(".");
  vtl::Context context = standardContext();
  EXPECT_EQ(vtltest::evaluate(*engine, context, "$items.add('d')"), "true");
  EXPECT_EQ(vtltest::evaluate(*engine, context, "$items"), "[a, b, c, d]");
}

// #set of an interpolated text and #foreach write their variables in place:
// over any earlier value, through macro parameters, with null items.
TEST(Directives, SetAndForeachWriteTheirVariablesInPlace) {
  expectAll({
      {"#set($n = \"n$n\")$n|#set($items = \"$items\")$items|#set($t = \"$f\")$t", "n5|[a, b, c]|false"},
      {"#set($s = \"$name\")#set($s = \"$s.length() $s\")$s", "3 Joe"},
      {"#macro(setp $p)#set($p = \"<$p>\")#end#set($v = 'x')#setp($v)$v", "<x>"},
      {"#macro(setl)#set($loc = \"[$name]\")$loc#end#setl() $loc", "[Joe] [Joe]"},
      {"#macro(setq $p)#set($p = \"q$p\")$p#end#setq('lit')", "qlit"},
      // A null item leaves the variable as it was.
      {"#foreach($x in [1, $nope, 3])$x,#end", "1,1,3,"},
      {"#foreach($x in [1, 2])#foreach($x in ['a'])$x#end$x#end|$!x", "a1a2|"},
      {"#foreach($x in [1, 2])#set($x = \"$x$x\")$x $velocityCount #end", "11 1 22 2 "},
      {"#macro(loop $l)#foreach($x in $l)$x$velocityCount#end#end#loop($items) #loop([7])", "a1b2c3 71"},
      {"#set($x = 'kept')#foreach($x in $items)$x#end$x", "abckept"},
  });
}

// Output is collected in pieces of any size, flushed to the writer once
// large, and interpolated texts are built in buffers of their own.
TEST(Output, PiecesOfEverySizeArriveWholeAndInOrder) {
  std::string counted;
  for (int i = 1; i <= 30000; ++i) counted += std::to_string(i) + ",";
  std::string words = "#foreach($w in [";
  std::string bracketed;
  for (size_t n = 0; n <= 33; ++n) {
    words += (n ? ", '" : "'") + std::string(n, 'w') + "'";
    bracketed += "[" + std::string(n, 'w') + "]";
  }
  words += "])[$w]#end";
  const std::string big(100000, 'b');
  const std::string wide(70000, 'q');
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"#foreach($i in [1..30000])$i,#end", counted},
      {words, bracketed},
      {"x" + big + "y$n", "x" + big + "y5"},
      {"#foreach($i in [1..3])" + wide + "$i#end", wide + "1" + wide + "2" + wide + "3"},
      {"#set($s = \"" + big + "$n\")$s|$s", big + "5|" + big + "5"},
      {"#set($s = \"a$n\")#set($t = \"$s$s$s$s$s$s$s$s$s$s$s$s\")$t", "a5a5a5a5a5a5a5a5a5a5a5a5"},
      {"#set($m = -2147483647 - 1)$m|#set($z = 0)$z|#set($z = -1)$z|$t|$f", "-2147483648|0|-1|true|false"},
      // An interpolated text rendered while another is being built.
      {"#macro(wrap $v)#set($w = \"[$v]\")$w#end#set($a = \"<#wrap($n)>\")$a $w",
       "<[5]> [5]"},
      {"#macro(wrap $v)#set($w = \"[$v]\")$w#end#set($a = \"<#wrap($name)#wrap($a)>\")$a",
       "<[Joe][$a]>"},
      {"#foreach($i in [1..3])#set($s = \"$i$i\")$s #end", "11 22 33 "},
  };
  for (const auto& [text, expected] : cases) {
    vtl::Context context = standardContext();
    std::string out = vtltest::evaluate(text, context);
    EXPECT_EQ(out.size(), expected.size()) << "template: " << text.substr(0, 80);
    EXPECT_TRUE(out == expected) << "template: " << text.substr(0, 80);
  }
}

TEST(ParseErrors, NameTemplateLineAndColumn) {
  struct ErrorCase {
    const char* text;
    int line;
    int column;
  };
  std::vector<ErrorCase> cases = {
      {"a\n #end", 2, 2},
      {"#if(true)x", 1, 11},
      {"x #else", 1, 3},
      {"#foreach($i)x#end", 1, 12},
      {"#foreach($i [1..2])x#end", 1, 13},
      {"${name", 1, 7},
      {"#set($x = )", 1, 11},
      {"#set($x = \"abc)", 1, 11},
      {"ab\n#* unterminated", 2, 16},
      {"$name.m(", 1, 9},
      {"#set($x = 99999999999)", 1, 11},
      {"#set($x = $n -1)", 1, 14},
      {"#if(true)#stop#end", 1, 10},
      {"#if $x", 1, 1},
  };
  for (const ErrorCase& c : cases) {
    try {
      vtltest::evaluate(c.text);
      ADD_FAILURE() << "parsed: " << c.text;
    } catch (const vtl::ParseErrorException& e) {
      EXPECT_EQ(e.getTemplateName(), "test.vm");
      EXPECT_EQ(e.getLineNumber(), c.line) << c.text;
      EXPECT_EQ(e.getColumnNumber(), c.column) << c.text;
      EXPECT_NE(std::string(e.what()).find("of test.vm"), std::string::npos) << e.what();
    }
  }
}

}  // namespace
