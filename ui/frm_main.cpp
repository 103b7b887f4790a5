#include "ui/frm_main.h"

namespace kestrelin {

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
  setObjectName("frmMain");
  setWindowTitle("Kestrelin");
}

}  // namespace kestrelin
