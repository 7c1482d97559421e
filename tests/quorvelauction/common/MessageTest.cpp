#include <gtest/gtest.h>

#include <filesystem>

#include "ConfigTestSupport.h"
#include "quorvelauction/common/Message.h"

using quorvelauction::common::Message;

namespace {

// The table of a domain is kept for the process, so each test uses its own
// domain names.
class MessageTest : public configtest::Installation {
 protected:
  void messages(const std::string& domain, const std::string& xml) {
    store(app_ + "WEB-INF/" + domain + "/config/messages.xml", xml);
  }
};

TEST_F(MessageTest, TextsAndParameters) {
  messages("msg_de",
           "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<messages>\n"
           "<message id=\"exception\">Fehler: %1</message>\n"
           "<message id=\"twice\">%1 und %1</message>\n"
           "<message id=\"plain\">kein Platzhalter</message>\n"
           "<message id=\"blanks\">\n  mit Rand  </message>\n"
           "<message id=\"dup\">erst</message><message id=\"dup\">dann</message>\n"
           "<message id=\"nested\">vor <b>fett</b>nach<![CDATA[ & roh]]></message>\n"
           "<message>ohne id</message>\n"
           "<other id=\"other\">nicht</other>\n"
           "<group><message id=\"deep\">tief</message></group>\n"
           "</messages>");
  EXPECT_EQ(Message::getError("msg_de", "exception", "C:\\Pfad\\$1\\x"),
            "error:exception:Fehler: C:\\Pfad\\$1\\x");
  EXPECT_EQ(Message::get("msg_de", "twice", "$0"), "$0 und $0");
  EXPECT_EQ(Message::get("msg_de", "plain", "ignored"), "kein Platzhalter");
  EXPECT_EQ(Message::get2("msg_de", "blanks"), "\n  mit Rand  ");
  EXPECT_EQ(Message::get2("msg_de", "dup"), "dann");
  EXPECT_EQ(Message::get2("msg_de", "nested"), "vor nach & roh");
  EXPECT_EQ(Message::get2("msg_de", "other"), "");
  EXPECT_EQ(Message::get2("msg_de", "deep"), "");
  EXPECT_EQ(Message::get2("msg_de", "unknown"), "");
  EXPECT_EQ(Message::getError("msg_de", "unknown"), "error:unknown:");
  EXPECT_EQ(Message::get2("msg_de", ""), "");
  EXPECT_EQ(err_.bytes(), "");
}

TEST_F(MessageTest, FileReadOncePerDomain) {
  messages("msg_once", "<m><message id=\"a\">eins</message></m>");
  EXPECT_EQ(Message::get2("msg_once", "a"), "eins");
  messages("msg_once", "<m><message id=\"a\">zwei</message></m>");
  EXPECT_EQ(Message::get2("msg_once", "a"), "eins");
}

TEST_F(MessageTest, UnreadableFileGivesEmptyTextsUntilItCanBeRead) {
  EXPECT_EQ(Message::get2("msg_missing", "a"), "");
  EXPECT_EQ(Message::getError("msg_missing", "a", "p"), "error:a:");
  EXPECT_EQ(lines(err_.bytes()), 2) << err_.bytes();
  messages("msg_broken", "<m><message id=\"a\">x</m>");
  EXPECT_EQ(Message::get("msg_broken", "a", "p"), "");
  // A table that could not be read is read again on the next request.
  messages("msg_missing", "<m><message id=\"a\">da</message></m>");
  EXPECT_EQ(Message::get2("msg_missing", "a"), "da");
}

}  // namespace
