#include "cracker_rows.h"

std::vector<CrackerRow> MeasuredCrackerRows() {
  const std::string path253(253, 'a');
  const std::string host254(254, 'h');
  // clang-format off
  return {
    {"http://media.example.com/live", true, 0, "http", 3, "", "", "media.example.com", 80, "/live", ""},
    {"https://media.example.com/live", true, 0, "https", 4, "", "", "media.example.com", 443, "/live", ""},
    {"rtmp://media.example.com/app/stream", true, 0, "rtmp", -1, "", "", "media.example.com", 0, "/app/stream", ""},
    {"https://a.example:0/x", true, 0, "https", 4, "", "", "a.example", 0, "/x", ""},
    {"http://a.example:0/x", true, 0, "http", 3, "", "", "a.example", 0, "/x", ""},
    {"rtmp://a.example:1935/app", true, 0, "rtmp", -1, "", "", "a.example", 1935, "/app", ""},
    {"RTMPS://a.example/app", true, 0, "RTMPS", -1, "", "", "a.example", 0, "/app", ""},
    {"rtmpe://a.example/app", true, 0, "rtmpe", -1, "", "", "a.example", 0, "/app", ""},
    {"Https://a.example/x", true, 0, "Https", 4, "", "", "a.example", 443, "/x", ""},
    {"mms://a.example/x.nsc", true, 0, "mms", -1, "", "", "a.example", 0, "/x.nsc", ""},
    {"mms://a.NSC.example/x", true, 0, "mms", -1, "", "", "a.NSC.example", 0, "/x", ""},
    {"http://a.example/x?f=b.nsc", true, 0, "http", 3, "", "", "a.example", 80, "/x", "?f=b.nsc"},
    {"file:///c:/media/x.asf", true, 0, "file", 5, "", "", "", 0, "c:\\media\\x.asf", ""},
    {"file://server/share/x.asf", true, 0, "file", 5, "", "", "\\\\server\\share\\x.asf", 0, "", ""},
    {"notaurl", false, 12006, "", 0, "", "", "", 0, "", ""},
    {"", false, 87, "", 0, "", "", "", 0, "", ""},
    {"http://host/x%20y?q=1#f", true, 0, "http", 3, "", "", "host", 80, "/x y", "?q=1#f"},
    {"http://user:pw@host:8080/p", true, 0, "http", 3, "user", "pw", "host", 8080, "/p", ""},
    {"ftp://h/x", true, 0, "ftp", 1, "", "", "h", 21, "/x", ""},
    {"http://h%41st/x", true, 0, "http", 3, "", "", "hAst", 80, "/x", ""},
    {"mmsh://a/x", true, 0, "mmsh", -1, "", "", "a", 0, "/x", ""},
    {"http:/x", true, 0, "http", 3, "", "", "", 0, "/x", ""},
    {"http://", true, 0, "http", 3, "", "", "", 80, "", ""},
    {"rtsp://h:554/x", true, 0, "rtsp", -1, "", "", "h", 554, "/x", ""},
    {"c:\\media\\x.asf", true, 0, "file", 5, "", "", "", 0, "c:\\media\\x.asf", ""},
    {"http://h:65535/x", true, 0, "http", 3, "", "", "h", 65535, "/x", ""},
    {"http://h:65536/x", false, 12005, "", 0, "", "", "", 0, "", ""},
    {"http://h:99999/x", false, 12005, "", 0, "", "", "", 0, "", ""},
    {"http://h:-1/x", false, 12005, "", 0, "", "", "", 0, "", ""},
    {"http://h:abc/x", false, 12005, "", 0, "", "", "", 0, "", ""},
    {"http://[::1]:8080/x", true, 0, "http", 3, "", "", "[::1]", 8080, "/x", ""},
    {"HTTP://H/X", true, 0, "HTTP", 3, "", "", "H", 80, "/X", ""},
    {"http://h/x#frag", true, 0, "http", 3, "", "", "h", 80, "/x", "#frag"},
    {"http://h?q", true, 0, "http", 3, "", "", "h", 80, "", "?q"},
    {"rtmp://h", true, 0, "rtmp", -1, "", "", "h", 0, "/", ""},
    {"//h/x", false, 12006, "", 0, "", "", "", 0, "", ""},
    {"h/x", false, 12006, "", 0, "", "", "", 0, "", ""},
    {"mailto:a@b", true, 0, "mailto", 7, "", "", "", 0, "a@b", ""},
    {"http://a b/x", true, 0, "http", 3, "", "", "a b", 80, "/x", ""},
    {"http://h/%zz", true, 0, "http", 3, "", "", "h", 80, "/%zz", ""},
    {"http://h/" + std::string(300, 'a'), false, 122, "", 0, "", "", "", 0, "", ""},
    {"http://h/" + path253, true, 0, "http", 3, "", "", "h", 80, "/" + path253, ""},
    {"http://h/" + path253 + "a", false, 122, "", 0, "", "", "", 0, "", ""},
    {"http://" + host254 + "/x", true, 0, "http", 3, "", "", host254, 80, "/x", ""},
    {"http://" + host254 + "h/x", false, 122, "", 0, "", "", "", 0, "", ""},
  };
  // clang-format on
}

