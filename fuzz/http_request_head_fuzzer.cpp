// Whatever a player sends, the request reader ends with bytes for the source or a refusal, and reads the
// same stream the same way however it is cut: the first byte chooses where the input is cut in two.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "http_request_head.h"

namespace {

struct Read {
  std::string out;
  int status;
};

Read Rewrite(const char* data, size_t size, size_t cut) {
  HttpRequestRewriter rewriter("media.example:8080");
  Read read;
  read.status = rewriter.Feed(data, cut, read.out);
  if (read.status == 0) read.status = rewriter.Feed(data + cut, size - cut, read.out);
  return read;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const char* text = reinterpret_cast<const char*>(data + 1);
  const size_t length = size - 1;
  const Read whole = Rewrite(text, length, 0);
  const Read cut = Rewrite(text, length, data[0] % (length + 1));
  if (whole.status != cut.status || whole.out != cut.out) std::abort();
  return 0;
}
