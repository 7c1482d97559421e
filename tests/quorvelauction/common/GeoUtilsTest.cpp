#include "quorvelauction/common/GeoUtils.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "quorvelauction/common/AuctionTestSupport.h"
#include "quorvelauction/common/GlobalConfig.h"
#include "quorvelauction/offline/ServiceTimeouts.h"
#include "support/OnlineService.h"
#include "support/TempDir.h"

namespace quorvelauction::common {
namespace {

using testsupport::OnlineService;
using LatLng = std::optional<std::array<double, 2>>;

class GeoUtilsTest : public ::testing::Test {
 protected:
  void configure(const std::string& settings) {
    static auctiontest::PlainFiles files;
    GlobalConfig::setFileStreamFactoryHelper(&files);
    app.write("WEB-INF/global.properties", settings);
    GlobalConfig::load(app.path(), app.path());
  }
  void TearDown() override { offline::ServiceTimeouts::reset(); }
  // Serves every lookup with the body (or status) and answers the lookup of address.
  LatLng lookUp(const std::string& body, int status = 200, const std::string& address = "x") {
    service.setHttpHandler([=](const OnlineService::HttpRequest&) {
      OnlineService::HttpReply reply;
      reply.status = status;
      reply.body = body;
      return reply;
    });
    return GeoUtils::getLatLngForAddress(address);
  }

  testsupport::TempDir app;
  OnlineService service;
};

TEST_F(GeoUtilsTest, UnconfiguredServiceIsNeverAsked) {
  configure("");
  EXPECT_FALSE(GeoUtils::getLatLngForAddress("Berlin"));
  configure("geocoding.host=" + service.host() + "\n");
  EXPECT_FALSE(GeoUtils::getLatLngForAddress("Berlin"));
  EXPECT_TRUE(service.httpRequests().empty());
}

TEST_F(GeoUtilsTest, RequestAndReplies) {
  configure("geocoding.host=" + service.host() + "\ngeocoding.key=K_1\n");
  EXPECT_EQ(lookUp("200,6,52.5200,13.4050", 200, "Hauptstr. 1, M\xC3\xBCnchen"),
            (LatLng{{52.52, 13.405}}));
  auto requests = service.httpRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  // The address goes out in ISO-8859-1.
  EXPECT_EQ(requests[0].target, "/maps/geo?q=Hauptstr.+1%2C+M%FCnchen&output=csv&key=K_1");

  const struct {
    const char* body;
    int status;
    LatLng expected;
  } cases[] = {
      {"602,0,0,0", 200, LatLng{{0.0, 0.0}}},        // the status field is not looked at
      {" 200 , 6 , 1.5 , -2.25 \n", 200, LatLng{{1.5, -2.25}}},
      {"200,6,52.5", 200, std::nullopt},              // three fields
      {"", 200, std::nullopt},
      {"200,6,52.5,abc", 200, LatLng{{52.5, 0.0}}},  // what was read so far
      {"200,6,x,13", 200, LatLng{{0.0, 0.0}}},
      {"200,6,+1e2,.5", 200, LatLng{{100.0, 0.5}}},   // decimal forms
      {"200,6,-3.E-1,7.", 200, LatLng{{-0.3, 7.0}}},
      {"200,6,nan,13", 200, LatLng{{0.0, 0.0}}},       // no names, no hexadecimal
      {"200,6,52.5,Infinity", 200, LatLng{{52.5, 0.0}}},
      {"200,6,0x10,13", 200, LatLng{{0.0, 0.0}}},
      {"200,6,52.5,1e999", 200, LatLng{{52.5, 0.0}}},  // beyond the range
      {"200,6,1e,13", 200, LatLng{{0.0, 0.0}}},
      {"200,6,.,13", 200, LatLng{{0.0, 0.0}}},
      {"200,6,52.5,13.4", 500, std::nullopt},         // the service's error status
      {"200,6,52.5,13.4", 404, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(lookUp(c.body, c.status), c.expected) << c.body << " " << c.status;
  EXPECT_FALSE(lookUp("200,6,1,2," + std::string(GeoUtils::kMaxReply, '0'))) << "bounded reply";
}

TEST_F(GeoUtilsTest, SilentServiceIsBoundedByTheReadTimeOut) {
  configure("geocoding.host=" + service.host() + "\ngeocoding.key=K\n");
  offline::ServiceTimeouts::set(std::chrono::seconds(1), std::chrono::seconds(1), std::chrono::seconds(1));
  service.setHttpHandler([](const OnlineService::HttpRequest&) {
    std::this_thread::sleep_for(std::chrono::seconds(4));
    return OnlineService::HttpReply{200, "text/plain", "200,6,1,2", std::nullopt};
  });
  EXPECT_FALSE(GeoUtils::getLatLngForAddress("x"));
}

TEST(GeoUtilsDistanceTest, KnownDistances) {
  EXPECT_NEAR(GeoUtils::earthOrthodrome(0, 0, 0, 90), 6371.0 * M_PI / 2, 1e-6);
  EXPECT_NEAR(GeoUtils::earthOrthodrome(52.52, 13.405, 48.1374, 11.5755), 504.4, 1.0);  // Berlin-Munich
  EXPECT_NEAR(GeoUtils::earthOrthodrome(90, 0, -90, 0), 6371.0 * M_PI, 1e-6);
  // Identical points are 0 km apart, never NaN.
  for (double lat = -89.5; lat < 90; lat += 7.3) {
    for (double lng = -179.5; lng < 180; lng += 13.1) {
      const double d = GeoUtils::earthOrthodrome(lat, lng, lat, lng);
      ASSERT_FALSE(std::isnan(d)) << lat << " " << lng;
      EXPECT_NEAR(d, 0.0, 1e-3);
    }
  }
}

}  // namespace
}  // namespace quorvelauction::common
