// The template loader of the installation: scrambled templates below the
// application folder, read anew for every rendering.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/BufferedOutputStream.h"
#include "platform/ByteArrayOutputStream.h"
#include "platform/FileOutputStream.h"
#include "platform/StringWriter.h"
#include "platform/System.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/offline/CryptedFileOutputStream.h"
#include "quorvelauction/offline/CryptedResourceLoader.h"
#include "quorvelauction/offline/ServerCryptedStreams.h"
#include "support/TempDir.h"
#include "vtl/Exceptions.h"

using quorvelauction::common::GlobalConfig;
using quorvelauction::offline::CryptedResourceLoader;
using quorvelauction::offline::Server;

namespace {

class CryptedResourceLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_ = dir_.path() + "htdocs/app/";
    std::filesystem::create_directories(app_ + "WEB-INF");
    GlobalConfig::setFileStreamFactoryHelper(&factory_);
    platform::System::setOut(std::make_shared<platform::PrintStream>(out_, false));
    GlobalConfig::load(app_, app_);
    platform::System::setErr(std::make_shared<platform::PrintStream>(err_, false));
    CryptedResourceLoader::registerClass(engine_);
    // The settings the server makes at start-up.
    engine_.setProperty("runtime.log.logsystem.class", "org.apache.velocity.runtime.log.NullLogSystem");
    engine_.setProperty("resource.loader", "cryptedfile");
    engine_.setProperty("cryptedfile.resource.loader.class", "quorvelauction.offline.CryptedResourceLoader");
    engine_.setProperty("cryptedfile.resource.loader.cache", "false");
    engine_.init();
  }
  void TearDown() override {
    platform::System::setOut(std::make_shared<platform::PrintStream>(
        std::make_unique<platform::BufferedOutputStream>(platform::FileOutputStream::forDescriptor(1)), true));
    platform::System::setErr(std::make_shared<platform::PrintStream>(
        std::make_unique<platform::BufferedOutputStream>(platform::FileOutputStream::forDescriptor(2)), true));
    GlobalConfig::setFileStreamFactoryHelper(nullptr);
  }

  // Stores a template as the installation does: scrambled unless the path
  // says otherwise.
  void store(const std::string& name, const std::string& text) {
    std::string path = app_ + name;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    quorvelauction::offline::CryptedFileOutputStream out(path);
    out.write(text.data(), 0, static_cast<int>(text.size()));
    out.close();
  }
  std::string render(const std::string& name) {
    platform::StringWriter out;
    engine_.mergeTemplate(name, "ISO-8859-1", context_, out);
    return out.take();
  }

  testsupport::TempDir dir_;
  std::string app_;
  Server::CryptedStreams factory_;
  platform::ByteArrayOutputStream out_;
  platform::ByteArrayOutputStream err_;
  vtl::Engine engine_;
  vtl::Context context_;
};

TEST_F(CryptedResourceLoaderTest, ReadsScrambledTemplatesAsPlainText) {
  const std::string name = "WEB-INF/auction_de/webtemplate/auction/auction.html";
  const std::string text = "<h1>$Title</h1>#parse(\"WEB-INF/auction_de/webtemplate/auction/part.html\")";
  store(name, text);
  store("WEB-INF/auction_de/webtemplate/auction/part.html", "[#if($Title)part#end]");
  std::ifstream raw(app_ + name, std::ios::binary);
  std::string onDisk((std::istreambuf_iterator<char>(raw)), std::istreambuf_iterator<char>());
  EXPECT_EQ(onDisk.size(), text.size());
  EXPECT_EQ(onDisk.find("$Title"), std::string::npos);  // stored scrambled
  context_.put("Title", vtl::Value("Uhr"));
  EXPECT_EQ(render(name), "<h1>Uhr</h1>[part]");
}

TEST_F(CryptedResourceLoaderTest, TemplatesUnderImagesAreReadPlain) {
  std::filesystem::create_directories(app_ + "images");
  std::ofstream(app_ + "images/t.html") << "plain $x";
  context_.put("x", vtl::Value(1));
  EXPECT_EQ(render("images/t.html"), "plain 1");
}

TEST_F(CryptedResourceLoaderTest, MissingTemplateIsNotFoundAfterOneTrace) {
  try {
    render("WEB-INF/none.html");
    FAIL();
  } catch (const vtl::ResourceNotFoundException& e) {
    EXPECT_EQ(std::string(e.what()), "WEB-INF/none.html");
  }
  std::string trace = err_.bytes();
  EXPECT_EQ(std::count(trace.begin(), trace.end(), '\n'), 1) << trace;
  EXPECT_NE(trace.find("FileNotFoundException"), std::string::npos) << trace;
}

TEST_F(CryptedResourceLoaderTest, MacroLibraryIsRefusedSilently) {
  CryptedResourceLoader loader;
  store("VM_global_library.vm", "#macro(x)#end");
  EXPECT_THROW(loader.getResourceStream("VM_global_library.vm"), vtl::ResourceNotFoundException);
  EXPECT_EQ(err_.bytes(), "");  // neither here nor during the engine's start
  EXPECT_EQ(out_.bytes().find("VM_global"), std::string::npos);
}

TEST_F(CryptedResourceLoaderTest, ChangedTemplateShowsAtTheNextRendering) {
  store("WEB-INF/t.html", "one");
  EXPECT_EQ(render("WEB-INF/t.html"), "one");
  store("WEB-INF/t.html", "two");
  EXPECT_EQ(render("WEB-INF/t.html"), "two");
}

TEST_F(CryptedResourceLoaderTest, NamesLeadingOutOfTheFolderAreNotFound) {
  std::ofstream(dir_.path() + "htdocs/secret.html") << "secret";
  store("WEB-INF/a/b.html", "inside");
  EXPECT_EQ(render("WEB-INF/a/../a/b.html"), "inside");
  EXPECT_THROW(render("../secret.html"), vtl::ResourceNotFoundException);
  EXPECT_THROW(render("WEB-INF/../../secret.html"), vtl::ResourceNotFoundException);
}

}  // namespace