namespace {

// Each piece once at the longest length that fits (254) and once just past it, plain and escaped.
void AddPieceLengths(std::vector<std::string>& urls) {
  for (size_t length : {253u, 254u, 255u}) {
    const std::string text(length, 'x');
    urls.push_back("http://" + text + "/live");
    urls.push_back("http://" + text + "@h/live");
    urls.push_back("http://u:" + text + "@h/live");
    urls.push_back("http://h/" + text.substr(1));
    urls.push_back("http://h/live?" + text.substr(1));
    urls.push_back("http://h/live#" + text.substr(1));
    urls.push_back(text + "://h/live");
    std::string escaped = "http://h/";
    for (size_t i = 1; i < length; ++i) escaped += "%41";
    urls.push_back(escaped);
  }
}

}  // namespace

std::vector<std::string> GeneratedUrls() {
  const char* schemes[] = {"http", "https", "HTTP", "Https", "rtmp", "RTMPE", "rtmps", "mms", "mmsh", "rtsp", "ftp"};
  const char* authorities[] = {"h", "media.example.com", "10.0.0.1", "u:p@h", "u@h", "h%41", "a%2Eb",
                               "[::1]:1935"};
  const char* ports[] = {"", ":0", ":1935", ":65535", ":65536", ":-1", ":80x"};
  const char* tails[] = {"", "/", "/live", "/a%20b?x=1#f", "/x.nsc", "?q", "/a%2Fb", "/a%3Fb", "/a%23b",
                         "/%zz%4", "/a%00b", "/a%2500"};
  std::vector<std::string> urls;
  for (const char* scheme : schemes) {
    for (const char* authority : authorities) {
      for (const char* port : ports) {
        for (const char* tail : tails) urls.push_back(std::string(scheme) + "://" + authority + port + tail);
      }
    }
  }
  AddPieceLengths(urls);
  for (const char* url : {"file:///c:/media/x.asf", "file:/c:/x", "file:c:/x", "file:x", "file:///", "File:///x",
                          "file://h", "file://", "file:///c:/a%20b", "c:/x/y", "Z:\\a", "mailto:a@b?subject=x",
                          "news:a.b", "http:", "http:/", "http:x", "http:///x", "http:////x", "http://h:",
                          "http://h#a?b", "http://a@b@h/x", "http://u:p:q@h/x", "http://h:80:90/x",
                          "http://h: 5/x", "http://h:+5/x", "http://h:4294967297/x", "a_b://h", "http ://h",
                          "1abc://h", "javascript:x", "socks://h", "gopher://h/x", "res://x", "about:blank"}) {
    urls.push_back(url);
  }
  return urls;
}
