// The desktop program: the services, the main window, the event loop.
#include <QApplication>

#include "platform/curl_internet_cache.h"
#include "platform/program_folders.h"
#include "platform/std_file_service.h"
#include "platform/system_clock.h"
#include "ui/frm_main.h"
#include "ui/tray_icons.h"
#include "ui/user_dialogs.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Kestrelin");
  QApplication::setDesktopFileName("kestrelin");
  QApplication::setWindowIcon(kestrelin::KestrelinIcon());

  const std::string executableFolder = kestrelin::ExecutableFolder();
  kestrelin::StdFileService fso;
  kestrelin::SystemClock clock;
  kestrelin::CurlInternetCache cache(
      kestrelin::CurlCacheSettings{kestrelin::InternetCacheFolder(), {}});
  kestrelin::QtUserDialogs dialogs;

  kestrelin::frmMain window(kestrelin::MainWindowServices{
      fso, cache, clock, dialogs, kestrelin::ChooseProgramFolder(executableFolder),
      kestrelin::FindHelpFile(executableFolder), kestrelin::DefaultDestinationFolder(), {}});
  window.Form_Load();  // shows the window once it is filled
  return app.exec();
}
