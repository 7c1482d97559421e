#include "platform/System.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/BufferedOutputStream.h"
#include "platform/FileOutputStream.h"

namespace platform {
namespace {

std::shared_ptr<PrintStream> standardStream(int fd) {
  return std::make_shared<PrintStream>(
      std::make_unique<BufferedOutputStream>(FileOutputStream::forDescriptor(fd)), true);
}

struct Streams {
  std::mutex mutex;
  std::vector<std::shared_ptr<PrintStream>> keep;
  std::atomic<PrintStream*> out{nullptr};
  std::atomic<PrintStream*> err{nullptr};

  Streams() {
    auto o = standardStream(STDOUT_FILENO);
    auto e = standardStream(STDERR_FILENO);
    out = o.get();
    err = e.get();
    keep = {o, e};
  }
  void set(std::atomic<PrintStream*>& slot, std::shared_ptr<PrintStream> stream) {
    std::lock_guard<std::mutex> guard(mutex);
    if (slot.load()) slot.load()->flush();
    slot = stream.get();
    keep.push_back(std::move(stream));
  }
};

Streams& streams() {
  static Streams* instance = new Streams();  // never destroyed: used until exit
  return *instance;
}

}  // namespace

PrintStream& System::out() { return *streams().out.load(); }
PrintStream& System::err() { return *streams().err.load(); }
void System::setOut(std::shared_ptr<PrintStream> stream) { streams().set(streams().out, std::move(stream)); }
void System::setErr(std::shared_ptr<PrintStream> stream) { streams().set(streams().err, std::move(stream)); }

int64_t System::currentTimeMillis() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void System::exit(int status) {
  out().flush();
  err().flush();
  std::_Exit(status);
}

}  // namespace platform
