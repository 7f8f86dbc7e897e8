#pragma once

// "About": the program's name and version. It holds no data and handles nothing.
struct AboutDialog {
  static constexpr const char* kTitle = "About";
  static constexpr const char* kProgramName = "Orvane PCI Diagnostics";
  static constexpr const char* kVersion = "Version 6.0";
};
