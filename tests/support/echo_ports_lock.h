#pragma once
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

// The shipped echo benches use fixed UDP ports (47001/47002). Tests that bind
// them take this lock first, so that ctest running tests side by side never
// lets two of them fight over the ports; it is released when the test ends
// (or its process dies).
class EchoPortsLock {
 public:
  EchoPortsLock() {
    fd_ = ::open("/tmp/orvdiag-echo-ports.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ >= 0) ::flock(fd_, LOCK_EX);
  }
  ~EchoPortsLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  EchoPortsLock(const EchoPortsLock&) = delete;
  EchoPortsLock& operator=(const EchoPortsLock&) = delete;

 private:
  int fd_ = -1;
};
