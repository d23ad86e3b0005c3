// The main window on a recording MIDI device and a manual row clock, with dialogs that answer
// from the test and remember what they were asked.
#pragma once

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

#include "app/main_window.h"
#include "app/properties_bar.h"
#include "app/settings.h"
#include "app/user_dialogs.h"
#include "document/song_document.h"
#include "editor/editor_frame.h"
#include "editor/my_grid.h"
#include "midi/midi_devices.h"
#include "midi/playback.h"
#include "midi/recording_output.h"
#include "midi/row_clock.h"
#include "song/song.h"

namespace varnel::test {

class RecordingDialogs final : public UserDialogs {
 public:
  void Message(QWidget*, const QString& text) override {
    messages << text;
    if (onMessage) onMessage(text);
  }
  void Notice(QWidget*, const QString& text) override { notices << text; }
  bool Question(QWidget*, const QString& text) override {
    questions << text;
    return answer;
  }
  DialogAnswer YesNoCancel(QWidget*, const QString& text) override {
    questions << text;
    return saveAnswer;
  }
  QString OpenFileName(QWidget*, const QString& filters, const QString& suffix, const QString& folder) override {
    if (whileOpening) whileOpening();
    folders << folder;
    this->filters << filters;
    suffixes << suffix;
    return openName;
  }
  QString SaveFileName(QWidget*, const QString& filters, const QString& suffix, const QString& proposal) override {
    this->filters << filters;
    suffixes << suffix;
    proposals << proposal;
    return saveName;
  }
  // The program's own modal dialogs are confirmed unseen, unless a test says otherwise.
  bool Confirm(const std::function<bool()>&) override {
    ++confirmations;
    if (onConfirm) onConfirm();
    return confirm;
  }

  QStringList messages, notices, questions, filters, suffixes, proposals, folders;
  bool answer = true;
  DialogAnswer saveAnswer = DialogAnswer::No;  // "Save changes?": discard and go on
  QString openName, saveName;
  bool confirm = true;
  int confirmations = 0;
  std::function<void()> whileOpening;  // runs while the Open dialog would be up
  std::function<void(const QString&)> onMessage;  // as each message is shown
  std::function<void()> onConfirm;                // while one of the program's dialogs would be open
};

struct WindowRig {
  // Settings come from `settingsFolder`, or from an empty folder of the rig's own.
  explicit WindowRig(const QString& argument = {}, const QString& settingsFolder = {}) {
    Settings::UseFolder(settingsFolder.isEmpty() ? settings.path() : settingsFolder);
    window = std::make_unique<TMainForm>(backend, clock, &dialogs);
    window->SetStartArgument(argument);
    window->resize(1000, 700);
    window->show();
    QApplication::setActiveWindow(window.get());
    if (!QTest::qWaitForWindowActive(window.get())) qWarning("main window not active");
  }

  TVNSong& Song() { return window->Song(); }
  // Whether the song counts as modified; setting it: unsaved changes, or a fresh unmodified state.
  bool Modified() { return window->Document().Modified(); }
  void SetModified(bool on) { on ? window->Document().MarkUnsaved() : window->Document().ResetHistory(); }
  TMyGrid2& G1() { return *window->Frame()->Grid1(); }
  TPropertiesBar& Props() { return *window->Properties(); }
  void Trigger(const QString& key) { window->Action(key)->trigger(); }
  // The colour scheme of a menu key ("Scheme0".."Scheme2") chosen from its menu; the default by
  // way of another, so that choosing it applies it.
  void UseScheme(const QString& key) {
    if (key == QLatin1String("Scheme0")) Trigger(QStringLiteral("Scheme1"));
    Trigger(key);
  }
  // Data rows of the three schemes, in a column "scheme".
  static void SchemeRows() {
    QTest::addColumn<QString>("scheme");
    QTest::newRow("Default") << QStringLiteral("Scheme0");
    QTest::newRow("Blue") << QStringLiteral("Scheme1");
    QTest::newRow("New Icons") << QStringLiteral("Scheme2");
  }
  static void Pump() { QCoreApplication::sendPostedEvents(); }

  // The bytes sent to the device, as "90 3C 64" texts.
  QStringList Sent() {
    QStringList out;
    for (const MidiRecorder::Event& e : backend.Recorder().Events()) out << QString::fromStdString(HexBytes(e.message));
    return out;
  }

  QTemporaryDir settings;
  RecordingBackend backend;
  ManualRowClock clock;
  RecordingDialogs dialogs;
  std::unique_ptr<TMainForm> window;
};

}  // namespace varnel::test
