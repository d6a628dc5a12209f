// The seam between the socket engine and the thread's event loop: it tells the
// engine when its socket can be read or written, and runs one wait step of the
// loop for the engine's waiting operations. Everything runs on the thread that
// created the engine.
#ifndef TORVANE_WIRELET_SOCKETWATCHER_H_
#define TORVANE_WIRELET_SOCKETWATCHER_H_

#include <functional>

#include "SocketTypes.h"

namespace torvane {

class SocketWatcher {
 public:
  class Client {
   public:
    virtual void OnReadable() = 0;
    virtual void OnWritable() = 0;
    // The peer closed or reset the connection (WinSock's FD_CLOSE): told once
    // per watched socket, whether read is on or not, with the WinSock code of
    // the close (0 for a normal one). Bytes may still wait to be read.
    virtual void OnClosed(int code) = 0;

   protected:
    ~Client() = default;
  };

  enum class WaitResult { kContinue, kQuit };

  virtual ~SocketWatcher() = default;

  // The client must outlive the watcher's use of it; called once by the engine.
  virtual void SetClient(Client* client) = 0;

  // Starts watching socket with both directions off; kNoSocket stops
  // watching. Nothing reported for an earlier socket reaches the client after
  // this call. Returns 0, or the WinSock code when the socket's notifications
  // cannot be set up (the socket is then not watched).
  virtual int Watch(SocketHandle socket) = 0;
  virtual void EnableRead(bool on) = 0;
  virtual void EnableWrite(bool on) = 0;

  // OnReadable() runs soon from the loop, once, whatever the socket's state.
  virtual void PostRead() = 0;

  // Runs task once from the loop, after the current notification returns;
  // the task may destroy the watcher.
  virtual void PostTask(std::function<void()> task) = 0;

  // Dispatches what is pending, or sleeps until input arrives or maxMs pass.
  // kQuit when the loop is being told to quit.
  virtual WaitResult WaitStep(int maxMs) = 0;
};

}  // namespace torvane

#endif  // TORVANE_WIRELET_SOCKETWATCHER_H_
