// Whatever a player sends, the request reader either refuses it or reads it as a strict HTTP/1.1 reader
// does (Boost.Beast's, in this fuzzer only): the same requests, methods and targets, heads and bodies ending
// at the same bytes. What it passes on must read, by the same reference, as exactly the requests it passed,
// each with the source's Host and no proxy field. And it reads a stream the same way however it is cut: the
// first byte chooses where the input is cut in two. A CONNECT ends the reading (what follows is a tunnel's,
// and the CONNECT itself never goes on); every upgrade is taken as declined by the source, so the reading
// goes on after it as the reference's does.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http_reference_reader.h"
#include "outside/http_request_head.h"

namespace {

const std::string kAuthority = "media.example:8080";

struct RelayReading {
  std::string out;
  int status = 0;
  uint64_t bytesRead = 0;
  StreamReading reading;
  size_t passedOn = 0;  // of reading.requests, those that went on: all but a CONNECT
};

RelayReading ReadWithRelay(std::string_view stream, size_t cut) {
  HttpRequestRewriter rewriter(kAuthority);
  RelayReading relay;
  rewriter.Observe(
      [&](const HttpRequestRewriter::HeadRead& head) {
        RequestReading request;
        request.method = std::string(head.method);
        request.target = std::string(head.target);
        request.framing = head.framing;
        request.length = head.length;
        request.headEnd = head.end;
        relay.reading.requests.push_back(request);
      },
      [&](uint64_t end) { relay.reading.requests.back().end = end; });
  for (const std::string_view piece : {stream.substr(0, cut), stream.substr(cut)}) {
    relay.status = rewriter.Feed(piece.data(), piece.size(), relay.out);
    while (relay.status == HttpRequestRewriter::kUpgrade) {
      const std::string held = rewriter.TakeHeldBytes();
      rewriter.UpgradeDeclined();
      relay.status = rewriter.Feed(held.data(), held.size(), relay.out);
    }
    if (relay.status != 0) break;
  }
  relay.bytesRead = rewriter.BytesRead();
  relay.passedOn = relay.reading.requests.size() - (relay.status == HttpRequestRewriter::kTunnel ? 1 : 0);
  return relay;
}

void Require(bool holds, const char* what, size_t request) {
  if (holds) return;
  std::fprintf(stderr, "request %zu: %s\n", request, what);
  std::abort();
}

bool SameHead(const RequestReading& a, const RequestReading& b) {
  return a.method == b.method && a.framing == b.framing && a.length == b.length;
}

// Every request the relay passed is one the reference reads the same way; while the relay refused nothing,
// the reference found no head more.
void CheckAgainstReference(std::string_view stream, const RelayReading& relay) {
  const StreamReading reference = ReadWithReference(stream);
  const auto& passed = relay.reading.requests;
  for (size_t i = 0; i < passed.size(); ++i) {
    Require(i < reference.requests.size(), "passed, but the reference read no such head", i);
    const RequestReading& ours = passed[i];
    const RequestReading& theirs = reference.requests[i];
    Require(SameHead(ours, theirs) && ours.target == theirs.target, "read otherwise than the reference", i);
    Require(ours.headEnd == theirs.headEnd, "its head ends elsewhere for the reference", i);
    if (ours.end) Require(theirs.end == ours.end, "it ends elsewhere for the reference", i);
    else Require(!theirs.end || *theirs.end > relay.bytesRead, "the reference ended it within what was passed", i);
  }
  if (relay.status == 0)
    Require(reference.requests.size() == passed.size(), "the reference read one head more", passed.size());
}

// The source reads what was passed on as the relay meant it.
void CheckPassedOn(const RelayReading& relay) {
  const StreamReading source = ReadWithReference(relay.out);
  const auto& passed = relay.reading.requests;
  Require(!source.refused, "what was passed on is refused by the reference", source.requests.size());
  Require(source.requests.size() == relay.passedOn, "passed on as another number of requests", source.requests.size());
  for (size_t i = 0; i < relay.passedOn; ++i) {
    const RequestReading& sent = source.requests[i];
    Require(SameHead(sent, passed[i]) && sent.end.has_value() == passed[i].end.has_value(),
            "passed on as another request", i);
    Require(sent.target[0] == '/' || sent.target == "*", "passed on with a target that is not origin-form", i);
    Require(sent.hostFields == 1 && sent.host == kAuthority && !sent.proxyFields, "passed on with a wrong Host", i);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);
  const RelayReading whole = ReadWithRelay(stream, 0);
  const RelayReading cut = ReadWithRelay(stream, data[0] % (stream.size() + 1));
  if (whole.status != cut.status || whole.out != cut.out) std::abort();
  CheckAgainstReference(stream, whole);
  CheckPassedOn(whole);
  return 0;
}
