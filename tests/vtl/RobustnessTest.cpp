// Templates that are broken, huge or endlessly recursive end in a parse or
// render error, never in a crash, a hang or an exhausted stack.

#include <gtest/gtest.h>

#include <string>

#include "TemplateTesting.h"
#include "support/TempDir.h"
#include "vtl/Exceptions.h"

namespace {

std::string repeat(const std::string& piece, int times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

TEST(BrokenTemplates, UnclosedDirectivesAreParseErrors) {
  for (const char* text : {"#if(", "#if($a", "#if($a)x", "#if($a)x#else", "#foreach($i in", "#foreach($i in $l)",
                           "#macro(", "#macro(m $a", "#macro(m)x", "#set($a", "#set($a = \"x", "$a.b(", "$a.b($c",
                           "${a", "#parse(", "#include(\"x\"", "#* open", "#set($a = [1..", "#set($a = [1, 2"}) {
    EXPECT_THROW(vtltest::evaluate(text), vtl::ParseErrorException) << text;
  }
}

TEST(BrokenTemplates, WhatTheLanguageDoesNotHaveIsAParseError) {
  for (const char* text : {
           // No word operators.
           "#if($a and $b)x#end", "#if($a or $b)x#end", "#if(not $a)x#end", "#if($n eq 5)x#end",
           "#if($n ne 5)x#end", "#if($n gt 4)x#end", "#if($n ge 4)x#end", "#if($n lt 4)x#end",
           "#if($n le 4)x#end",
           // No commas between directive arguments.
           "#macro(m, $a)$a#end", "#macro(m $a)$a#end#m('1', '2')", "#include('a', 'b')",
           // No empty block; the line end a directive eats leaves nothing.
           "#foreach($i in [1..3])#end", "#foreach($i in [1..3])\n#end", "#if(true)#end", "#if($a)\n#else x#end",
           "#if($a)x#elseif($b)#end", "#if($a)x#else\n#end", "#macro(m)#end", "#macro(m)\n#end#m()",
           "#literal()#end", "#foreach($i in [1])#if(true)\n#end#end", "#set($s = \"#if(true)#end\")",
           // Directive arguments stay on one line.
           "#if($a &&\n $b)x#end", "#set($l = [1,\n 2])", "#foreach($i in\n $l)x#end",
           "#if(false)#elseif($a\n)x#end", "#include(\n'a')", "#parse('a'\r\n)", "#literal(\n)x#end",
           "#macro(m\n)x#end", "#macro(m $a\r$b)x#end", "#macro(m $a)x#end#m(1\n)",
           "#macro(m $a)x#end#macro(n)#m(\n1)#end",
           // Method arguments too; blanks alone are no arguments.
           "$a.b(1,\n2)", "$a.b( 1\n)", "$a.b( )", "$a.b(\t)", "#set($x = $a.b( ))", "#if($a.b(1\r\n))x#end",
           // The empty list is "[]" only; range bounds are numbers or references.
           "#set($l = [ ])", "#set($l = [\t])", "#foreach($i in ['1'..3])x#end", "#set($l = [1..\"3\"])",
           "#set($l = [true..2])", "#set($l = [[1]..2])",
           // "$" or "#" can end no template, however it is written before.
           "US$", "a #", "$a$", "\\$", "\\#", "#if(true)x#end#", "$$",
           // A "#*" in a line comment opens a block comment that must close.
           "## a #* b\nc", "#foreach($i in [1])## #* x\n#end", "## #* #* *#\n"}) {
    EXPECT_THROW(vtltest::evaluate(text), vtl::ParseErrorException) << text;
  }
}

TEST(BrokenTemplates, DeepNestingIsBounded) {
  for (const std::string& text :
       {repeat("#if(true)", 100000) + "x", repeat("#foreach($i in [1])", 5000),
        "#set($a = " + repeat("(", 100000) + "1)", "#set($a = " + repeat("[", 100000) + "]",
        "#set($a = " + repeat("!", 100000) + "true)", "$a.b(" + repeat("$a.b(", 100000),
        repeat("#set($a = \"", 5000)}) {
    EXPECT_THROW(vtltest::evaluate(text), vtl::ParseErrorException) << text.substr(0, 30);
  }
}

TEST(BrokenTemplates, LongFlatConstructsStillWork) {
  std::string sum = "#set($a = 0" + repeat(" + 1", 200000) + ")$a";
  EXPECT_EQ(vtltest::evaluate(sum), "200000");
  vtl::Context context;
  context.put("x", vtl::Value("x"));
  EXPECT_EQ(vtltest::evaluate(repeat("$x.toString()", 1) + repeat("$x", 50000), context).size(), 50001u);
  EXPECT_EQ(vtltest::evaluate("$x" + repeat(".toString()", 100000), context), "x");
}

TEST(BrokenTemplates, TenMegabytesRender) {
  std::string text = repeat("Zeile mit $name und #if($name)Text#end.\n", 10 * 1024 * 1024 / 39);
  vtl::Context context;
  context.put("name", vtl::Value("N"));
  std::string out = vtltest::evaluate(text, context);
  EXPECT_EQ(out.substr(0, 25), "Zeile mit N und Text.\nZei");
}

TEST(BrokenTemplates, BinaryBytesParseOrFailCleanly) {
  testsupport::TempDir dir;
  std::string bytes;
  for (int round = 0; round < 64; ++round) {
    for (int b = 0; b < 256; ++b) bytes += static_cast<char>((b * 7 + round) & 0xFF);
  }
  dir.write("binary.vm", bytes);
  dir.write("plain.vm", std::string("a\0b\x01\xff", 5));
  auto engine = vtltest::engineFor(dir.path());
  vtl::Context context;
  platform::StringWriter out;
  try {
    engine->mergeTemplate("binary.vm", "ISO-8859-1", context, out);
  } catch (const vtl::ParseErrorException&) {
  }
  try {
    engine->mergeTemplate("binary.vm", "UTF-8", context, out);
  } catch (const vtl::ParseErrorException&) {
  }
  platform::StringWriter plain;
  engine->mergeTemplate("plain.vm", "ISO-8859-1", context, plain);
  EXPECT_EQ(plain.toString(), std::string("a\0b\x01\xc3\xbf", 6));
}

// A #parse that would nest an eleventh template is skipped; the rest renders.
TEST(RunawayRendering, ParseRecursionStopsAtTenTemplates) {
  testsupport::TempDir dir;
  dir.write("self.vm", "x#parse(\"self.vm\")y");
  for (int i = 0; i < 10; ++i) {
    dir.write("p" + std::to_string(i) + ".vm", std::to_string(i) + "#parse(\"p" + std::to_string(i + 1) + ".vm\")");
  }
  dir.write("p10.vm", "end");
  auto engine = vtltest::engineFor(dir.path());
  vtl::Context context;
  platform::StringWriter out;
  engine->mergeTemplate("self.vm", "ISO-8859-1", context, out);
  EXPECT_EQ(out.toString(), "xxxxxxxxxxyyyyyyyyyy");

  platform::StringWriter nine;
  engine->mergeTemplate("p1.vm", "ISO-8859-1", context, nine);  // p1 .. p10: ten templates
  EXPECT_EQ(nine.toString(), "123456789end");
  platform::StringWriter ten;
  engine->mergeTemplate("p0.vm", "ISO-8859-1", context, ten);
  EXPECT_EQ(ten.toString(), "0123456789");
  // Skipping does not loop: a template parsing itself twice stays bounded.
  dir.write("twice.vm", "#parse(\"twice.vm\")#parse(\"twice.vm\")z");
  platform::StringWriter twice;
  engine->mergeTemplate("twice.vm", "ISO-8859-1", context, twice);
  EXPECT_EQ(twice.toString(), std::string(1023, 'z'));
}

TEST(RunawayRendering, EndlessMacroRecursionIsBounded) {
  // a calls b, defined after it, which calls a back; one calls itself.
  EXPECT_THROW(vtltest::evaluate("#macro(a)#b()#end#macro(b)#a()#end#a()"), vtl::RenderLimitException);
  EXPECT_THROW(vtltest::evaluate("#macro(a $v)#b($v)#end#macro(b $v)#a(\"$v$v\")#end#a('y')"),
               vtl::RenderLimitException);
  EXPECT_THROW(vtltest::evaluate("#macro(self $v)$v#self($v)#end#self('z')"), vtl::RenderLimitException);
  // Defined from the innermost out, so that each call is known when parsed:
  // m1 .. m20 are twenty nested calls, m0 .. m20 one too many.
  std::string text = "#macro(m20)end#end";
  for (int i = 19; i >= 0; --i) {
    text += "#macro(m" + std::to_string(i) + ")" + std::to_string(i % 10) + "#m" + std::to_string(i + 1) + "()#end";
  }
  EXPECT_EQ(vtltest::evaluate(text + "#m1()"), "1234567890123456789end");
  EXPECT_THROW(vtltest::evaluate(text + "#m0()"), vtl::RenderLimitException);
}

TEST(RunawayRendering, HugeRangeIsRefused) {
  EXPECT_THROW(vtltest::evaluate("#foreach($i in [1..2000000000])x#end"), vtl::RenderLimitException);
  vtl::Context context;
  context.put("big", vtl::Value(2147483647));
  EXPECT_THROW(vtltest::evaluate("#set($r = [-2147483648..$big])", context), vtl::RenderLimitException);
  EXPECT_EQ(vtltest::evaluate("#foreach($i in [2147483646..$big])$i #end", context), "2147483646 2147483647 ");
}

TEST(RunawayRendering, ListChangedByItsOwnLoopFailsTheRendering) {
  // Adding to the list being walked once moved its items under the loop.
  for (const char* text : {
           "#set($l = [1, 2])#foreach($x in $l)$x#if($l.size() < 40)$l.add($x)#end#end",
           "#set($l = [1, 2])#foreach($x in $l)#if($velocityCount == 2)$l.add(3)#end#end",
           "#macro(walk $l)#foreach($x in $l)$l.add($x)#end#end#set($l = [1])#walk($l)"}) {
    EXPECT_THROW(vtltest::evaluate(text), platform::ConcurrentModificationException) << text;
  }
  // A loop over a copy, or changes to another list, go on as before.
  EXPECT_EQ(vtltest::evaluate("#set($l = [1, 2])#set($m = [])#foreach($x in $l)$m.add($x)#end$m"), "truetrue[1, 2]");
  EXPECT_EQ(vtltest::evaluate("#set($l = [1, 2])#foreach($x in $l.subList(0, 2))$l.add($x)#end$l"),
            "truetrue[1, 2, 1, 2]");
}

}  // namespace
