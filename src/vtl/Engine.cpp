#include "vtl/Engine.h"

#include <algorithm>

#include "platform/Charset.h"
#include "platform/Strings.h"
#include "platform/System.h"
#include "vtl/Exceptions.h"
#include "vtl/FileResourceLoader.h"
#include "vtl/Parser.h"

namespace vtl {

using platform::Strings;

namespace {

// Template bytes as text; the common cases skip the general decoder.
std::string decode(std::string bytes, const std::string& encoding) {
  platform::Charset charset = platform::Charset::forName(encoding);
  if (charset.kind() == platform::Charset::Kind::kLatin1) {
    if (Strings::isAscii(bytes)) return bytes;
    std::string text;
    text.reserve(bytes.size() + bytes.size() / 8);
    for (char c : bytes) {
      auto b = static_cast<unsigned char>(c);
      if (b < 0x80) {
        text += c;
      } else {
        text += static_cast<char>(0xC0 | (b >> 6));
        text += static_cast<char>(0x80 | (b & 0x3F));
      }
    }
    return text;
  }
  if (charset.kind() == platform::Charset::Kind::kUtf8 && Strings::isAscii(bytes)) return bytes;
  return charset.decode(bytes);
}

}  // namespace

Engine::Engine() {
  registerLoaderClass(FileResourceLoader::kClassName,
                      [] { return std::make_unique<FileResourceLoader>(); });
}

void Engine::setProperty(const std::string& key, const std::string& value) {
  std::lock_guard<std::mutex> lock(mutex_);
  properties_[key] = value;
}

std::optional<std::string> Engine::getProperty(const std::string& key) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = properties_.find(key);
  if (it == properties_.end()) return std::nullopt;
  return it->second;
}

void Engine::registerLoaderClass(const std::string& className, LoaderFactory factory) {
  std::lock_guard<std::mutex> lock(mutex_);
  loaderClasses_[className] = std::move(factory);
}

std::string Engine::setting(const std::string& key, const std::string& fallback) const {
  auto it = properties_.find(key);
  return it == properties_.end() ? fallback : Strings::trim(it->second);
}

std::string Engine::rawSetting(const std::string& key, const std::string& fallback) const {
  auto it = properties_.find(key);
  return it == properties_.end() ? fallback : it->second;
}

int64_t Engine::intSetting(const std::string& key, int64_t fallback) const {
  try {
    return platform::Integers::parseLong(setting(key, std::to_string(fallback)));
  } catch (const platform::NumberFormatException&) {
    return fallback;
  }
}

