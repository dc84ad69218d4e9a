// MX look-up through a real dnsmasq on 127.0.0.1.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "net/IdDNS.h"
#include "support/TestServers.h"

TEST(MailServers, InOrderOfPreferenceThroughTheGivenServer) {
  TDnsTestServer dns({"--mx-host=example.test,mx3.example.test,30", "--mx-host=example.test,mx1.example.test,10",
                      "--mx-host=example.test,mx2.example.test,20", "--host-record=nomx.test,127.0.0.9",
                      "--mx-host=single.test,only.single.test,5"});
  ASSERT_TRUE(dns.Ok());
  const std::string server = "127.0.0.1:" + std::to_string(dns.Port());
  std::vector<std::string> list{"stale"};
  ASSERT_TRUE(GetMailServers(server, "example.test", list));
  EXPECT_EQ(list, (std::vector<std::string>{"mx1.example.test", "mx2.example.test", "mx3.example.test"}));
  ASSERT_TRUE(GetMailServers(" " + server + " ", "single.test.", list));
  EXPECT_EQ(list, std::vector<std::string>{"only.single.test"});

  struct Case {
    const char* domain;
  } failing[] = {{"unknown.test"}, {"nomx.test"}, {""}, {"bad\r\ndomain.test"}};
  for (const auto& c : failing) {
    list = {"stale"};
    EXPECT_FALSE(GetMailServers(server, c.domain, list)) << c.domain;
    EXPECT_TRUE(list.empty());
  }
}

TEST(MailServers, BadOrSilentServersFailWithinAFewSeconds) {
  std::vector<std::string> list;
  EXPECT_FALSE(GetMailServers("127.0.0.1:notaport", "example.test", list));
  EXPECT_FALSE(GetMailServers("127.0.0.1:70000", "example.test", list));
  EXPECT_FALSE(GetMailServers("[::1", "example.test", list));
  // Nobody listens on this port: the look-up gives up in bounded time.
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(GetMailServers("127.0.0.1:" + std::to_string(FreePort()), "example.test", list));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(7));

  // A server that takes the questions and never answers (UDP and TCP).
  int port = FreePort();
  int u = socket(AF_INET, SOCK_DGRAM, 0), t = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  ASSERT_EQ(bind(u, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(bind(t, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  listen(t, 5);
  start = std::chrono::steady_clock::now();
  EXPECT_FALSE(GetMailServers("127.0.0.1:" + std::to_string(port), "example.test", list));
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::seconds(7));
  EXPECT_GT(took, std::chrono::milliseconds(500));
  close(u);
  close(t);
}
