#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Writer.h"
#include "vtl/Context.h"
#include "vtl/MacroTable.h"
#include "vtl/ResourceLoader.h"
#include "vtl/Template.h"

namespace vtl {

// One template engine: its settings, its resource loaders, its template
// cache and its macros. Settings are made with setProperty before init; the
// settings it reads:
//   resource.loader                          loader names, comma-separated ("file")
//   <name>.resource.loader.class             the loader's class, as registered
//   <name>.resource.loader.cache             "true" keeps parsed templates
//   <name>.resource.loader.modificationCheckInterval  seconds between checks (2)
//   file.resource.loader.path                folders of the built-in file loader (".")
//   input.encoding                           character set of getTemplate(name) (ISO-8859-1)
//   directive.foreach.counter.name           loop counter ("velocityCount")
//   directive.foreach.counter.initial.value  its first value (1)
//   directive.parse.max.depth                templates on the #parse stack (10)
//   directive.include.output.errormsg.start  what #include writes before and after
//   directive.include.output.errormsg.end    the note of an argument without a value
//   velocimacro.max.depth                    nested macro calls (20)
//   velocimacro.library                      macro libraries read at init ("VM_global_library.vm")
// Other keys are kept and ignored (there is no log system). After init the
// engine may be used from several threads at once.
class Engine {
 public:
  using LoaderFactory = std::function<ResourceLoaderPtr()>;

  Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  void setProperty(const std::string& key, const std::string& value);
  std::optional<std::string> getProperty(const std::string& key) const;
  // Makes loaders of the class name known; the built-in file loader is
  // "org.apache.velocity.runtime.resource.loader.FileResourceLoader".
  void registerLoaderClass(const std::string& className, LoaderFactory factory);

  // Makes the loaders and reads the macro libraries. Fails with
  // VelocityException when a loader's class is unknown. Runs once; using the
  // engine before runs it.
  void init();

  // The named template, parsed. Fails with ResourceNotFoundException (the
  // message is the name), ParseErrorException or
  // UnsupportedEncodingException.
  std::shared_ptr<const Template> getTemplate(const std::string& name);
  std::shared_ptr<const Template> getTemplate(const std::string& name, const std::string& encoding);
  // Renders the named template with context into writer; true when done.
  bool mergeTemplate(const std::string& name, const std::string& encoding, Context& context,
                     platform::Writer& writer);
  // Renders text given directly, logTag naming it in errors.
  bool evaluate(Context& context, platform::Writer& writer, const std::string& logTag,
                const std::string& text);
  // The text of a resource, unparsed (#include).
  std::string getContent(const std::string& name, const std::string& encoding);

  MacroTable& macros() { return macros_; }
  const std::string& counterName() const { return counterName_; }
  // What #include writes for an argument without a value, around its message.
  const std::string& includeErrorStart() const { return includeErrorStart_; }
  const std::string& includeErrorEnd() const { return includeErrorEnd_; }
  size_t counterHash() const { return counterHash_; }
  int32_t counterInitialValue() const { return counterInitialValue_; }
  size_t maxParseDepth() const { return maxParseDepth_; }
  int maxMacroDepth() const { return maxMacroDepth_; }

 private:
  struct Loaded {
    std::string bytes;
    ResourceLoader* loader;
  };
  struct CacheEntry {
    std::shared_ptr<const Template> tmpl;
    ResourceLoader* loader;
    std::shared_ptr<Resource> resource;
    int64_t lastCheck;
  };

  Loaded load(const std::string& name);
  std::shared_ptr<const Template> parse(const std::string& name, const std::string& encoding,
                                        std::string text);
  std::shared_ptr<const Template> cached(const std::string& name, const std::string& encoding);
  std::string setting(const std::string& key, const std::string& fallback) const;
  // The value as set, blanks included.
  std::string rawSetting(const std::string& key, const std::string& fallback) const;
  int64_t intSetting(const std::string& key, int64_t fallback) const;

  mutable std::mutex mutex_;
  bool initialized_ = false;
  bool initializing_ = false;
  std::map<std::string, std::string> properties_;
  std::map<std::string, LoaderFactory> loaderClasses_;
  std::vector<ResourceLoaderPtr> loaders_;
  std::unordered_map<std::string, CacheEntry> cache_;
  MacroTable macros_;

  std::string inputEncoding_ = "ISO-8859-1";
  std::string counterName_ = "velocityCount";
  std::string includeErrorStart_;
  std::string includeErrorEnd_;
  size_t counterHash_ = Context::hashOf("velocityCount");
  int32_t counterInitialValue_ = 1;
  size_t maxParseDepth_ = 10;
  int maxMacroDepth_ = 20;
};

}  // namespace vtl
