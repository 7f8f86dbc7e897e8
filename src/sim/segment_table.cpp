#include "sim/segment_table.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "sim/echo_station.h"
#include "sim/ethernet_segment.h"
#include "sim/machine.h"
#include "sim/udp_link.h"

namespace sim {

namespace {

const std::vector<std::string_view> kSegmentKeys = {
    "name",           "link",         "pacing",          "udp_local",          "udp_remote",
    "echo_station",   "echo_silent",  "echo_drop_every", "echo_corrupt_every", "echo_answer_limit"};

const std::vector<std::string_view> kEchoKnobs = {"echo_silent", "echo_drop_every",
                                                  "echo_corrupt_every", "echo_answer_limit"};

UdpEndpoint ReadEndpoint(const BenchEntry& entry, std::string_view key) {
  const std::string text = *entry.optionalString(key);
  try {
    return UdpEndpoint::parse(text);
  } catch (const UdpLinkError& e) {
    entry.fail(key, "\"" + std::string(key) + "\": " + e.what());
  }
}

EchoFaults ReadEchoFaults(const BenchEntry& entry) {
  constexpr uint64_t kMax = 0xFFFFFFFF;
  EchoFaults faults;
  faults.enabled = !entry.boolean("echo_silent", false);
  faults.dropEvery = entry.integer("echo_drop_every", kMax, 0);
  faults.corruptEvery = entry.integer("echo_corrupt_every", kMax, 0);
  faults.answerLimit = entry.integer("echo_answer_limit", kMax, 0);
  return faults;
}

void LoadSegment(BenchContext& context, const BenchEntry& entry, std::map<std::string, int>& seen) {
  const std::optional<std::string> name = entry.optionalString("name");
  if (!name) entry.fail("missing key \"name\"");
  if (name->empty()) entry.fail("name", "\"name\" must not be empty");
  if (auto it = seen.find(*name); it != seen.end()) {
    entry.fail("name", "duplicate segment \"" + *name + "\" (first at line " +
                           std::to_string(it->second) + ")");
  }
  seen[*name] = entry.line();

  auto segment = std::make_unique<EthernetSegment>(*name);
  segment->setLinkUp(entry.boolean("link", true));
  if (auto pacing = entry.optionalInteger("pacing", 0xFFFFFFFF)) {
    if (*pacing != 10 && *pacing != 100) {
      entry.fail("pacing", "\"pacing\" must be 10 or 100 (Mb/s), not " + std::to_string(*pacing));
    }
    segment->setPacing(static_cast<unsigned>(*pacing), &context.machine().clock());
  }

  const bool local = entry.has("udp_local");
  const bool remote = entry.has("udp_remote");
  if (local != remote) {
    entry.fail(local ? "udp_local" : "udp_remote",
               local ? "\"udp_local\" needs \"udp_remote\" (where the frames go)"
                     : "\"udp_remote\" needs \"udp_local\" (the address to receive on)");
  }
  std::optional<UdpEndpoint> udpLocal, udpRemote;
  if (local) {
    udpLocal = ReadEndpoint(entry, "udp_local");
    udpRemote = ReadEndpoint(entry, "udp_remote");
    if (udpLocal->text() == udpRemote->text()) {
      entry.fail("udp_remote", "\"udp_remote\" is \"udp_local\" itself: the segment would hear "
                               "its own frames");
    }
  }

  if (entry.has("echo_station")) {
    const std::optional<EchoStation::Mac> mac =
        EchoStation::parseMac(*entry.optionalString("echo_station"));
    if (!mac) {
      entry.fail("echo_station", "\"echo_station\" must be an Ethernet address such as "
                                 "\"02:00:00:00:00:ee\"");
    }
    if ((*mac)[0] & 0x01) {
      entry.fail("echo_station", "\"echo_station\" = \"" + EchoStation::formatMac(*mac) +
                                     "\" is a multicast address; an echo station needs its own "
                                     "unicast address");
    }
    segment->adopt(std::make_unique<EchoStation>(*segment, *mac, ReadEchoFaults(entry)));
  } else {
    for (std::string_view knob : kEchoKnobs) {
      if (entry.has(knob)) entry.fail(knob, "\"" + std::string(knob) + "\" needs \"echo_station\"");
    }
  }

  // Bound last, so that a mistake further down the table leaves no port taken.
  if (udpLocal) {
    try {
      segment->adopt(std::make_unique<UdpLink>(*segment, *udpLocal, *udpRemote));
    } catch (const UdpLinkError& e) {
      entry.fail("udp_local", e.what());
    }
  }
  context.machine().addSegment(std::move(segment));
}

void LoadSegments(BenchContext& context, const std::vector<const toml::table*>& tables) {
  std::map<std::string, int> seen;
  for (const toml::table* t : tables) {
    BenchEntry entry(context, *t, kSegmentKeys);
    LoadSegment(context, entry, seen);
  }
}

}  // namespace

BenchTableKind SegmentTableKind() { return {"segment", 5, true, LoadSegments}; }

}  // namespace sim
