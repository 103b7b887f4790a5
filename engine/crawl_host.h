#pragma once
// What a crawl needs of the program that runs it: the progress log, the
// progress bar, yielding to the user, the tray icon and the window state.
// Implemented by the main window, by the headless tool and by the recording
// host of the tests. Every call is made on the thread that runs the crawl.
#include <string>

namespace kestrelin {

class CrawlHost {
 public:
  virtual ~CrawlHost() = default;

  // Progress log. Lines are numbered from 1; a new line goes to the end.
  // Keys are unique within the log; an empty key marks an ordinary line.
  virtual void ClearLog() = 0;
  virtual void AddLine(const std::string& text) = 0;
  // Returns false, adding nothing, when another line already has `key`.
  virtual bool AddKeyedLine(const std::string& text, const std::string& key) = 0;
  virtual long LineCount() const = 0;
  virtual std::string LineText(long n) const = 0;
  virtual std::string LineKey(long n) const = 0;
  virtual void SetLineText(long n, const std::string& text) = 0;
  // Returns false, changing nothing, when another line already has `key`.
  virtual bool SetLineKey(long n, const std::string& key) = 0;
  virtual void SetLineRed(long n) = 0;
  virtual void RemoveLine(long n) = 0;
  virtual void MakeLineVisible(long n) = 0;

  // Progress bar.
  virtual void SetBarMax(int max) = 0;
  virtual void SetBarValue(int value) = 0;
  virtual int BarMax() const = 0;

  // Lets the user's commands run (stop, scrolling). The stop flag is read
  // from the crawl state after it returns.
  virtual void YieldEvents() = 0;

  // Window and tray. HideMainWindow/LoadTray at the start of a hidden crawl,
  // UnloadTray/ShowMainWindow at its end. Icon kinds: 1 searching,
  // 2 downloading, 3 rebuilding; any other kind keeps the image.
  virtual void HideMainWindow() = 0;
  virtual void ShowMainWindow() = 0;
  virtual void LoadTray() = 0;
  virtual void TraySetTip(const std::string& tip, int iconKind) = 0;
  virtual void UnloadTray() = 0;
  // Back to idle: "Download Files" shown, the upper panel enabled, "Stop
  // Download" hidden.
  virtual void RestoreIdleControls() = 0;
  // Information box titled "Kestrelin"; returns when the user closes it.
  virtual void ShowCompletionMessage(const std::string& text) = 0;
  virtual void RefreshFolderList() = 0;

  // Told of every link that link extraction appends (for tracing).
  virtual void LinkAppended(const std::string& /*url*/) {}
};

}  // namespace kestrelin
