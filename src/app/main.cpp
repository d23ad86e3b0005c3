// varnel: the desktop program. Usage: varnel [SONG.vnl | /install | /uninstall | /reset]
#include <QApplication>
#include <QIcon>
#include <QMessageBox>

#include "app/install.h"
#include "app/main_window.h"
#include "devices/system_midi_backend.h"
#include "midi/row_clock.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Varnel"));
  QApplication::setOrganizationName(QStringLiteral("Orvalis"));
  QApplication::setApplicationVersion(QStringLiteral(VARNEL_VERSION));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/varnel.svg")));

  const QStringList arguments = QApplication::arguments();
  const QString first = arguments.size() > 1 ? arguments[1] : QString();
  // The switches end the program before any window; every other start renews the association.
  const varnel::SwitchDialogs boxes{
      [](const QString& text) {
        return QMessageBox::question(nullptr, QStringLiteral("Varnel"), text, QMessageBox::Yes | QMessageBox::No) ==
               QMessageBox::Yes;
      },
      [](const QString& text) { QMessageBox::information(nullptr, QStringLiteral("Varnel"), text); }};
  if (varnel::HandleStartSwitches(first, varnel::InstallPaths::Current(), boxes)) return 0;

  varnel::SystemMidiBackend backend;
  varnel::ThreadRowClock clock;
  varnel::TMainForm window(backend, clock);
  window.SetStartArgument(first);
  window.show();
  return QApplication::exec();
}
