#pragma once

#include <memory>
#include <string>
#include <vector>

namespace vtl {

class Template;
struct Block;

// A #macro definition: its parameter names (without "$") and its body, which
// lives in the template that defined it (kept alive by owner).
struct Macro {
  std::string name;
  std::vector<std::string> parameters;
  const Block* body = nullptr;
  std::shared_ptr<const Template> owner;
};

}  // namespace vtl
