#include "platform/net.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

TEST(Reachability, ListeningPortAnswersClosedPortDoesNot) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(fd, 4), 0);
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  int port = ntohs(addr.sin_port);
  EXPECT_TRUE(platform::IsReachable("127.0.0.1", port));
  EXPECT_TRUE(platform::IsReachable("localhost", port));
  ::close(fd);
  EXPECT_FALSE(platform::IsReachable("127.0.0.1", port));  // refused now
  EXPECT_FALSE(platform::IsReachable("", port));
  EXPECT_FALSE(platform::IsReachable("127.0.0.1", 0));
  EXPECT_FALSE(platform::IsReachable("no-such-host.invalid", 80));
}

}  // namespace
