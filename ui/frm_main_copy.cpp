// frmMain: the Offline tab (what a copy needs to be read from disk) and its
// own settings file, ksoffline.cfg.
#include <QCheckBox>
#include <QVBoxLayout>

#include "engine/paths.h"
#include "ui/frm_main.h"
#include "ui/offline_settings.h"

namespace kestrelin {
namespace {

QCheckBox* MakeOfflineCheck(QWidget* parent, const char* name, const char* caption,
                            const char* tip) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  box->setToolTip(tip);
  return box;
}

}  // namespace

QWidget* frmMain::BuildCopyTab() {
  auto* page = new QWidget;
  page->setObjectName("tabOffline");
  chkCompletePages_ = MakeOfflineCheck(page, "chkCompletePages", "Get everything pages need",
      "Also downloads the style sheets, pictures and fonts that pages use, including those "
      "named inside style sheets, and follows links to folders.");
  chkOfflineLinks_ = MakeOfflineCheck(page, "chkOfflineLinks", "Make links work offline",
      "On completion, changes the links in downloaded pages and style sheets so that they lead "
      "to the downloaded files, and to the web for anything not downloaded.");
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(chkCompletePages_);
  layout->addWidget(chkOfflineLinks_);
  layout->addStretch(1);
  return page;
}

void frmMain::LoadCopySettings() {
  const auto text = services_.FSO.ReadFile(JoinPath(services_.ProgramFolder, "ksoffline.cfg"));
  copySettingsFound_ = text.has_value();
  const OfflineSettings settings = text ? ParseOfflineSettings(*text) : OfflineSettings{};
  SetCheckValue(chkCompletePages_, settings.CompletePages);
  SetCheckValue(chkOfflineLinks_, settings.OfflineLinks);
}

void frmMain::SaveCopySettings(std::vector<std::string>& problems) {
  const std::string path = JoinPath(services_.ProgramFolder, "ksoffline.cfg");
  const OfflineSettings settings{CheckValue(chkCompletePages_), CheckValue(chkOfflineLinks_)};
  // Never used: the program's folder stays as it was without these options.
  if (settings.CompletePages == 0 && settings.OfflineLinks == 0 && !copySettingsFound_) return;
  if (!services_.FSO.WriteFile(path, FormatOfflineSettings(settings))) problems.push_back(path);
}

}  // namespace kestrelin
