// Operations templates call on texts, numbers, lists, arrays and objects,
// with Java's rules.

#include <gtest/gtest.h>

#include <memory>

#include "TemplateTesting.h"
#include "vtl/Exceptions.h"
#include "vtl/Object.h"

namespace {

// Offers a property three ways, to show which one a property form takes.
class Bean : public vtl::Object {
 public:
  std::string className() const override { return "test.Bean"; }
  bool invoke(std::string_view name, std::span<const vtl::Value> args, vtl::Value& result) override {
    if (name == "getName" && args.empty()) {
      result = vtl::Value("getName");
    } else if (name == "getcolor" && args.empty()) {
      result = vtl::Value("getcolor");
    } else if (name == "get" && args.size() == 1 && args[0].isString() &&
               args[0].asString() != "active") {
      result = vtl::Value("get:" + args[0].asString());
    } else if (name == "isActive" && args.empty()) {
      result = vtl::Value(true);
    } else if (name == "fail" && args.empty()) {
      throw platform::IllegalStateException("broken");
    } else {
      return false;
    }
    return true;
  }
};

vtl::Context context() {
  vtl::Context c;
  c.put("s", vtl::Value("Hallo"));
  c.put("u", vtl::Value("a\xF0\x9F\x98\x80" "b"));  // a, U+1F600 (two UTF-16 units), b
  c.put("g", vtl::Value("stra\xC3\x9F" "e"));
  c.put("csv", vtl::Value(" a , b,c,,"));
  c.put("e", vtl::Value(""));
  c.put("n", vtl::Value(5));
  c.put("t", vtl::Value(true));
  c.put("items", vtl::Value::stringList({"a", "b", "c"}));
  c.put("bean", vtl::Value(std::make_shared<Bean>()));
  return c;
}

TEST(TextMethods, FollowJavaRules) {
  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
      {"$u.length() $u.substring(1, 3) $u.indexOf('b') $u.charAt(3)", "4 \xF0\x9F\x98\x80 3 b"},
      {"$g.toUpperCase() $g.length()", "STRASSE 6"},
      {"$s.substring(2) $s.substring(1,3) $s.indexOf('l') $s.lastIndexOf('l') $s.indexOf('l', 3)",
       "llo al 2 3 3"},
      {"$s.indexOf(97) $s.indexOf('z') $s.lastIndexOf('l', 2)", "1 -1 2"},
      {"$s.charAt(1) $s.charAt(1).class.name", "a java.lang.Character"},
      {"$s.equals('Hallo') $s.equals($n) $s.equalsIgnoreCase('HALLO') $s.equalsIgnoreCase($nope)",
       "true false true false"},
      {"$s.startsWith('Ha') $s.endsWith('lo') $s.concat('!') [$csv.trim()]",
       "true true Hallo! [a , b,c,,]"},
      {"$s.compareTo('Hallo') $s.compareTo('Ha') $s.compareTo('Hb')", "0 3 -1"},
      {"$s.replace('l', 'L') $s.replace('', '-') $s.replaceAll('[aeiou]', '_') $s.replaceFirst('l+', '$0$0')",
       "HaLLo -H-a-l-l-o- H_ll_ Hallllo"},
      {"$s.matches('H.*o') $s.matches('H')", "true false"},
      {"#foreach($p in $csv.split('\\s*,\\s*'))[$p]#end", "[ a][b][c]"},
      {"#foreach($p in $csv.split(',', -1))[$p]#end", "[ a ][ b][c][][]"},
      // Arrays are walked by #foreach but answer no list methods.
      {"#set($a = $s.split('l'))$a.class.name #foreach($p in $a)$p|#end$a.size() $a.get(0)",
       "[Ljava.lang.String; Ha||o|$a.size() $a.get(0)"},
      {"$s.toString() $s.class.name $s.bytes.class.name $s.getBytes().size()",
       "Hallo java.lang.String [B $s.getBytes().size()"},
      {"$s.hashCode() $e.hashCode() $s.isEmpty() $e.isEmpty() $s.contains('all') $s.contains('x')",
       "69490486 0 false true true false"},
      {"$s.compareToIgnoreCase('HALLO') $s.compareToIgnoreCase('hb') $s.codePointAt(1) $u.codePointAt(1)",
       "0 -1 97 128512"},
      {"$s.startsWith('ll', 2) $s.startsWith('ll', 1) $s.startsWith('H', -1) $s.startsWith('', 5)",
       "true false false true"},
      {"#foreach($c in $s.toCharArray())$c.class.name:$c #end$s.toCharArray().class.name",
       "java.lang.Character:H java.lang.Character:a java.lang.Character:l java.lang.Character:l "
       "java.lang.Character:o [C"},
  };
  for (const auto& c : cases) {
    vtl::Context ctx = context();
    EXPECT_EQ(vtltest::evaluate(c.text, ctx), c.expected) << c.text;
  }
}

