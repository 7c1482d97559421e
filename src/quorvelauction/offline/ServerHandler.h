#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/BufferedInputStream.h"
#include "platform/File.h"
#include "platform/FileInputStream.h"
#include "platform/OutputStream.h"
#include "platform/Properties.h"
#include "platform/Socket.h"
#include "quorvelauction/offline/ByteBudget.h"
#include "quorvelauction/offline/NumberReservation.h"
#include "quorvelauction/offline/Server.h"

namespace quorvelauction::offline {

// The thread of one loopback connection: reads requests one after another,
// routes GET and POST, and holds every command handler. Handlers take the
// request's property table and return the result text; results beginning
// "error:" are errors by the front end's convention.
class Server::Handler {
 public:
  using Properties = platform::Properties;

  // A request line, header line or body beyond the bounds.
  class TooLarge;

  // Longest request or header line accepted, in bytes.
  static constexpr int MAX_LINE = 1 << 20;
  // Longest header block accepted: its lines, counted as MAX_LINE counts
  // them, and their line ends.
  static constexpr int64_t MAX_HEADERS = 1 << 20;
  // Largest POST body accepted, in bytes.
  static constexpr int64_t MAX_BODY = 64LL << 20;
  // Bytes of POST bodies that all connections together hold at once.
  static constexpr int64_t MAX_BODIES = 256LL << 20;
  // Copies of a body, its bytes included, that the command route and the
  // SOAP endpoint hold at once at most; the budget counts each of them.
  static constexpr int kCallCopies = 3;
  static constexpr int kSoapCopies = 3;
  // The budget, of MAX_BODIES bytes, that every body is reserved from while
  // its request is served; tests lower its total.
  static ByteBudget& bodyBudget();

  Handler(Server& server, std::shared_ptr<platform::Socket> socket);
  ~Handler();

  // Starts the connection thread; it owns the handler from then on.
  static void start(std::unique_ptr<Handler> handler);
  void run();

  // One line without its CR LF; bytes become the characters of the same
  // code, in UTF-8. A CR ends the line only with the LF right after it; a
  // CR before any other byte is dropped and that byte kept. The end of the
  // stream ends the line. Appending a byte to a line of MAX_LINE bytes
  // fails with TooLarge.
  static std::string readLine(platform::BufferedInputStream& in);
  // The status line and the four fixed no-cache lines.
  static void respond(std::string_view status, platform::OutputStream& out);
  static void header(std::string_view line, platform::OutputStream& out);
  // The current time as the Last-Modified header writes it.
  static std::string httpDate(int64_t millis);

  // The one place where a command name becomes work.
  std::string evaluateFunction(const std::string& function, Properties& props);

  // --- commands answered here
  std::string userImages();
  std::string onEcho(Properties& props);
  std::string onOfflineGetTransferStatus(Properties& props);
  [[noreturn]] std::string onOfflineExitProgram(Properties& props);
  std::string onGetStore(Properties& props);

  // --- commands of the other command families, in the dispatcher's order
  std::string onLogin(Properties& props);
  std::string onLoadFile(Properties& props);
  std::string onLoadUserFile(Properties& props);
  std::string onSaveUserFile(Properties& props);
  std::string auctionList(Properties& props, int32_t state);
  std::string onAuctionCreateId(Properties& props);
  std::string onAuctionPreview(Properties& props);
  std::string onAuctionSubmitList(Properties& props, int32_t mode);
  std::string onOfflineSelectImages(Properties& props);
  std::string onOfflineSelectImage(Properties& props);
  std::string onOfflineChangeImage(Properties& props);
  std::string onOfflineSelectSound(Properties& props);
  std::string onOfflineLog(Properties& props);
  std::string onAuctionVerify(Properties& props);
  std::string onGetAccountBalance(Properties& props);
  std::string onRemoveImage(Properties& props);
  std::string onGetCategories(Properties& props);
  std::string onGetCharacteristicsSet(Properties& props);
  std::string onAuctionSave(Properties& props);
  std::string onAuctionLoad(Properties& props);
  std::string onAuctionRemove(Properties& props);
  std::string onGetUserData(Properties& props);
  std::string onGetEbayUserData(Properties& props);
  std::string onUpdateUserData(Properties& props);
  std::string onSetPassword(Properties& props);
  std::string onSetEmailInfo(Properties& props);
  std::string onConvertGiftCoupon(Properties& props);
  std::string onGetPaymentInfo(Properties& props);
  std::string onPrePayment(Properties& props);
  std::string onPrePaymentPack(Properties& props);
  std::string onBuyFlatrate(Properties& props);
  std::string onBuyPowersellerFlatrate(Properties& props);
  std::string onCancelFlatrate(Properties& props);
  std::string onGetSuggestedCategories(Properties& props);
  std::string onGeteBayDetails(Properties& props);
  std::string onOfflineIsOnline(Properties& props);
  std::string onOfflineNeedsUpdate(Properties& props);
  std::string update();
  // The same answer as update(); reads nothing of props. The dispatcher
  // answers "offlineUpdate" with update() itself.
  std::string onOfflineUpdate(Properties& props);
  std::string onOfflineGetServerSessionId(Properties& props);
  std::string onPasswordLost(Properties& props);
  std::string onOfflineGetAccountUrl(Properties& props);
  std::string onCopyVideo(Properties& props);
  std::string onPreregisterUser(Properties& props);

