#include "engine/recording_host.h"

namespace kestrelin {
namespace {

std::string Field(long n) { return std::to_string(n); }

}  // namespace

void RecordingHost::Emit(const std::string& line) {
  if (KeepTrace) trace_.push_back(line);
  if (OnTrace) OnTrace(line);
}

void RecordingHost::ClearLog() {
  log_.Clear();
  Emit("CLEAR");
}

void RecordingHost::AddLine(const std::string& text) {
  log_.Add(text);
  Emit("ADD\t" + text + "\t");
}

bool RecordingHost::AddKeyedLine(const std::string& text, const std::string& key) {
  if (!log_.AddKeyed(text, key)) return false;
  Emit("ADD\t" + text + "\t" + key);
  return true;
}

void RecordingHost::SetLineText(long n, const std::string& text) {
  log_.SetText(n, text);
  Emit("TEXT\t" + Field(n) + "\t" + text);
}

bool RecordingHost::SetLineKey(long n, const std::string& key) {
  if (!log_.SetKey(n, key)) return false;
  Emit("KEY\t" + Field(n) + "\t" + key);
  return true;
}

void RecordingHost::SetLineRed(long n) {
  log_.SetRed(n);
  Emit("RED\t" + Field(n));
}

void RecordingHost::RemoveLine(long n) {
  log_.Remove(n);
  Emit("REMOVE\t" + Field(n));
}

void RecordingHost::MakeLineVisible(long n) { Emit("VISIBLE\t" + Field(n)); }

void RecordingHost::SetBarMax(int max) {
  barMax_ = max;
  Emit("BAR\t" + std::to_string(barValue_) + "\t" + std::to_string(barMax_));
}

void RecordingHost::SetBarValue(int value) {
  barValue_ = value;
  Emit("BAR\t" + std::to_string(barValue_) + "\t" + std::to_string(barMax_));
}

void RecordingHost::YieldEvents() {
  ++yields_;
  Emit("YIELD");
  if (OnYield) OnYield();
}

void RecordingHost::HideMainWindow() { mainHidden_ = true; }
void RecordingHost::ShowMainWindow() { mainHidden_ = false; }
void RecordingHost::LoadTray() { trayLoaded_ = true; }

void RecordingHost::TraySetTip(const std::string& tip, int iconKind) {
  Emit("TIP\t" + std::to_string(iconKind) + "\t" + tip);
}

void RecordingHost::UnloadTray() { trayLoaded_ = false; }
void RecordingHost::RestoreIdleControls() {}
void RecordingHost::ShowCompletionMessage(const std::string& text) { message_ = text; }
void RecordingHost::RefreshFolderList() {}
void RecordingHost::LinkAppended(const std::string& url) { Emit("LINK\t" + url); }

std::string RecordingHost::FormatFinalLog() const {
  std::string out;
  for (long n = 1; n <= log_.Count(); ++n) {
    out += log_.Red(n) ? "R" : ".";
    out += '\t';
    out += log_.Key(n);
    out += '\t';
    out += log_.Text(n);
    out += '\n';
  }
  return out;
}

}  // namespace kestrelin