TEST(OtherMethods, NumbersListsAndObjects) {
  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
      {"$n.intValue() $n.toString() $n.equals(5) $n.equals('5') $n.class.name", "5 5 true false java.lang.Integer"},
      {"$t.booleanValue() $t.class.name $t.toString()", "true java.lang.Boolean true"},
      {"$items.size() $items.isEmpty() $items.empty $items.contains('b') $items.contains(1) $items.get(2)",
       "3 false false true false c"},
      {"$items.class.name $items.get('x')", "java.util.ArrayList $items.get('x')"},
      {"$n.hashCode() $n.longValue() $n.doubleValue() $n.compareTo(7) $n.compareTo(5) $n.compareTo(2)",
       "5 5 5.0 -1 0 1"},
      {"$t.hashCode() $n.class.simpleName $items.class.getSimpleName()", "1231 Integer ArrayList"},
      {"$items.indexOf('c') $items.indexOf('z') $items.subList(1, 3) $items.subList(0, 0)",
       "2 -1 [b, c] []"},
      {"$items.add('d') $items.size() $items", "true 4 [a, b, c, d]"},
      {"#set($it = $items.iterator())$it.hasNext() $it.next() #foreach($x in $it)$x#end $it.hasNext()",
       "true a bc false"},
      {"$items.iterator().class.name", "java.util.ArrayList$Itr"},
      // A list literal is a new list at every evaluation.
      {"#foreach($i in [1..3])#set($l = [1, 2])$l.add($i)$l #end", "true[1, 2, 1] true[1, 2, 2] true[1, 2, 3] "},
      // A number removes by position, anything else by value.
      {"$items.remove(1) $items.remove('c') $items.remove('z') $items", "b true false [a]"},
      {"$items.set(2, 'x')$items.add(3, 'y')$items.add(0, 'w') $items", "c [w, a, b, x, y]"},
      {"$items.addAll($items) $items $items.lastIndexOf('a') $items.lastIndexOf('z')",
       "true [a, b, c, a, b, c] 3 -1"},
      {"$items.addAll([]) $items.containsAll(['c', 'a']) $items.containsAll(['a', 1]) $items.containsAll([])",
       "false true false true"},
      {"$items.clear()$items.size() $items.addAll('ab') $items.containsAll('a')",
       "0 $items.addAll('ab') $items.containsAll('a')"},
      {"$bean.name $bean.color $bean.other $bean.active $bean.class.name",
       "getName getcolor get:other true test.Bean"},
  };
  for (const auto& c : cases) {
    vtl::Context ctx = context();
    EXPECT_EQ(vtltest::evaluate(c.text, ctx), c.expected) << c.text;
  }
}

TEST(FailingMethods, ThrowMethodInvocationException) {
  for (const char* text : {"$s.substring(9)", "$s.substring(3, 2)", "$s.charAt(-1)", "$items.get(5)",
                           "$s.concat($nope)", "$s.matches('(')", "$bean.fail()", "$items.subList(2, 1)",
                           "$items.subList(0, 4)", "$s.codePointAt(5)", "$n.compareTo($nope)",
                           "$items.remove(3)", "$items.set(-1, 'x')", "$items.add(4, 'x')",
                           "#set($it = $items.iterator())#foreach($x in $it)-#end$it.next()"}) {
    vtl::Context ctx = context();
    EXPECT_THROW(vtltest::evaluate(text, ctx), vtl::MethodInvocationException) << text;
  }
  vtl::Context ctx = context();
  try {
    vtltest::evaluate("$bean.fail()", ctx);
  } catch (const vtl::MethodInvocationException& e) {
    EXPECT_EQ(e.getMethodName(), "fail");
    EXPECT_NE(std::string(e.what()).find("broken"), std::string::npos) << e.what();
  }
}

}  // namespace
