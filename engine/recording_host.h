#pragma once
// A crawl host without a window: keeps the progress log, the bar and the
// tray state in memory and describes every operation as one trace line
// (CLEAR, ADD, TEXT, KEY, RED, REMOVE, VISIBLE, BAR, TIP, YIELD, LINK, with
// TAB-separated fields). Used by the headless tool and by the tests.
#include <functional>
#include <string>
#include <vector>

#include "engine/crawl_host.h"
#include "engine/progress_log_model.h"

namespace kestrelin {

class RecordingHost : public CrawlHost {
 public:
  // Receives each trace line as it happens; none when empty.
  std::function<void(const std::string&)> OnTrace;
  // Runs inside every yield, after the yield is traced (tests press Stop here).
  std::function<void()> OnYield;

  void ClearLog() override;
  void AddLine(const std::string& text) override;
  bool AddKeyedLine(const std::string& text, const std::string& key) override;
  long LineCount() const override { return log_.Count(); }
  std::string LineText(long n) const override { return std::string(log_.Text(n)); }
  std::string LineKey(long n) const override { return std::string(log_.Key(n)); }
  void SetLineText(long n, const std::string& text) override;
  bool SetLineKey(long n, const std::string& key) override;
  void SetLineRed(long n) override;
  void RemoveLine(long n) override;
  void MakeLineVisible(long n) override;

  void SetBarMax(int max) override;
  void SetBarValue(int value) override;
  int BarMax() const override { return barMax_; }

  void YieldEvents() override;

  void HideMainWindow() override;
  void ShowMainWindow() override;
  void LoadTray() override;
  void TraySetTip(const std::string& tip, int iconKind) override;
  void UnloadTray() override;
  void RestoreIdleControls() override;
  void ShowCompletionMessage(const std::string& text) override;
  void RefreshFolderList() override;
  void LinkAppended(const std::string& url) override;

  const ProgressLogModel& Log() const { return log_; }
  int BarValue() const { return barValue_; }
  bool TrayLoaded() const { return trayLoaded_; }
  bool MainWindowHidden() const { return mainHidden_; }
  const std::string& CompletionMessage() const { return message_; }
  int Yields() const { return yields_; }
  // Every trace line so far (kept only when KeepTrace is set).
  bool KeepTrace = true;
  const std::vector<std::string>& Trace() const { return trace_; }

  // The final log, one line per entry: "R" or ".", TAB, key, TAB, text.
  std::string FormatFinalLog() const;

 private:
  void Emit(const std::string& line);

  ProgressLogModel log_;
  int barMax_ = 100;
  int barValue_ = 0;
  bool trayLoaded_ = false;
  bool mainHidden_ = false;
  std::string message_;
  int yields_ = 0;
  std::vector<std::string> trace_;
};

}  // namespace kestrelin
