#pragma once

// What the echo client reports through: messages, results and status to the
// first reporter, progress to the second. Implemented by whoever runs a client.
class EchoReporter {
 public:
  virtual ~EchoReporter() = default;
  virtual void Message(const char* text) = 0;
  virtual void Result(const char* text) = 0;
  virtual void Status(const char* text) = 0;
  virtual void Progress(const char* text, int count) = 0;
};
