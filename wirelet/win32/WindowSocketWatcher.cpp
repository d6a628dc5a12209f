#include "WindowSocketWatcher.h"

#include "Wsock32.h"

namespace torvane {
namespace {

// Private messages of the socket window, after kSocketNotify.
constexpr UINT kCheck = WM_USER + 102;    // deliver what the enabled directions are owed
constexpr UINT kRunTask = WM_USER + 103;  // run the first posted task

constexpr long kAllEvents = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;

SOCKET Sock(SocketHandle s) { return static_cast<SOCKET>(s); }

// The module that holds this code (the program or the control's DLL).
HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&ThisModule), &module);
  return module;
}

}  // namespace

WindowSocketWatcher::WindowSocketWatcher() {
  HINSTANCE instance = ThisModule();
  static const bool registered = [instance] {
    WNDCLASSA windowClass{};
    windowClass.style = CS_GLOBALCLASS;
    windowClass.lpfnWndProc = &WindowSocketWatcher::WindowProc;
    windowClass.cbWndExtra = 12;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    return RegisterClassA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  if (!registered) return;
  window_ = CreateWindowExA(0, kClassName, "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                            instance, nullptr);
  if (window_ != nullptr) SetWindowLongPtrA(window_, 0, reinterpret_cast<LONG_PTR>(this));
}

WindowSocketWatcher::~WindowSocketWatcher() {
  StopNotifications();
  socket_ = kNoSocket;
  client_ = nullptr;
  if (window_ == nullptr) return;
  HWND window = window_;
  window_ = nullptr;
  SetWindowLongPtrA(window, 0, 0);
  MSG message;
  while (PeekMessageA(&message, window, 0, 0, PM_REMOVE)) {
  }
  DestroyWindow(window);
}

LRESULT CALLBACK WindowSocketWatcher::WindowProc(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
  auto* self = reinterpret_cast<WindowSocketWatcher*>(GetWindowLongPtrA(window, 0));
  if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case kSocketNotify:
      if (self->socket_ == kNoSocket || static_cast<SocketHandle>(wParam) != self->socket_) break;
      self->OnSocketNotify(WSAGETSELECTEVENT(lParam), WSAGETSELECTERROR(lParam));
      return 0;
    case kCheck:
      self->OnCheck();
      return 0;
    case kRunTask: {
      if (self->tasks_.empty()) return 0;
      std::function<void()> task = std::move(self->tasks_.front());
      self->tasks_.pop_front();
      // The task may destroy the watcher and this window: nothing of either
      // is touched afterwards.
      task();
      return 0;
    }
    case WM_CLOSE:
      // The window lives as long as its watcher.
      return 0;
    case WM_NCDESTROY:
      // Destroyed from outside: the watcher carries on without notifications.
      self->StopNotifications();
      self->window_ = nullptr;
      SetWindowLongPtrA(window, 0, 0);
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void WindowSocketWatcher::OnSocketNotify(WORD event, WORD error) {
  auto deliverRead = [this] {
    readOwed_ = false;
    const unsigned generation = generation_;
    if (client_ != nullptr) client_->OnReadable();
    // A closed socket stays readable while read is on.
    if (generation == generation_ && closed_ && read_) PostCheck();
  };
  switch (event) {
    case FD_CONNECT:
      if (!write_) {
        connectOwed_ = true;
      } else if (client_ != nullptr) {
        client_->OnWritable();
      }
      break;
    case FD_WRITE:
      // A write that becomes possible while write is off is found by
      // select() when it is switched on.
      if (write_ && client_ != nullptr) client_->OnWritable();
      break;
    case FD_READ:
      if (postedReads_ > 0) {
        --postedReads_;
        deliverRead();
      } else if (read_) {
        deliverRead();
      } else {
        readOwed_ = true;
      }
      break;
    case FD_CLOSE: {
      closed_ = true;
      const unsigned generation = generation_;
      if (client_ != nullptr) client_->OnClosed(error);
      if (generation != generation_) break;
      if (read_) {
        deliverRead();
      } else {
        readOwed_ = true;
      }
      break;
    }
    default:
      break;
  }
}

void WindowSocketWatcher::OnCheck() {
  checkPosted_ = false;
  if (socket_ == kNoSocket || client_ == nullptr) return;
  const unsigned generation = generation_;
  if (write_ && (connectOwed_ || Writable())) {
    connectOwed_ = false;
    client_->OnWritable();
    if (generation != generation_ || client_ == nullptr) return;
  }
  if (read_ && (readOwed_ || closed_)) {
    readOwed_ = false;
    client_->OnReadable();
    if (generation == generation_ && closed_ && read_) PostCheck();
  }
}

void WindowSocketWatcher::PostCheck() {
  if (checkPosted_ || window_ == nullptr) return;
  checkPosted_ = PostMessageA(window_, kCheck, 0, 0) != 0;
}

bool WindowSocketWatcher::Writable() const {
  fd_set set{};
  set.fd_count = 1;
  set.fd_array[0] = Sock(socket_);
  const timeval now{0, 0};
  return wsock32::Get().select(0, nullptr, &set, nullptr, &now) > 0;
}

void WindowSocketWatcher::StopNotifications() {
  if (socket_ != kNoSocket) wsock32::Get().WSAAsyncSelect(Sock(socket_), window_, 0, 0);
}

int WindowSocketWatcher::Watch(SocketHandle socket) {
  StopNotifications();
  if (window_ != nullptr) {
    // What is still queued belongs to the previous socket, whose handle the
    // system may give to the next one.
    MSG message;
    while (PeekMessageA(&message, window_, kSocketNotify, kCheck, PM_REMOVE)) {
    }
  }
  socket_ = kNoSocket;
  ++generation_;
  read_ = false;
  write_ = false;
  readOwed_ = false;
  closed_ = false;
  connectOwed_ = false;
  checkPosted_ = false;
  postedReads_ = 0;
  if (socket == kNoSocket) return 0;
  if (window_ == nullptr) return WSAEINVAL;
  const wsock32::Entries& api = wsock32::Get();
  if (api.WSAAsyncSelect(Sock(socket), window_, kSocketNotify, kAllEvents) != 0) {
    const int code = api.WSAGetLastError();
    return code != 0 ? code : WSAEINVAL;
  }
  socket_ = socket;
  return 0;
}

void WindowSocketWatcher::EnableRead(bool on) {
  const bool was = read_;
  read_ = on;
  if (on && !was && (readOwed_ || closed_)) PostCheck();
}

void WindowSocketWatcher::EnableWrite(bool on) {
  const bool was = write_;
  write_ = on;
  if (on && !was) PostCheck();
}

void WindowSocketWatcher::PostRead() {
  if (socket_ == kNoSocket || window_ == nullptr) return;
  if (PostMessageA(window_, kSocketNotify, static_cast<WPARAM>(socket_), MAKELPARAM(FD_READ, 0))) {
    ++postedReads_;
  }
}

void WindowSocketWatcher::PostTask(std::function<void()> task) {
  tasks_.push_back(std::move(task));
  if (window_ != nullptr) PostMessageA(window_, kRunTask, 0, 0);
}

SocketWatcher::WaitResult WindowSocketWatcher::WaitStep(int maxMs) {
  HWND window = window_;
  if (window == nullptr || !IsWindow(window)) return WaitResult::kQuit;
  MSG message;
  if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Left for the loop outside the wait.
      PostQuitMessage(static_cast<int>(message.wParam));
      return WaitResult::kQuit;
    }
    const bool close = message.message == WM_CLOSE;
    TranslateMessage(&message);
    DispatchMessageA(&message);
    // The message may have destroyed this watcher; only the saved handle is used.
    return close || !IsWindow(window) ? WaitResult::kQuit : WaitResult::kContinue;
  }
  MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(maxMs < 0 ? 0 : maxMs),
                            QS_ALLINPUT);
  return WaitResult::kContinue;
}

}  // namespace torvane
