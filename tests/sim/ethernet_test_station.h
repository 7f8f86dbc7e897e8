#pragma once
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "sim/ethernet_link.h"

// An attachment that records what it receives and can act on each frame.
class RecordingStation : public sim::EthernetStation {
 public:
  void receiveFrame(const uint8_t* frame, size_t length) override {
    frames.emplace_back(frame, frame + length);
    if (onFrame) onFrame(frame, length);
  }

  std::vector<std::vector<uint8_t>> frames;
  std::function<void(const uint8_t*, size_t)> onFrame;
};

// A frame from `src` to `dst` with type 0xDEAD and `length` bytes in all, the
// payload counting up from `seed`.
inline std::vector<uint8_t> TestFrame(const uint8_t (&dst)[6], const uint8_t (&src)[6],
                                      size_t length, uint8_t seed = 0) {
  std::vector<uint8_t> frame(length);
  std::memcpy(frame.data(), dst, 6);
  std::memcpy(frame.data() + 6, src, 6);
  frame[12] = 0xDE;
  frame[13] = 0xAD;
  for (size_t i = 14; i < length; ++i) frame[i] = static_cast<uint8_t>(seed + i);
  return frame;
}
