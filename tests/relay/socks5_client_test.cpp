#include "socks5_client.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

// A proxy that answers from a script: everything the client sends is kept, every read takes the next
// bytes of the canned answers.
class ScriptedProxy final : public ByteStream {
 public:
  explicit ScriptedProxy(Bytes answers) : m_answers(std::move(answers)) {}
  bool Send(const void* data, size_t size) override {
    const BYTE* bytes = static_cast<const BYTE*>(data);
    sent.insert(sent.end(), bytes, bytes + size);
    return true;
  }
  bool ReceiveExact(void* buffer, size_t size) override {
    if (m_answers.size() - m_read < size) return false;
    std::copy_n(m_answers.begin() + static_cast<long>(m_read), size, static_cast<BYTE*>(buffer));
    m_read += size;
    return true;
  }
  size_t Unread() const { return m_answers.size() - m_read; }

  Bytes sent;

 private:
  Bytes m_answers;
  size_t m_read = 0;
};

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

const Bytes kChoosePassword{5, 2};
const Bytes kLoginAccepted{1, 0};
const Bytes kConnectedIPv4{5, 0, 0, 1, 127, 0, 0, 1, 0x1F, 0x90};

TEST(Socks5Client, LogsInWithUserAndPasswordThenConnectsByDomainName) {
  ScriptedProxy proxy(Concat({kChoosePassword, kLoginAccepted, kConnectedIPv4}));
  const std::string refused = Socks5Connect(proxy, {"media.example.com", 8080, "viewer", "secret"});
  EXPECT_EQ(refused, "");
  const Bytes expected = Concat({{5, 2, 0, 2},
                                 {1, 6}, Text("viewer"), {6}, Text("secret"),
                                 {5, 1, 0, 3, 17}, Text("media.example.com"), {0x1F, 0x90}});
  EXPECT_EQ(proxy.sent, expected);
  EXPECT_EQ(proxy.Unread(), 0u);
}

TEST(Socks5Client, OffersOnlyNoAuthenticationWithoutUserAndSendsAnIPv4AddressAsSuch) {
  ScriptedProxy proxy(Concat({{5, 0}, kConnectedIPv4}));
  EXPECT_EQ(Socks5Connect(proxy, {"127.0.0.1", 443, "", ""}), "");
  EXPECT_EQ(proxy.sent, Concat({{5, 1, 0}, {5, 1, 0, 1, 127, 0, 0, 1, 0x01, 0xBB}}));
}

TEST(Socks5Client, ReadsEveryKindOfBoundAddressOffTheStream) {
  const Bytes domainReply = Concat({{5, 0, 0, 3, 4}, Text("host"), {0, 80}});
  const Bytes ipv6Reply = Concat({{5, 0, 0, 4}, Bytes(16, 0xAB), {0, 80}});
  for (const Bytes& reply : {domainReply, ipv6Reply}) {
    ScriptedProxy proxy(Concat({{5, 0}, reply}));
    EXPECT_EQ(Socks5Connect(proxy, {"origin", 80, "", ""}), "");
    EXPECT_EQ(proxy.Unread(), 0u);
  }
}

TEST(Socks5Client, AWrongPasswordStopsBeforeTheConnectRequest) {
  ScriptedProxy proxy(Concat({kChoosePassword, {1, 1}}));
  EXPECT_EQ(Socks5Connect(proxy, {"origin", 80, "viewer", "wrong"}), "user name or password refused (status 1)");
  const Bytes login = Concat({{1, 6}, Text("viewer"), {5}, Text("wrong")});
  EXPECT_EQ(proxy.sent, Concat({{5, 2, 0, 2}, login}));
}

TEST(Socks5Client, ExplainsEveryRefusal) {
  struct Case {
    Bytes answers;
    Socks5Request request;
    std::string why;
  };
  const Case cases[] = {
      {{5, 0xFF}, {"origin", 80, "viewer", "secret"}, "no acceptable authentication method"},
      {{4, 0}, {"origin", 80, "", ""}, "not a SOCKS5 server (version 4)"},
      {kChoosePassword, {"origin", 80, "", ""}, "server chose a method that was not offered (2)"},
      {{5, 0, 5, 5, 0, 1}, {"origin", 80, "", ""}, "connect refused with reply 5 (connection refused)"},
      {{5, 0, 5, 4, 0, 1}, {"origin", 80, "", ""}, "connect refused with reply 4 (host unreachable)"},
      {{5, 0, 5, 0, 0, 9}, {"origin", 80, "", ""}, "connect reply with unknown address type 9"},
      {{5, 0, 5, 0, 0, 1, 127}, {"origin", 80, "", ""}, "connect reply cut short"},
      {{}, {"origin", 80, "", ""}, "no answer to the greeting"},
      {kChoosePassword, {"origin", 80, "viewer", "secret"}, "no answer to the user name and password"},
  };
  for (const Case& c : cases) {
    ScriptedProxy proxy(c.answers);
    EXPECT_EQ(Socks5Connect(proxy, c.request), c.why);
  }
}

TEST(Socks5Client, RefusesFieldsTheProtocolCannotCarryWithoutSendingAnything) {
  const std::string tooLong(256, 'x');
  const Socks5Request requests[] = {{"origin", 80, tooLong, "p"}, {"origin", 80, "u", tooLong},
                                    {tooLong, 80, "", ""},        {"", 80, "", ""},
                                    {"origin", 0, "", ""},        {"origin", 65536, "", ""}};
  for (const Socks5Request& request : requests) {
    ScriptedProxy proxy({5, 0});
    EXPECT_NE(Socks5Connect(proxy, request), "");
    EXPECT_TRUE(proxy.sent.empty());
  }
}

}  // namespace
