#include "windows/about_box.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QVBoxLayout>
#include <QtGlobal>
#include <fluidsynth.h>
#include <RtMidi.h>

#ifndef VARNEL_VERSION
#error "VARNEL_VERSION comes from the project's version in CMake"
#endif

namespace varnel {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Varnel"));
  setObjectName(QStringLiteral("AboutBox"));
  text_ = new QLabel(this);
  text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  text_->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addWidget(buttons);
  SetFacts({});
}

QString TAboutBox::Version() { return QStringLiteral(VARNEL_VERSION); }

QString TAboutBox::SynthName() {
  return QStringLiteral("FluidSynth %1 (General MIDI)").arg(QString::fromLatin1(fluid_version_str()));
}

QString TAboutBox::Libraries() {
  return QStringLiteral("Qt %1\nFluidSynth %2\nRtMidi %3")
      .arg(QString::fromLatin1(qVersion()), QString::fromLatin1(fluid_version_str()),
           QString::fromStdString(RtMidi::getVersion()));
}

void TAboutBox::SetFacts(const AboutFacts& facts) {
  const QString soundFont = facts.synthSoundFont.isEmpty()
                                ? QStringLiteral("none found: the embedded synth stays silent")
                                : QFileInfo(facts.synthSoundFont).fileName() + QStringLiteral(" (") +
                                      facts.synthSoundFont + QStringLiteral(")");
  QStringList lines;
  lines << QStringLiteral("Varnel %1").arg(Version())
        << QStringLiteral("A MIDI sequencer in the tracker tradition.") << QString()
        << QStringLiteral("Embedded synth: ") + SynthName() << QStringLiteral("SoundFont: ") + soundFont;
  if (!facts.output.isEmpty()) {
    lines << QStringLiteral("MIDI output: ") + facts.output +
                 (facts.synthIsOutput ? QStringLiteral(" (the embedded synth)") : QString());
  }
  lines << QString() << QStringLiteral("Built with:");
  for (const QString& library : Libraries().split(QLatin1Char('\n'))) lines << QStringLiteral("  ") + library;
  plain_ = lines.join(QLatin1Char('\n'));

  QString html = QStringLiteral("<h2>Varnel %1</h2>").arg(Version().toHtmlEscaped());
  for (int i = 1; i < lines.size(); ++i) html += lines[i].toHtmlEscaped() + QStringLiteral("<br>");
  text_->setText(html);
}

QString TAboutBox::Text() const { return plain_; }

}  // namespace varnel
