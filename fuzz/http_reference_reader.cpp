#include "http_reference_reader.h"

#include <boost/beast/http/basic_parser.hpp>
#include <boost/beast/http/error.hpp>

namespace {

namespace http = boost::beast::http;
using boost::beast::error_code;
using boost::beast::string_view;

// Records what the parser reads of one request; the body's bytes are only counted.
class RecordingParser final : public http::basic_parser<true> {
 public:
  explicit RecordingParser(RequestReading& request) : m_request(request) {
    eager(false);  // one step a call, so the head's end shows between calls
    header_limit(1u << 20);
    body_limit(boost::none);
  }

 private:
  void on_request_impl(http::verb, string_view method, string_view target, int, error_code&) override {
    m_request.method = std::string(method);
    m_request.target = std::string(target);
  }
  void on_response_impl(int, string_view, int, error_code&) override {}
  void on_field_impl(http::field field, string_view, string_view value, error_code&) override {
    if (field == http::field::host) {
      ++m_request.hostFields;
      m_request.host = std::string(value);
    }
    if (field == http::field::proxy_connection || field == http::field::proxy_authorization)
      m_request.proxyFields = true;
  }
  void on_header_impl(error_code&) override {}
  void on_body_init_impl(const boost::optional<uint64_t>&, error_code&) override {}
  size_t on_body_impl(string_view body, error_code&) override { return body.size(); }
  void on_chunk_header_impl(uint64_t, string_view, error_code&) override {}
  size_t on_chunk_body_impl(uint64_t, string_view body, error_code&) override { return body.size(); }
  void on_finish_impl(error_code&) override {}

  RequestReading& m_request;
};

void NoteFraming(const RecordingParser& parser, RequestReading& request) {
  if (parser.chunked()) {
    request.framing = HttpRequestRewriter::Framing::Chunked;
  } else if (parser.content_length()) {
    request.framing = HttpRequestRewriter::Framing::Length;
    request.length = *parser.content_length();
  }
}

}  // namespace

StreamReading ReadWithReference(std::string_view stream) {
  StreamReading reading;
  size_t at = 0;
  for (;;) {
    while (stream.substr(at, 2) == "\r\n") at += 2;
    if (at == stream.size()) return reading;
    RequestReading request;
    RecordingParser parser(request);
    while (!parser.is_done()) {
      error_code error;
      const std::string_view rest = stream.substr(at);
      const size_t used = rest.empty() ? 0 : parser.put(boost::asio::buffer(rest.data(), rest.size()), error);
      at += used;
      if (parser.is_header_done() && request.headEnd == 0) {
        NoteFraming(parser, request);
        request.headEnd = at;
      }
      reading.refused = error && error != http::error::need_more;
      if (reading.refused || used == 0) {
        if (parser.is_header_done()) reading.requests.push_back(request);
        return reading;
      }
    }
    request.end = at;
    reading.requests.push_back(request);
  }
}
