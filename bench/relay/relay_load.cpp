// The origin and the players of the relay benchmark (scripts/relay-bench.py), on 127.0.0.1 only.
// Started, it listens as an origin and prints "origin PORT". Each input line "play PORT PLAYERS BYTES" then
// starts PLAYERS players against PORT at once; each asks for BYTES bytes, reads to the end of the stream and
// checksums what it got. The answer is "played BYTES SECONDS GOOD CHECKSUM": the bytes all players received,
// the seconds from the first connect to the last end of stream, how many players got exactly the origin's
// bytes, and the checksum the origin's stream has. The end of its input stops it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// Not a power of two, so the pattern's seams fall anywhere in a relay's reads.
constexpr size_t kPatternSize = (1u << 20) + 7;
constexpr size_t kReadSize = 1u << 20;
constexpr int kStallSeconds = 10;  // a path that carries nothing for this long has failed
constexpr auto kPlayLimit = std::chrono::minutes(5);

// Never freed: origin threads may still be sending when the program ends.
const std::vector<unsigned char>& Pattern() {
  static const std::vector<unsigned char>* pattern = [] {
    auto* bytes = new std::vector<unsigned char>(kPatternSize);
    uint64_t state = 14;
    for (unsigned char& byte : *bytes) {
      state = state * 6364136223846793005ull + 1442695040888963407ull;
      byte = static_cast<unsigned char>(state >> 56);
    }
    return bytes;
  }();
  return *pattern;
}

// A checksum of a byte stream that does not depend on how the stream was cut into reads.
class StreamChecksum {
 public:
  void Add(const unsigned char* data, size_t size) {
    for (; size > 0 && m_nPartial != 0; --size) Take(*data++);
    for (; size >= 8; data += 8, size -= 8) {
      uint64_t word;
      std::memcpy(&word, data, 8);
      Mix(word);
    }
    for (; size > 0; --size) Take(*data++);
  }
  uint64_t Value() const { return (m_hash ^ m_partial ^ (m_nPartial << 56)) * kPrime; }

 private:
  static constexpr uint64_t kPrime = 0x100000001b3ull;
  void Take(unsigned char byte) {
    m_partial |= static_cast<uint64_t>(byte) << (8 * m_nPartial);
    if (++m_nPartial == 8) {
      Mix(m_partial);
      m_partial = 0;
      m_nPartial = 0;
    }
  }
  void Mix(uint64_t word) { m_hash = (m_hash ^ word) * kPrime; }

  uint64_t m_hash = 0xcbf29ce484222325ull;
  uint64_t m_partial = 0;
  uint64_t m_nPartial = 0;
};

uint64_t OriginChecksum(uint64_t size) {
  StreamChecksum checksum;
  for (uint64_t sent = 0; sent < size;) {
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(size - sent, kPatternSize));
    checksum.Add(Pattern().data(), chunk);
    sent += chunk;
  }
  return checksum.Value();
}

void BoundReads(int fd) {
  timeval stall{kStallSeconds, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &stall, sizeof stall);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &stall, sizeof stall);
}

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  return address;
}

// Sends the first `size` bytes of the endless pattern after the request, then waits for the peer to end.
void Feed(int fd) {
  BoundReads(fd);
  std::string request;
  char buffer[1024];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < sizeof buffer * 8) {
    const ssize_t received = recv(fd, buffer, sizeof buffer, 0);
    if (received <= 0) break;
    request.append(buffer, static_cast<size_t>(received));
  }
  uint64_t size = 0;
  std::sscanf(request.c_str(), "GET /%" SCNu64, &size);
  for (size_t offset = 0; size > 0;) {
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(size, kPatternSize - offset));
    const ssize_t sent = send(fd, Pattern().data() + offset, chunk, MSG_NOSIGNAL);
    if (sent <= 0) break;
    offset = (offset + static_cast<size_t>(sent)) % kPatternSize;
    size -= static_cast<uint64_t>(sent);
  }
  shutdown(fd, SHUT_WR);
  while (recv(fd, buffer, sizeof buffer, 0) > 0) {
  }
  close(fd);
}

struct Played {
  uint64_t bytes = 0;
  uint64_t checksum = 0;
};

Played Play(int port, uint64_t size, std::chrono::steady_clock::time_point deadline) {
  Played played;
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  BoundReads(fd);
  const sockaddr_in address = Loopback(port);
  const std::string request = "GET /" + std::to_string(size) + " HTTP/1.0\r\n\r\n";
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
      send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
    std::vector<unsigned char> buffer(kReadSize);
    StreamChecksum checksum;
    ssize_t received;
    while (std::chrono::steady_clock::now() < deadline && (received = recv(fd, buffer.data(), kReadSize, 0)) > 0) {
      checksum.Add(buffer.data(), static_cast<size_t>(received));
      played.bytes += static_cast<uint64_t>(received);
    }
    played.checksum = checksum.Value();
  }
  close(fd);
  return played;
}

void AnswerPlay(int port, int players, uint64_t size) {
  const uint64_t expected = OriginChecksum(size);
  std::vector<Played> results(static_cast<size_t>(players));
  std::vector<std::thread> threads;
  const auto start = std::chrono::steady_clock::now();
  for (Played& result : results)
    threads.emplace_back([&result, port, size, start] { result = Play(port, size, start + kPlayLimit); });
  for (std::thread& thread : threads) thread.join();
  const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  uint64_t bytes = 0;
  int good = 0;
  for (const Played& result : results) {
    bytes += result.bytes;
    if (result.bytes == size && result.checksum == expected) ++good;
  }
  std::printf("played %" PRIu64 " %.6f %d %016" PRIx64 "\n", bytes, seconds.count(), good, expected);
  std::fflush(stdout);
}

}  // namespace

int main() {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 64) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    std::perror("relay_load: origin");
    return 1;
  }
  std::printf("origin %d\n", ntohs(address.sin_port));
  std::fflush(stdout);
  std::thread([listener] {
    for (int peer; (peer = accept(listener, nullptr, nullptr)) >= 0;) std::thread(Feed, peer).detach();
  }).detach();

  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream words(line);
    std::string verb;
    int port = 0, players = 0;
    uint64_t size = 0;
    if (words >> verb >> port >> players >> size && verb == "play" && players > 0)
      AnswerPlay(port, players, size);
    else
      std::puts("error: expected play PORT PLAYERS BYTES");
    std::fflush(stdout);
  }
  return 0;
}