  // --- shared by the handlers
  // The next free image or sound number, reserved while the result lives;
  // nothing when the folder's numbers are used up. open: a multiple
  // selection, which claims every number from the first upward.
  std::optional<NumberReservation> createImageId(bool open = false);
  std::optional<NumberReservation> createSoundId();
  // CRC-32 of the text's UTF-8 bytes.
  static int64_t crc32(std::string_view text);
  // The user's widget pages of the domain, each line ended by "\n".
  std::string addWidgetsDummy(const std::string& domain);
  // The reachability probe and the service login; defined with the online
  // session.
  bool isOnline();
  std::string loginToOnlineServer();
  void updateCache();
  void updateStore();
  // Runs a step that follows a change the service has already made: its failure is printed,
  // not raised, so that the service's answer still reaches the front end.
  static void afterTheChange(const std::function<void()>& step);
  int32_t createOrGetServerAuctionId(int32_t localId);

  Server& server() { return server_; }

 private:

  void get(const std::string& target, platform::OutputStream& out);
  void post(const std::string& target, platform::OutputStream& out);
  void call(Properties& props, platform::OutputStream& out);
  void serveFile(const platform::File& file, std::string_view contentType,
                 platform::OutputStream& out);
  // The body of a file reply: never more than the length the head
  // announced; fewer bytes, from a file that shrank, end the connection.
  void sendBody(platform::InputStream& in, int64_t length, platform::OutputStream& out);
  // Flushes the head, then sends the file from the kernel's cache; how many
  // bytes went.
  int64_t sendPlainFile(platform::FileInputStream& file, int64_t length, platform::OutputStream& out);
  int64_t copyBody(platform::InputStream& in, int64_t length, platform::OutputStream& out);
  // Reads the header lines up to the empty line and keeps those the
  // server looks at.
  void readHeaders();
  void keepSecurityHeader(std::optional<std::string>& slot, const std::string& value);
  // False when Host, Origin or Referer name a site other than this server,
  // or when the browser marks the request as sent by another site
  // (Sec-Fetch-Site) and neither Origin nor Referer names this server: a
  // foreign page in the user's browser must not reach the commands. False
  // as well when one of these headers comes twice.
  bool fromThisSite() const;
  // Whether file, links followed, lies in folder; a NUL would cut the name
  // short at the system call and is refused as well.
  bool inFolder(const std::string& folder, const std::string& file) const;
  void postSoap(std::string body, platform::OutputStream& out);
  // Answers 404 and returns false when name leads out of its folder.
  static bool staysInside(std::string_view relative);

  // The record held for the number, or nothing.
  std::shared_ptr<OfflineAuction> heldAuction(int32_t id);
  // Holds a record just read, unless another connection held one for the
  // number meanwhile; returns the one held.
  std::shared_ptr<OfflineAuction> holdAuction(int32_t id, std::shared_ptr<OfflineAuction> read);

  // --- steps of the submission. A returned text is an "error:" answer that
  // ends the command; nothing means go on.
  // The record of the number: the one held, else read from its record file
  // and held from then on, as the lists do; nothing when there is none.
  std::shared_ptr<OfflineAuction> heldOrRead(int32_t id);
  // Reads the list, holds its records and fills the expected sum.
  std::optional<std::string> collectSubmission(
      const std::optional<std::string>& auctionIds,
      std::vector<std::pair<int32_t, std::shared_ptr<OfflineAuction>>>& listed);
  // False once the record of the number has been removed: marked so, or no
  // record held for the number any more.
  bool stillListed(int32_t id, const OfflineAuction& record);
  // Uploads the media of the auction XML and stores it, with the online ids,
  // at the service; onlineId is set to the online auction it went to.
  std::optional<std::string> uploadAuction(int32_t localId, const std::string& xmlContent, int32_t& onlineId);

  std::unique_ptr<platform::BufferedInputStream> inputStream;
  std::shared_ptr<platform::Socket> socket;
  Server& server_;
  // Set when a request cannot be delimited: nothing after it is read.
  bool closeAfterReply_ = false;
  // The headers of the request being served.
  struct RequestHeaders {
    std::optional<std::string> contentLength, host, origin, referer, fetchSite;
    // Set when one of the headers the site check reads comes twice.
    bool repeated = false;
  };
  RequestHeaders headers_;
};

}  // namespace quorvelauction::offline
