// Engine settings, resource loaders by name, the template cache, #parse and
// #include, and the errors callers see.

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "TemplateTesting.h"
#include "platform/ByteArrayInputStream.h"
#include "support/TempDir.h"
#include "vtl/Exceptions.h"
#include "vtl/Velocity.h"

namespace {

// Serves templates from memory and records what it was asked for.
class MemoryLoader : public vtl::ResourceLoader {
 public:
  static inline std::map<std::string, std::string> files;
  static inline std::vector<std::string> requests;
  static inline vtl::LoaderSettings settings;

  bool isSourceModified(const vtl::Resource&) override { return true; }
  void init(const vtl::LoaderSettings& s) override { settings = s; }
  platform::InputStreamPtr getResourceStream(const std::string& name) override {
    requests.push_back(name);
    auto it = files.find(name);
    if (it == files.end()) throw vtl::ResourceNotFoundException(name);
    return std::make_unique<platform::ByteArrayInputStream>(it->second);
  }
  int64_t getLastModified(const vtl::Resource&) override { return 0; }
};

std::unique_ptr<vtl::Engine> memoryEngine(const std::string& cache) {
  MemoryLoader::requests.clear();
  auto engine = std::make_unique<vtl::Engine>();
  engine->registerLoaderClass("test.MemoryLoader", [] { return std::make_unique<MemoryLoader>(); });
  engine->setProperty("resource.loader", "mem");
  engine->setProperty("mem.resource.loader.class", "test.MemoryLoader");
  engine->setProperty("mem.resource.loader.cache", cache);
  engine->setProperty("mem.resource.loader.modificationCheckInterval", "0");
  engine->init();
  return engine;
}

std::string merge(vtl::Engine& engine, const std::string& name, vtl::Context& context,
                  const std::string& encoding = "ISO-8859-1") {
  platform::StringWriter out;
  engine.mergeTemplate(name, encoding, context, out);
  return out.take();
}

TEST(Loaders, RegisteredByNameAndGivenTheirSettings) {
  MemoryLoader::files = {{"a.vm", "A $x"}};
  auto engine = memoryEngine("false");
  EXPECT_EQ(MemoryLoader::settings.at("class"), "test.MemoryLoader");
  EXPECT_EQ(MemoryLoader::settings.at("cache"), "false");
  // The engine asks for its macro library while it starts.
  EXPECT_EQ(MemoryLoader::requests, std::vector<std::string>{"VM_global_library.vm"});
  vtl::Context context;
  context.put("x", vtl::Value(1));
  EXPECT_EQ(merge(*engine, "a.vm", context), "A 1");
}

TEST(Loaders, UnknownClassFailsAtInit) {
  vtl::Engine engine;
  engine.setProperty("resource.loader", "x");
  engine.setProperty("x.resource.loader.class", "no.Such");
  EXPECT_THROW(engine.init(), vtl::VelocityException);
}

TEST(Loaders, MissingTemplateFailsWithItsName) {
  MemoryLoader::files = {{"p.vm", "#parse(\"gone.vm\")"}, {"i.vm", "#include(\"gone.txt\")"}};
  auto engine = memoryEngine("false");
  vtl::Context context;
  for (const auto& [name, missing] : std::vector<std::pair<std::string, std::string>>{
           {"none.vm", "none.vm"}, {"p.vm", "gone.vm"}, {"i.vm", "gone.txt"}}) {
    try {
      merge(*engine, name, context);
      ADD_FAILURE() << name;
    } catch (const vtl::ResourceNotFoundException& e) {
      EXPECT_EQ(std::string(e.what()), missing);
    }
  }
}

TEST(Cache, OffReadsEveryTimeOnKeepsTheParsedTemplate) {
  vtl::Context context;
  MemoryLoader::files = {{"t.vm", "one"}};
  auto off = memoryEngine("false");
  EXPECT_EQ(merge(*off, "t.vm", context), "one");
  MemoryLoader::files["t.vm"] = "two";
  EXPECT_EQ(merge(*off, "t.vm", context), "two");

  MemoryLoader::files["t.vm"] = "one";
  auto on = memoryEngine("true");
  EXPECT_EQ(merge(*on, "t.vm", context), "one");
  MemoryLoader::files["t.vm"] = "two";
  EXPECT_EQ(merge(*on, "t.vm", context), "one");
}

TEST(Files, FolderLoaderStaysInsideItsFolders) {
  testsupport::TempDir dir;
  dir.write("root/a.vm", "a");
  dir.write("root/sub/b.vm", "#parse(\"sub/../a.vm\")b");
  dir.write("other/c.vm", "c");
  dir.write("secret.vm", "secret");
  auto engine = vtltest::engineFor(dir.file("root") + ", " + dir.file("other"));
  vtl::Context context;
  EXPECT_EQ(merge(*engine, "sub/b.vm", context), "ab");
  EXPECT_EQ(merge(*engine, "c.vm", context), "c");
  EXPECT_THROW(merge(*engine, "../secret.vm", context), vtl::ResourceNotFoundException);
  EXPECT_THROW(merge(*engine, "sub", context), vtl::ResourceNotFoundException);
}

TEST(Files, CharacterSetOfTheCallerAppliesToParseAndInclude) {
  testsupport::TempDir dir;
  dir.write("latin.vm", "Gr\xf6\xdf" "e #parse(\"inner.vm\")#include(\"raw.txt\")");
  dir.write("inner.vm", "\xe4 ");
  dir.write("raw.txt", "\xfc $x");
  dir.write("utf8.vm", "Gr\xc3\xb6\xc3\x9f" "e \xff");
  auto engine = vtltest::engineFor(dir.path());
  vtl::Context context;
  EXPECT_EQ(merge(*engine, "latin.vm", context), "Gr\xc3\xb6\xc3\x9f" "e \xc3\xa4 \xc3\xbc $x");
  EXPECT_EQ(merge(*engine, "utf8.vm", context, "UTF-8"), "Gr\xc3\xb6\xc3\x9f" "e \xef\xbf\xbd");
  EXPECT_THROW(merge(*engine, "utf8.vm", context, "no-such-charset"), platform::UnsupportedEncodingException);
}

TEST(Files, IncludeOfNoValueWritesItsErrorNote) {
  testsupport::TempDir dir;
  dir.write("raw.txt", "R");
  dir.write("main.vm", "[#include($nothing)][#include(\"raw.txt\" $nothing)][#parse($nothing)]");
  auto engine = vtltest::engineFor(dir.path());
  vtl::Context context;
  EXPECT_EQ(merge(*engine, "main.vm", context),
            "[<!-- include error : error with arg 0 please see log. see error log -->]"
            "[R<!-- include error : error with arg 1 please see log. see error log -->][]");
  // The note's parts are written as set, blanks and all.
  vtl::Engine custom;
  custom.setProperty("file.resource.loader.path", dir.path());
  custom.setProperty("directive.include.output.errormsg.start", " ( ");
  custom.setProperty("directive.include.output.errormsg.end", " ) ");
  EXPECT_EQ(merge(custom, "main.vm", context),
            "[ ( error with arg 0 please see log. ) ][R ( error with arg 1 please see log. ) ][]");
}

// A number, truth value or list written as an #include argument names no
// file; #parse reads its first argument only.
TEST(Files, IncludeOfALiteralOtherThanTextWritesItsErrorNote) {
  testsupport::TempDir dir;
  dir.write("a.txt", "A");
  dir.write("p.vm", "P");
  dir.write("main.vm",
            "#macro(m $x)#include('a.txt' $x)#end#m(false)|#foreach($i in [1])#include(\"a.txt\" 7)#end|"
            "#include('a.txt' [1..2] $name)|#parse('p.vm' $nope 5)#parse(\"p.vm\" [1])");
  auto engine = vtltest::engineFor(dir.path());
  vtl::Context context;
  context.put("name", vtl::Value("a.txt"));
  std::string error = "<!-- include error : error with arg 1 please see log. see error log -->";
  EXPECT_EQ(merge(*engine, "main.vm", context), "A" + error + "|A" + error + "|A" + error + "A|PP");
  // A parameter stands for what the caller wrote, through nested calls.
  dir.write("macro.vm", "#macro(in $f)#include($f)#end#macro(out $g)#in($g)#end#out(5)|#out('a.txt')");
  EXPECT_EQ(merge(*engine, "macro.vm", context),
            "<!-- include error : error with arg 0 please see log. see error log -->|A");
}

TEST(Files, ParsedTemplatesShareTheContextAndMacros) {
  testsupport::TempDir dir;
  dir.write("macros.vm", "#macro(greet $who)Hi $who#end#set($fromInner = 'set')");
  dir.write("main.vm", "#parse(\"macros.vm\")$fromInner");
  dir.write("uses.vm", "#greet('Ann')");
  auto engine = vtltest::engineFor(dir.path());
  vtl::Context context;
  EXPECT_EQ(merge(*engine, "main.vm", context), "set");
  EXPECT_EQ(context.get("fromInner").toString(), "set");
  // A macro is known to templates parsed after the one defining it.
  EXPECT_EQ(merge(*engine, "uses.vm", context), "Hi Ann");
}

TEST(Rendering, OutputBeforeAFailureIsWritten) {
  vtl::Context context;
  context.put("s", vtl::Value("abc"));
  auto engine = vtltest::engineFor(".");
  platform::StringWriter out;
  EXPECT_THROW(engine->evaluate(context, out, "t", "before $s.substring(5) after"),
               vtl::MethodInvocationException);
  EXPECT_EQ(out.toString(), "before ");
}

TEST(Rendering, OneTemplateRendersInManyThreads) {
  testsupport::TempDir dir;
  dir.write("t.vm", "#foreach($i in [1..50])$i:$name #end");
  auto engine = vtltest::engineFor(dir.path());
  std::shared_ptr<const vtl::Template> tmpl = engine->getTemplate("t.vm", "ISO-8859-1");
  std::vector<std::string> outputs(8);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 50; ++round) {
        vtl::Context context;
        context.put("name", vtl::Value(std::to_string(t)));
        platform::StringWriter out;
        tmpl->merge(context, out);
        outputs[t] = out.take();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < 8; ++t) {
    std::string expected;
    for (int i = 1; i <= 50; ++i) expected += std::to_string(i) + ":" + std::to_string(t) + " ";
    EXPECT_EQ(outputs[t], expected);
  }
}