void Engine::init() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (initialized_ || initializing_) return;
    inputEncoding_ = setting("input.encoding", "ISO-8859-1");
    counterName_ = setting("directive.foreach.counter.name", "velocityCount");
    counterHash_ = Context::hashOf(counterName_);
    // The note's parts keep their blanks, which separate them from the message.
    includeErrorStart_ = rawSetting("directive.include.output.errormsg.start", "<!-- include error : ");
    includeErrorEnd_ = rawSetting("directive.include.output.errormsg.end", " see error log -->");
    counterInitialValue_ = static_cast<int32_t>(intSetting("directive.foreach.counter.initial.value", 1));
    maxParseDepth_ = static_cast<size_t>(std::max<int64_t>(1, intSetting("directive.parse.max.depth", 10)));
    maxMacroDepth_ = static_cast<int>(std::clamp<int64_t>(intSetting("velocimacro.max.depth", 20), 1, 100));

    std::vector<ResourceLoaderPtr> loaders;
    for (const std::string& part : Strings::split(setting("resource.loader", "file"), ",")) {
      std::string name = Strings::trim(part);
      if (name.empty()) continue;
      std::string prefix = name + ".resource.loader.";
      LoaderSettings subset;
      for (const auto& [key, value] : properties_) {
        if (Strings::startsWith(key, prefix)) subset[key.substr(prefix.size())] = value;
      }
      std::string className = subset.count("class") ? Strings::trim(subset["class"])
                              : name == "file"      ? FileResourceLoader::kClassName
                                                    : "";
      auto factory = loaderClasses_.find(className);
      if (factory == loaderClasses_.end()) {
        throw VelocityException("The specified class for Resourceloader (" + className +
                                ") does not exist");
      }
      ResourceLoaderPtr loader = factory->second();
      loader->commonInit(subset);
      loader->init(subset);
      loaders.push_back(std::move(loader));
    }
    loaders_ = std::move(loaders);
    initializing_ = true;
  }
  // Macro libraries: a missing or broken one leaves the engine without it.
  std::string libraries = getProperty("velocimacro.library").value_or("VM_global_library.vm");
  for (const std::string& part : Strings::split(libraries, ",")) {
    std::string name = Strings::trim(part);
    if (name.empty()) continue;
    try {
      getTemplate(name);
    } catch (const VelocityException&) {
    } catch (const platform::IOException&) {
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  initialized_ = true;
}

Engine::Loaded Engine::load(const std::string& name) {
  init();
  for (const ResourceLoaderPtr& loader : loaders_) {
    platform::InputStreamPtr in;
    try {
      in = loader->getResourceStream(name);
    } catch (const ResourceNotFoundException&) {
      continue;
    }
    if (!in) continue;
    Loaded loaded{in->readAll(), loader.get()};
    in->close();
    return loaded;
  }
  throw ResourceNotFoundException(name);
}

std::shared_ptr<const Template> Engine::parse(const std::string& name, const std::string& encoding,
                                              std::string text) {
  auto tmpl = std::make_shared<Template>(*this, name, encoding, std::move(text));
  Parser(tmpl, macros_).parse();
  return tmpl;
}

std::shared_ptr<const Template> Engine::cached(const std::string& name, const std::string& encoding) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = cache_.find(name);
  if (it == cache_.end() || it->second.tmpl->getEncoding() != encoding) return nullptr;
  CacheEntry& entry = it->second;
  int64_t interval = entry.loader->getModificationCheckInterval();
  if (interval <= 0) return entry.tmpl;
  int64_t now = platform::System::currentTimeMillis();
  if (now - entry.lastCheck < interval * 1000) return entry.tmpl;
  entry.lastCheck = now;
  if (!entry.loader->isSourceModified(*entry.resource)) return entry.tmpl;
  return nullptr;
}

std::shared_ptr<const Template> Engine::getTemplate(const std::string& name) {
  init();
  return getTemplate(name, inputEncoding_);
}

std::shared_ptr<const Template> Engine::getTemplate(const std::string& name,
                                                    const std::string& encoding) {
  if (auto hit = cached(name, encoding)) return hit;
  platform::Charset::forName(encoding);  // an unknown name fails before any loading
  Loaded loaded = load(name);
  std::shared_ptr<const Template> tmpl = parse(name, encoding, decode(std::move(loaded.bytes), encoding));
  if (loaded.loader->isCachingOn()) {
    auto resource = std::make_shared<Resource>(name, encoding);
    resource->setLastModified(loaded.loader->getLastModified(*resource));
    std::lock_guard<std::mutex> lock(mutex_);
    cache_[name] = CacheEntry{tmpl, loaded.loader, resource, platform::System::currentTimeMillis()};
  }
  return tmpl;
}

std::string Engine::getContent(const std::string& name, const std::string& encoding) {
  platform::Charset::forName(encoding);
  return decode(load(name).bytes, encoding);
}

bool Engine::mergeTemplate(const std::string& name, const std::string& encoding, Context& context,
                           platform::Writer& writer) {
  getTemplate(name, encoding)->merge(context, writer);
  return true;
}

bool Engine::evaluate(Context& context, platform::Writer& writer, const std::string& logTag,
                      const std::string& text) {
  init();
  parse(logTag, inputEncoding_, text)->merge(context, writer);
  return true;
}

}  // namespace vtl
