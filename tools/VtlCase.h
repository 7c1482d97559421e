#pragma once

// One template case folder: template.vm (ISO-8859-1) rendered with the values
// of context.txt, the folder being the template root. Shared by vtlrender and
// the tests that run every case.

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/FileInputStream.h"
#include "platform/StringWriter.h"
#include "platform/Strings.h"
#include "vtl/Context.h"
#include "vtl/Engine.h"
#include "vtl/Exceptions.h"
#include "vtl/XmlValues.h"
#include "xml/SAXReader.h"

namespace vtlcase {

// The text of a context value: \n, \t, \\ and \uXXXX escapes.
inline std::string unescape(const std::string& text) {
  std::u16string units;
  std::u16string plain = platform::Strings::toUtf16(text);
  for (size_t i = 0; i < plain.size(); ++i) {
    char16_t c = plain[i];
    if (c != u'\\' || i + 1 >= plain.size()) {
      units += c;
      continue;
    }
    char16_t next = plain[++i];
    if (next == u'n') {
      units += u'\n';
    } else if (next == u't') {
      units += u'\t';
    } else if (next == u'u' && i + 4 < plain.size()) {
      std::string hex = platform::Strings::fromUtf16(plain.substr(i + 1, 4));
      units += static_cast<char16_t>(std::stoul(hex, nullptr, 16));
      i += 4;
    } else {
      units += next;
    }
  }
  return platform::Strings::fromUtf16(units);
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Fills context from the lines "TYPE NAME VALUE" of context.txt.
inline void loadContext(const std::string& folder, vtl::Context& context) {
  std::ifstream in(folder + "/context.txt", std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t first = line.find(' ');
    if (first == std::string::npos) continue;
    size_t second = line.find(' ', first + 1);
    std::string type = line.substr(0, first);
    std::string name = line.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
    std::string value = second == std::string::npos ? "" : line.substr(second + 1);
    if (type == "string") {
      context.put(name, vtl::Value(unescape(value)));
    } else if (type == "int") {
      context.put(name, vtl::Value(platform::Integers::parseInt(value)));
    } else if (type == "bool") {
      context.put(name, vtl::Value(value == "true"));
    } else if (type == "strlist" || type == "intlist") {
      auto list = std::make_shared<vtl::List>();
      if (!value.empty()) {
        size_t start = 0;
        while (true) {
          size_t bar = value.find('|', start);
          std::string item = unescape(value.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
          if (type == "intlist") {
            list->items.emplace_back(platform::Integers::parseInt(item));
          } else {
            list->items.emplace_back(item);
          }
          if (bar == std::string::npos) break;
          start = bar + 1;
        }
      }
      context.put(name, vtl::Value(list));
    } else if (type == "xmldoc" || type == "xmlroot") {
      xml::Document doc = xml::SAXReader().read(readFile(folder + "/" + value));
      context.put(name, type == "xmldoc" ? vtl::XmlValues::of(doc)
                                         : vtl::XmlValues::of(doc.getRootElement()));
    }
  }
}

// The case's output as UTF-8, or "PARSE_ERROR\n" when a template does not
// parse. Other failures are thrown.
inline std::string render(const std::string& folder) {
  vtl::Engine engine;
  engine.setProperty("resource.loader", "file");
  engine.setProperty("file.resource.loader.path", folder);
  engine.setProperty("file.resource.loader.cache", "false");
  engine.init();
  vtl::Context context;
  loadContext(folder, context);
  platform::StringWriter out;
  try {
    engine.mergeTemplate("template.vm", "ISO-8859-1", context, out);
  } catch (const vtl::ParseErrorException&) {
    return "PARSE_ERROR\n";
  }
  return out.take();
}

}  // namespace vtlcase
