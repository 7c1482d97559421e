#include "quorvelauction/common/CommonSOAPFunctions.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "platform/Charset.h"
#include "platform/Exceptions.h"
#include "platform/PrintStream.h"
#include "platform/System.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/common/Message.h"

namespace quorvelauction::common {

namespace {

// The pieces of text between "$" signs, empty ones dropped.
std::vector<std::string> splitNames(const std::string& text) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('$', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) names.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

// Exactly length bytes of the stream; an earlier end fails.
std::string readBytes(platform::InputStream& in, int64_t length) {
  std::string bytes(static_cast<size_t>(length), '\0');
  int64_t done = 0;
  while (done < length) {
    int chunk = static_cast<int>(std::min<int64_t>(length - done, 1 << 20));
    int n = in.read(bytes.data() + done, 0, chunk);
    if (n < 0) throw platform::EOFException("end of file after " + std::to_string(done) + " bytes");
    done += n;
  }
  return bytes;
}

// UTF-16 behind either byte-order mark, else UTF-8.
std::string decodeText(const std::string& bytes) {
  if (bytes.size() >= 2) {
    auto b0 = static_cast<unsigned char>(bytes[0]);
    auto b1 = static_cast<unsigned char>(bytes[1]);
    if ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF)) {
      std::string text = platform::Charset::forName("UTF-16").decode(bytes);
      if (!text.empty()) return text;
    }
  }
  return platform::Charset::utf8().decode(bytes);
}

// Control characters are single bytes below 0x20 in UTF-8 and never part of
// a longer sequence, so dropping those bytes drops exactly the characters.
std::string withoutControls(std::string text) {
  text.erase(std::remove_if(text.begin(), text.end(),
                            [](char c) { return static_cast<unsigned char>(c) < 0x20; }),
             text.end());
  return text;
}

}  // namespace

CommonSOAPFunctions::CommonSOAPFunctions(UserWrapper& user) : user(user) {}

bool CommonSOAPFunctions::validPath(const std::string& baseFolder, const std::string& prefix,
                                    const platform::File& file) {
  std::string path = file.getCanonicalPath();
  std::string folder = platform::File(baseFolder + prefix).getCanonicalPath();
  if (path.compare(0, folder.size(), folder) != 0) return false;
  // Only the folder itself or something below its separator: "user2" does
  // not lie inside "user".
  return path.size() == folder.size() || folder.back() == platform::File::separatorChar ||
         path[folder.size()] == platform::File::separatorChar;
}

std::string CommonSOAPFunctions::loadFileWithPrefix(const std::string& baseFolder,
                                                    const std::string& prefix,
                                                    const std::string& names) {
  try {
    std::vector<std::string> list = splitNames(names);
    // One name: the whole text names the file, "$" signs at its ends included.
    if (list.size() == 1) return loadFileImpl(baseFolder, prefix, names);
    std::string reply = "<files>";
    for (const std::string& name : list) {
      reply.append("<file name=\"").append(name).append("\">");
      reply.append(loadFileImpl(baseFolder, prefix, name)).append("</file>");
    }
    reply.append("</files>");
    return reply;
  } catch (const std::exception& e) {
    platform::printStackTrace(e);
    return Message::getError(user.getDefaultDomain(), "exception", platform::describe(e));
  }
}

std::string CommonSOAPFunctions::loadFileImpl(const std::string& baseFolder, const std::string& prefix,
                                              const std::string& name) {
  platform::File file(baseFolder + prefix + name);
  bool opening = false;
  try {
    if (!validPath(baseFolder, prefix, file)) return "";
    int64_t length = file.length();
    opening = true;
    platform::InputStreamPtr in = GlobalConfig::createFileInputStream(file);
    opening = false;
    std::string bytes = readBytes(*in, length);
    in->close();
    return withoutControls(decodeText(bytes));
  } catch (const std::exception& e) {
    if (opening) {
      platform::System::out().println("file not found: " + name);
    } else {
      platform::printStackTrace(e);
    }
    return "error reading file " + name;
  }
}

}  // namespace quorvelauction::common
