#include "rpc/string_binding.h"

#include <gtest/gtest.h>

#include "rpc/client.h"
#include "rpc/status.h"

namespace rpc {
namespace {

TEST(StringBinding, ComposeAndParseRoundTrip) {
  StringBinding b{"", "ncacn_ip_tcp", "192.0.2.7", "8907", ""};
  EXPECT_EQ(ComposeStringBinding(b), "ncacn_ip_tcp:192.0.2.7[8907]");
  struct Case {
    const char* text;
    const char* uuid;
    const char* protseq;
    const char* addr;
    const char* endpoint;
    const char* options;
  } cases[] = {
      {"ncacn_ip_tcp:127.0.0.1[8907]", "", "ncacn_ip_tcp", "127.0.0.1", "8907", ""},
      {"ncacn_ip_tcp:localhost", "", "ncacn_ip_tcp", "localhost", "", ""},
      {"ncacn_ip_tcp:h[endpoint=8919,opt]", "", "ncacn_ip_tcp", "h", "8919", "opt"},
      {"b08f120f-ce71-45ad-8c70-89bd0134f5e8@ncacn_ip_tcp:h[1]", "b08f120f-ce71-45ad-8c70-89bd0134f5e8",
       "ncacn_ip_tcp", "h", "1", ""},
      {"ncacn_np:srv[\\pipe\\x]", "", "ncacn_np", "srv", "\\pipe\\x", ""},
  };
  for (const Case& c : cases) {
    StringBinding p;
    ASSERT_EQ(ParseStringBinding(c.text, &p), kOk) << c.text;
    EXPECT_EQ(p.object_uuid, c.uuid);
    EXPECT_EQ(p.protseq, c.protseq);
    EXPECT_EQ(p.network_address, c.addr);
    EXPECT_EQ(p.endpoint, c.endpoint);
    EXPECT_EQ(p.options, c.options);
  }
  for (const char* bad : {"no-colon", ":addr", "ncacn_ip_tcp:h[8907", "ncacn_ip_tcp:h]"}) {
    StringBinding p;
    EXPECT_EQ(ParseStringBinding(bad, &p), kInvalidStringBinding) << bad;
  }
}

TEST(StringBinding, OnlyTcpIsSupported) {
  std::unique_ptr<Binding> b;
  EXPECT_EQ(Binding::FromString("ncacn_np:srv[\\pipe\\x]", {}, &b), kProtseqNotSupported);
  EXPECT_EQ(Binding::FromString("ncalrpc:[x]", {}, &b), kProtseqNotSupported);
  EXPECT_EQ(Binding::FromString("ncacn_ip_tcp:127.0.0.1[1]", {}, &b), kOk);  // binding never connects
  EXPECT_EQ(StatusText(kProtseqNotSupported), "The RPC protocol sequence is not supported.");
}

}  // namespace
}  // namespace rpc
