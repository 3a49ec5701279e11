// Start-up work the window will need anyway, begun on the second core while
// this thread connects to the display and reads its settings: reading the
// font configuration, connecting to the session bus and loading the image
// readers' plugins. Each is what Qt would otherwise do in the middle of
// building the window.
#pragma once

#include <thread>
#include <vector>

class StartWarmUp {
 public:
  StartWarmUp() = default;
  StartWarmUp(const StartWarmUp&) = delete;
  StartWarmUp& operator=(const StartWarmUp&) = delete;
  ~StartWarmUp() { Wait(); }

  // The system's font configuration (fontconfig); touches no Qt, so it may
  // start before the application object exists. Nothing where there is none.
  void ReadFontConfiguration();
  // The desktop's session bus, which Qt's screen-reader bridge connects to,
  // waiting, the first time a control's accessible name or text changes: in
  // the middle of building the window, or (with no session bus) after a
  // failed attempt to start one. Only once the application object exists;
  // nothing where Qt has no D-Bus (Windows).
  void ConnectSessionBus();
  // Qt's image format plugins, which Qt loads all of the first time a picture
  // (the menu bar's own icon, the window icon) is read. Only once the
  // application object exists.
  void LoadImageReaders();
  // Waits for what was started: before Qt itself first needs it (so the
  // same library is never used from two threads at once), and at the latest
  // before the application object goes.
  void Wait();

 private:
  // A thread that cannot be made leaves the work to Qt, where it was before.
  template <typename Work>
  void Start(Work work);

  std::vector<std::thread> threads_;
};
