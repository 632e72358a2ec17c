#include "socks5_client.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "handshake_conversation.h"

namespace {

// Every check runs on both ways of feeding: the answer whole, and a byte at a time.
template <typename Check>
void ForEachFeeding(const Socks5Request& request, const Bytes& answers, Check check) {
  for (const size_t piece : {answers.size() + 1, size_t{1}}) {
    SCOPED_TRACE(piece == 1 ? "a byte at a time" : "whole");
    Socks5Handshake handshake(request);
    check(Converse(handshake, answers, piece));
  }
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}


const Bytes kChoosePassword{5, 2};
const Bytes kLoginAccepted{1, 0};
const Bytes kConnectedIPv4{5, 0, 0, 1, 127, 0, 0, 1, 0x1F, 0x90};

TEST(Socks5Client, LogsInWithUserAndPasswordThenConnectsByDomainName) {
  const Bytes expected = Concat({{5, 2, 0, 2},
                                 {1, 6}, Text("viewer"), {6}, Text("secret"),
                                 {5, 1, 0, 3, 17}, Text("media.example.com"), {0x1F, 0x90}});
  // What follows the reply is the target's and stays unread.
  ForEachFeeding({"media.example.com", 8080, "viewer", "secret"},
                 Concat({kChoosePassword, kLoginAccepted, kConnectedIPv4, Text("HTTP")}), [&](const Conversation& talk) {
                   EXPECT_EQ(talk.error, "");
                   EXPECT_EQ(talk.sent, expected);
                   EXPECT_EQ(talk.unread, 4u);
                 });
}

TEST(Socks5Client, OffersOnlyNoAuthenticationWithoutUserAndSendsAnIPv4AddressAsSuch) {
  ForEachFeeding({"127.0.0.1", 443, "", ""}, Concat({{5, 0}, kConnectedIPv4}), [](const Conversation& talk) {
    EXPECT_EQ(talk.error, "");
    EXPECT_EQ(talk.sent, Concat({{5, 1, 0}, {5, 1, 0, 1, 127, 0, 0, 1, 0x01, 0xBB}}));
  });
}

TEST(Socks5Client, ReadsEveryKindOfBoundAddressOffTheStream) {
  const Bytes domainReply = Concat({{5, 0, 0, 3, 4}, Text("host"), {0, 80}});
  const Bytes ipv6Reply = Concat({{5, 0, 0, 4}, Bytes(16, 0xAB), {0, 80}});
  for (const Bytes& reply : {domainReply, ipv6Reply}) {
    ForEachFeeding({"origin", 80, "", ""}, Concat({{5, 0}, reply}), [](const Conversation& talk) {
      EXPECT_EQ(talk.error, "");
      EXPECT_EQ(talk.unread, 0u);
    });
  }
}

TEST(Socks5Client, AWrongPasswordStopsBeforeTheConnectRequest) {
  const Bytes login = Concat({{1, 6}, Text("viewer"), {5}, Text("wrong")});
  ForEachFeeding({"origin", 80, "viewer", "wrong"}, Concat({kChoosePassword, {1, 1}}), [&](const Conversation& talk) {
    EXPECT_EQ(talk.error, "user name or password refused (status 1)");
    EXPECT_EQ(talk.sent, Concat({{5, 2, 0, 2}, login}));
  });
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
  for (const Case& c : cases)
    ForEachFeeding(c.request, c.answers, [&](const Conversation& talk) { EXPECT_EQ(talk.error, c.why); });
}

TEST(Socks5Client, RefusesFieldsTheProtocolCannotCarryWithoutSendingAnything) {
  const std::string tooLong(256, 'x');
  const Socks5Request requests[] = {{"origin", 80, tooLong, "p"}, {"origin", 80, "u", tooLong},
                                    {tooLong, 80, "", ""},        {"", 80, "", ""},
                                    {"origin", 0, "", ""},        {"origin", 65536, "", ""}};
  for (const Socks5Request& request : requests) {
    Socks5Handshake handshake(request);
    const Conversation talk = Converse(handshake, {5, 0}, 2);
    EXPECT_NE(talk.error, "");
    EXPECT_TRUE(talk.sent.empty());
  }
}

}  // namespace
