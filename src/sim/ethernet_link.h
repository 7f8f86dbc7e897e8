#pragma once
#include <cstddef>
#include <cstdint>

namespace sim {

// Something attached to an Ethernet segment (a board's port, an echo station, a
// UDP link): it is handed every frame another attachment puts on the wire.
// Frames are whole Ethernet frames from the destination address on, without
// preamble and without the 4-byte CRC.
class EthernetStation {
 public:
  virtual ~EthernetStation() = default;
  virtual void receiveFrame(const uint8_t* frame, size_t length) = 0;
};

// The wire as an attachment sees it.
class EthernetWire {
 public:
  virtual ~EthernetWire() = default;
  // Puts a frame on the wire; every other attachment receives it.
  virtual void transmit(EthernetStation* from, const uint8_t* frame, size_t length) = 0;
  // Whether the wire carries link (a PHY reports link up only then).
  virtual bool linkUp() const = 0;
  // Lets the wire deliver what arrived from outside (UDP datagrams) to the
  // attachments; cheap when nothing is due. Called often by attached devices.
  virtual void poll(uint64_t nowMicros) = 0;
};

}  // namespace sim
