// varnel: the desktop program. Usage: varnel [SONG.vnl | /install]
#include <QApplication>
#include <cstdio>

#include "app/main_window.h"
#include "devices/system_midi_backend.h"
#include "midi/row_clock.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Varnel"));
  QApplication::setOrganizationName(QStringLiteral("Orvalis"));
  QApplication::setApplicationVersion(QStringLiteral("0.1.0"));

  const QStringList arguments = QApplication::arguments();
  const QString first = arguments.size() > 1 ? arguments[1] : QString();
  const QString trimmed = first.trimmed();
  if (trimmed == QLatin1String("/uninstall") || trimmed == QLatin1String("/reset")) {
    std::fprintf(stderr, "varnel: %s is not supported by this version\n", qPrintable(trimmed));
    return 1;
  }

  varnel::SystemMidiBackend backend;
  varnel::ThreadRowClock clock;
  varnel::TMainForm window(backend, clock);
  window.SetStartArgument(first);
  window.show();
  return QApplication::exec();
}
