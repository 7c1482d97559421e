#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorvelauction::offline {

// The client of the online service's SOAP endpoint: one HTTP/1.0 POST over one TLS
// connection to port 443 per call, through the process-wide context Server::sc.
class SimpleSoap {
 public:
  // A parameter: its name at index 0 and its value at index 1 (absent: an empty element).
  using Pair = std::vector<std::optional<std::string>>;

  // Answers larger than this fail with an IOException instead of exhausting memory.
  static constexpr size_t kMaxAnswer = 64 * 1024 * 1024;

  // What one call answered: the text soapFunction returns, and whether the service answered
  // with a SOAP fault, in which case the text is the fault's code and no answer of the
  // operation itself.
  struct Answer {
    std::string text;
    bool fault = false;
  };

  // Calls function with the pairs in order and returns the text of the element reached from
  // the answer's root through its first child three times (the return value, or a fault's
  // code). Every failure is an exception: connection, TLS, I/O (time-outs of ServiceTimeouts
  // included), XML parsing, an answer tree that is too shallow, a pair without a value slot.
  static std::string soapFunction(const std::optional<std::string>& host,
                                  const std::string& function,
                                  const std::vector<Pair>& parameters);
  // As soapFunction, for a caller that must tell the operation's answer from a fault.
  static Answer call(const std::optional<std::string>& host, const std::string& function,
                     const std::vector<Pair>& parameters);

  // The request bytes of a call: header and body.
  static std::string request(const std::string& function, const std::vector<Pair>& parameters);

  // The answer element's text of a whole answer (status line and headers included).
  static std::string interpret(const std::string& answer);
  // As interpret, telling a fault from a regular answer.
  static Answer read(const std::string& answer);

 private:
  SimpleSoap() = delete;
};

}  // namespace quorvelauction::offline