// A context remembers where a parsed template's variables live in it: the
// same template rendered again, with other templates, or with a copied,
// moved or reassigned context sees the context's values of the time.
TEST(Rendering, OneParsedTemplateWithContextsChangedBetweenRenderings) {
  testsupport::TempDir dir;
  dir.write("t.vm", "$a|$!b|#set($c = \"$a$a\")$c|#foreach($i in [1..2])$i#end$!i");
  dir.write("p.vm", "#set($b = 'fromP')$b$a#parse('t.vm')");
  auto engine = vtltest::engineFor(dir.path());
  std::shared_ptr<const vtl::Template> t = engine->getTemplate("t.vm", "ISO-8859-1");
  std::shared_ptr<const vtl::Template> p = engine->getTemplate("p.vm", "ISO-8859-1");
  auto render = [](const vtl::Template& tmpl, vtl::Context& context) {
    platform::StringWriter out;
    tmpl.merge(context, out);
    return out.take();
  };
  vtl::Context context;
  context.put("a", vtl::Value("1"));
  vtl::Context other;
  other.put("b", vtl::Value("B"));
  other.put("a", vtl::Value("O"));
  struct Step {
    const char* what;
    std::function<void()> change;
    const vtl::Template* tmpl;
    const char* expected;
  };
  std::unique_ptr<vtl::Context> moved;
  std::vector<Step> steps = {
      {"first", [] {}, t.get(), "1||11|12"},
      {"again", [] {}, t.get(), "1||11|12"},
      {"put", [&] { context.put("b", vtl::Value(7)); }, t.get(), "1|7|11|12"},
      {"remove", [&] { context.remove("b"); context.remove("a"); }, t.get(), "$a||$a$a|12"},
      {"put back", [&] { context.put("a", vtl::Value("x")); }, t.get(), "x||xx|12"},
      {"parse", [] {}, p.get(), "fromPxx|fromP|xx|12"},
      {"assigned", [&] { context = other; }, t.get(), "O|B|OO|12"},
      {"source changed", [&] { other.put("a", vtl::Value("changed")); }, t.get(), "O|B|OO|12"},
      {"moved", [&] { moved = std::make_unique<vtl::Context>(std::move(context)); }, nullptr, "O|B|OO|12"},
      {"moved, put", [&] { moved->put("a", vtl::Value("m")); }, nullptr, "m|B|mm|12"},
  };
  for (const Step& step : steps) {
    step.change();
    vtl::Context& target = moved ? *moved : context;
    EXPECT_EQ(render(step.tmpl ? *step.tmpl : *t, target), step.expected) << step.what;
  }
  vtl::Context copy(*moved);
  copy.put("a", vtl::Value("copy"));
  EXPECT_EQ(render(*t, copy), "copy|B|copycopy|12");
  EXPECT_EQ(render(*t, *moved), "m|B|mm|12");
}

TEST(ProcessWide, VelocityMergesThroughTheSharedEngine) {
  testsupport::TempDir dir;
  dir.write("v.vm", "v$x");
  vtl::Velocity::setProperty("file.resource.loader.path", dir.path());
  vtl::Velocity::init();
  vtl::Context context;
  context.put("x", vtl::Value(2));
  platform::StringWriter out;
  EXPECT_TRUE(vtl::Velocity::mergeTemplate("v.vm", "ISO-8859-1", context, out));
  EXPECT_EQ(out.toString(), "v2");
}

}  // namespace
