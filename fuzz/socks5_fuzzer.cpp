// Whatever a SOCKS5 server answers, the relay's client reads only what arrived and ends with success or a
// reason. The first byte chooses whether a user name is offered and whether the target is an address.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "socks5_client.h"

namespace {

class FuzzedServer final : public ByteStream {
 public:
  FuzzedServer(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  bool Send(const void*, size_t) override { return true; }
  bool ReceiveExact(void* buffer, size_t size) override {
    if (m_size - m_read < size) return false;
    std::copy_n(m_data + m_read, size, static_cast<uint8_t*>(buffer));
    m_read += size;
    return true;
  }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_read = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  Socks5Request request{(data[0] & 1) != 0 ? "10.0.0.7" : "media.example.com", 554, "", ""};
  if ((data[0] & 2) != 0) request.userName = "viewer", request.password = "secret";
  FuzzedServer server(data + 1, size - 1);
  (void)Socks5Connect(server, request);
  return 0;
}
