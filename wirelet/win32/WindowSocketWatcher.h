// The SocketWatcher of a Windows thread: WinSock's asynchronous notifications
// (WSAAsyncSelect) arrive as messages at a hidden window owned by the
// watcher, and the thread's message loop delivers them. The engine expects
// level-triggered directions, as poll() gives them; this watcher emulates
// that over WinSock's one-shot messages:
//  - FD_CONNECT and FD_WRITE call OnWritable() while write is on; a connect
//    outcome that arrives while write is off is kept until it is on again,
//    and switching write on delivers OnWritable() once the socket can take
//    data (checked with select()).
//  - FD_READ and FD_CLOSE call OnReadable() while read is on; one that
//    arrives while read is off is kept and posted when read is on again.
//    After FD_CLOSE the socket stays readable.
//  - FD_CLOSE also calls OnClosed() with the error of its high word, at once,
//    whether read is on or not.
// Everything runs on the thread that created the watcher; WSOCK32.DLL must be
// held by the loader while a socket is watched.
#ifndef TORVANE_WIRELET_WIN32_WINDOWSOCKETWATCHER_H_
#define TORVANE_WIRELET_WIN32_WINDOWSOCKETWATCHER_H_

// winsock2.h must come before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <deque>
#include <functional>

#include "SocketWatcher.h"

namespace torvane {

class WindowSocketWatcher : public SocketWatcher {
 public:
  // The window class, registered once per process (CS_GLOBALCLASS, 12 bytes
  // of window extra data whose first word holds the watcher).
  static constexpr const char* kClassName = "__wlt_socket_wnd__";
  // wParam = socket, lParam = event in the low word, error in the high word.
  static constexpr UINT kSocketNotify = WM_USER + 101;

  // Creates the never-shown top-level window on the calling thread.
  WindowSocketWatcher();
  // Stops the notifications and destroys the window; tasks not yet run are
  // dropped.
  ~WindowSocketWatcher() override;
  WindowSocketWatcher(const WindowSocketWatcher&) = delete;
  WindowSocketWatcher& operator=(const WindowSocketWatcher&) = delete;

  void SetClient(Client* client) override { client_ = client; }
  // WSAAsyncSelect(socket, window, kSocketNotify, FD_READ | FD_WRITE |
  // FD_CONNECT | FD_CLOSE); the previous socket's notifications are switched
  // off (WSAAsyncSelect with no events) and those still queued are dropped.
  int Watch(SocketHandle socket) override;
  void EnableRead(bool on) override;
  void EnableWrite(bool on) override;
  // Posts kSocketNotify with FD_READ for the watched socket; it reaches
  // OnReadable() whether read is on or not.
  void PostRead() override;
  void PostTask(std::function<void()> task) override;
  // Takes one message of the thread's queue and dispatches it; with none,
  // waits until input arrives or maxMs pass. kQuit for WM_QUIT (posted again
  // for the loop outside), WM_CLOSE, or when the window is gone.
  WaitResult WaitStep(int maxMs) override;

  // Null once the window has been destroyed.
  HWND Window() const { return window_; }
  SocketHandle Watched() const { return socket_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnSocketNotify(WORD event, WORD error);
  void OnCheck();
  void PostCheck();
  bool Writable() const;
  void StopNotifications();

  HWND window_ = nullptr;
  Client* client_ = nullptr;
  SocketHandle socket_ = kNoSocket;
  unsigned generation_ = 0;  // counts Watch() calls, so a reused handle is told apart
  bool read_ = false;
  bool write_ = false;
  bool readOwed_ = false;     // FD_READ or FD_CLOSE came while read was off
  bool closed_ = false;       // FD_CLOSE came: the socket stays readable
  bool connectOwed_ = false;  // FD_CONNECT came while write was off
  bool checkPosted_ = false;
  int postedReads_ = 0;  // PostRead messages in the queue for this socket
  std::deque<std::function<void()>> tasks_;
};

}  // namespace torvane

#endif  // TORVANE_WIRELET_WIN32_WINDOWSOCKETWATCHER_H_
