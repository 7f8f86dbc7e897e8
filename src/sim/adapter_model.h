#pragma once
#include <array>
#include <cstdint>

namespace sim {

// The maker's two adapter models on the 21143, each with a twisted-pair (TX) or
// a fibre (FX) front end.
enum class BoardModel { R51, R83 };
enum class BoardVariant { Tx, Fx };

using MacAddress = std::array<uint8_t, 6>;

inline constexpr uint16_t kOrvaneVendorId = 0x13D8;

// The subsystem ID a board of the model carries in its EEPROM (words 0 and 1),
// which the controller shows in CSID.
inline constexpr uint16_t SubsystemId(BoardModel model) { return model == BoardModel::R51 ? 0x0100 : 0x0430; }

}  // namespace sim
