#pragma once

#include <chrono>

namespace quorvelauction::offline {

// Time-outs of every connection to the online service: long enough that a conforming
// service never meets them; tests lower them.
class ServiceTimeouts {
 public:
  static std::chrono::milliseconds probe();    // connect + one byte of the probe, default 10 s
  static std::chrono::milliseconds connect();  // default 15 s
  static std::chrono::milliseconds read();     // longest silence while reading a reply, default 300 s
  static void set(std::chrono::milliseconds probe, std::chrono::milliseconds connect,
                  std::chrono::milliseconds read);
  static void reset();                         // back to the defaults
};

}  // namespace quorvelauction::offline
