#pragma once

#include <string>

#include "support/TempDir.h"

namespace e2e {

// A small installation in a temporary folder, laid out as the server
// expects it: the program folder (inst/) with its start-up files, the web
// root inst/htdocs/ and the application folder inst/htdocs/app/. Files below
// htdocs are stored as the path rule says, scrambled where it asks for it.
// secret.txt lies beside inst/, outside every folder the server serves.
class Installation {
 public:
  Installation();

  // The program folder, where the server starts.
  std::string folder() const { return dir_.path() + "inst/"; }
  std::string app() const { return folder() + "htdocs/app/"; }
  // A user folder beside the program folder, for a server started with one.
  std::string user() const { return dir_.path() + "user/"; }
  // Writes a file below the program folder, scrambled when its path says so.
  void store(const std::string& relative, const std::string& content) const;
  // Writes a file below the program folder byte for byte.
  void plain(const std::string& relative, const std::string& bytes) const;
  std::string read(const std::string& relative) const;
  // What the picture and sound commands need: the sizes of the three picture
  // variants, the stand-in companion program and the user's media folders.
  void prepareMedia() const;

 private:
  testsupport::TempDir dir_;
};

}  // namespace e2e
