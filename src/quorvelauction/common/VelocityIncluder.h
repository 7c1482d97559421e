#pragma once

#include <optional>
#include <string>

#include "vtl/Context.h"
#include "vtl/Object.h"

namespace quorvelauction::common {

// Lets a template insert the output of another template: placed in a
// template context, $includer.include("x.html") renders path + "x.html"
// (ISO-8859-1) with the includer's context through the process-wide engine.
// The context must outlive the includer (usually it holds it).
class VelocityIncluder : public vtl::Object {
 public:
  VelocityIncluder(vtl::Context& context, std::string path);

  // The rendered text, or, when loading or rendering fails, the failure's
  // message (absent when it has none) after its trace on standard error.
  virtual std::optional<std::string> include(const std::string& name);

  std::string className() const override { return "quorvelauction.common.VelocityIncluder"; }
  bool invoke(std::string_view name, std::span<const vtl::Value> args, vtl::Value& result) override;

 private:
  std::string path_;
  vtl::Context* context_;
};

}  // namespace quorvelauction::common
