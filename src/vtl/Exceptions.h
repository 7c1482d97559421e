#pragma once

#include <string>

#include "platform/Exceptions.h"

namespace vtl {

// Root of the engine's failures.
class VelocityException : public platform::Exception {
 public:
  explicit VelocityException(const std::string& message) : platform::Exception(message) {}
  const char* typeName() const override { return "VelocityException"; }
};

// No resource loader has the named template; the message is the name.
class ResourceNotFoundException : public VelocityException {
 public:
  explicit ResourceNotFoundException(const std::string& name) : VelocityException(name) {}
  const char* typeName() const override { return "ResourceNotFoundException"; }
};

// A template is not valid template text.
class ParseErrorException : public VelocityException {
 public:
  ParseErrorException(const std::string& message, std::string templateName, int line, int column)
      : VelocityException(message),
        templateName_(std::move(templateName)),
        line_(line),
        column_(column) {}
  const char* typeName() const override { return "ParseErrorException"; }

  const std::string& getTemplateName() const { return templateName_; }
  int getLineNumber() const { return line_; }
  int getColumnNumber() const { return column_; }

 private:
  std::string templateName_;
  int line_;
  int column_;
};

// An operation called from a template failed.
class MethodInvocationException : public VelocityException {
 public:
  MethodInvocationException(const std::string& message, std::string methodName)
      : VelocityException(message), methodName_(std::move(methodName)) {}
  const char* typeName() const override { return "MethodInvocationException"; }

  const std::string& getMethodName() const { return methodName_; }

 private:
  std::string methodName_;
};

// Rendering was stopped because a template went past one of the engine's
// bounds (nesting of #parse or macro calls, size of a range).
class RenderLimitException : public VelocityException {
 public:
  explicit RenderLimitException(const std::string& message) : VelocityException(message) {}
  const char* typeName() const override { return "RenderLimitException"; }
};

}  // namespace vtl
