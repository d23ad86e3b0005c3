#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QToolBar>

#include "app/device_feedback.h"
#include "app/loading_window.h"
#include "app/main_window_menus.h"
#include "app/properties_bar.h"
#include "app/recovery.h"
#include "app/user_dialogs.h"
#include "app/window_place.h"
#include "document/song_document.h"
#include "editor/editor_frame.h"
#include "editor/my_grid.h"
#include "editing/grid_text.h"
#include "midi/midi_devices.h"
#include "midi/playback.h"
#include "song/song.h"
#include "windows/piano_form.h"

namespace varnel {

TMainForm::TMainForm(MidiBackend& backend, RowClock& clock, UserDialogs* dialogs, QWidget* parent)
    : QMainWindow(parent),
      ownDialogs_(dialogs ? nullptr : MakeQtDialogs()),
      dialogs_(dialogs ? dialogs : ownDialogs_.get()),
      document_(std::make_unique<SongDocument>(this)),
      song_(&document_->Song()),
      backend_(backend),
      devices_(std::make_unique<MidiDevices>(backend, *song_)),
      player_(std::make_unique<PlaybackEngine>(*song_, *devices_, clock)) {
  setWindowTitle(QStringLiteral("Varnel"));
  setContextMenuPolicy(Qt::NoContextMenu);  // the bars are shown and hidden from the View menu only
  commands_ = new MainCommands(this);
  BuildLayout();
  MeasureCells();
  ConnectProperties();
  ConnectCommands();
  ConnectFiles();
  ConnectSettings();
  ConnectShaping();
  ConnectEdit();
  ConnectTracks();
  ConnectTemplates();
  ConnectInfo();
  ConnectPiano();
  ConnectView();
  ConnectDevices();

  // The row clock and the input device only post; everything else happens here on the UI thread.
  player_->SetRowPlayedHandler([this] { playPoster_.Notify(); });
  midiIn_.SetNotify([this] { midiPoster_.Notify(); });
  // MIDI clock and its transport go to the clock follower (when it follows), the rest to the editor.
  devices_->SetTimedInputHandler([this](const ShortMessage& message, MidiTime when) {
    if (!player_->Follower().Receive(message, when)) midiIn_.Push(message);
  });
  qApp->installEventFilter(this);

  if (const QScreen* screen = QApplication::primaryScreen()) setGeometry(screen->availableGeometry());
}

TMainForm::~TMainForm() {
  qApp->removeEventFilter(this);
  player_->StopPlayTimer();
  player_->SetRowPlayedHandler(nullptr);
  devices_->SetTimedInputHandler(nullptr);
  devices_->CloseMidiIn();
  // The frame and the devices' feedback work on the song and the devices: they go before they do.
  delete deviceFeedback_;
  deviceFeedback_ = nullptr;
  delete frame_;
  frame_ = nullptr;
}

void TMainForm::BuildLayout() {
  frame_ = new TVNFrame(*document_, *devices_, *player_, *this);
  client_ = new QSplitter(Qt::Horizontal, this);
  client_->addWidget(frame_);
  setCentralWidget(client_);

  // The cool bar's five bands, in order, over four lines so that each is shown whole.
  addToolBar(Qt::TopToolBarArea, commands_->CommonBar);
  addToolBarBreak(Qt::TopToolBarArea);
  props_ = new TPropertiesBar(this);
  addToolBar(Qt::TopToolBarArea, props_);
  // The channel toggles and the channel bar's program and MIDI channel lists belong to the track
  // and channel commands, which fill these two bands.
  channelsBar_ = new QToolBar(tr("Channels toggle"), this);
  channelsBar_->setObjectName(QStringLiteral("ChannelsToggleBar"));
  channelBar_ = new QToolBar(tr("Channel properties"), this);
  channelBar_->setObjectName(QStringLiteral("ChannelBar"));
  addToolBar(Qt::TopToolBarArea, channelsBar_);
  addToolBarBreak(Qt::TopToolBarArea);  // the channel bar is wide: a line of its own
  addToolBar(Qt::TopToolBarArea, channelBar_);
  addToolBarBreak(Qt::TopToolBarArea);
  addToolBar(Qt::TopToolBarArea, commands_->EditBar);
  for (QToolBar* bar : {commands_->CommonBar, static_cast<QToolBar*>(props_), channelsBar_, channelBar_,
                        commands_->EditBar})
    bar->setMovable(true);

  // Panel 0 takes what panel 1 leaves; a long message is cut rather than widening the window.
  panel0_ = new QLabel(this);
  panel0_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  panel1_ = new QLabel(this);
  panel1_->setMinimumWidth(panel1_->fontMetrics().horizontalAdvance(QStringLiteral("Octave 10")) + 8);
  panel0_->setObjectName(QStringLiteral("StatusPanel0"));
  panel1_->setObjectName(QStringLiteral("StatusPanel1"));
  statusBar()->addWidget(panel0_, 1);
  statusBar()->addPermanentWidget(panel1_);

  loading_ = new TLoadingForm(this);

  // Right click in either grid: a copy of the main menu.
  popup_ = new QMenu(this);
  for (QMenu* menu : commands_->TopMenus) popup_->addMenu(menu);
  for (TMyGrid2* grid : {frame_->Grid1(), frame_->Grid2()}) {
    grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(grid, &QWidget::customContextMenuRequested, this,
            [this, grid](const QPoint& pos) { ShowContextMenu(grid, pos); });
  }
}

void TMainForm::ShowContextMenu(QWidget* grid, const QPoint& pos) {
  auto* area = qobject_cast<TMyGrid2*>(grid);
  popup_->popup(area ? area->viewport()->mapToGlobal(pos) : grid->mapToGlobal(pos));
}

void TMainForm::MeasureCells() {
  const QFontMetrics metrics(frame_->Grid1()->font());
  const int width = BaseCellWidth([&](const std::string& text) {
    return metrics.horizontalAdvance(QString::fromStdString(text));
  });
  frame_->SetCellMetrics(width, metrics.height() + 2);
}

QString TMainForm::SongsFolder() {
  const QDir exe(QCoreApplication::applicationDirPath());
  const QString beside = exe.filePath(QStringLiteral("Songs"));
  const QString installed = exe.filePath(QStringLiteral("../share/varnel/Songs"));
  if (!QFileInfo(beside).isDir() && QFileInfo(installed).isDir()) return QDir::cleanPath(installed);
  return beside;
}

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  FormShow();
}

void TMainForm::FormShow() {
  if (started_) return;
  started_ = true;
  frame_->SetActiveGrid(1);
  BuildDeviceMenus();
  GetSettings();  // also opens the stored devices
  PrepareEditor();

  const QString argument = startArgument_.trimmed();
  if (argument == QLatin1String("/install")) {
    const QString demo = QDir(SongsFolder()).filePath(QStringLiteral("song73.vnl"));
    if (document_->Open(demo.toStdString())) {
      ShowLoadedSong();
      PlayPause();
      AfterLoad();
    }
  } else if (!argument.isEmpty()) {
    if (document_->Open(argument.toStdString())) {
      ShowLoadedSong();
      AfterLoad();
    }
  }
  document_->ResetHistory();
  SyncActions();
  StartRecovery();
}

void TMainForm::ChangeStatus(const QString& text, int panel) {
  if (panel == 1) {
    if (panel1_) panel1_->setText(text);
    return;
  }
  if (!panel0_) return;
  statusBar()->clearMessage();
  panel0_->setText(text);
}

QString TMainForm::StatusText(int panel) const {
  const QLabel* label = panel == 1 ? panel1_ : panel0_;
  return label ? label->text() : QString();
}

bool TMainForm::WarningConfirmed(const QString& text) {
  if (Action(QStringLiteral("DisableWarnings"))->isChecked()) return true;
  return dialogs_->Question(this, text);
}

void TMainForm::Status(const std::string& text, int panel) {
  const QString shown = QString::fromStdString(text);
  if (QThread::currentThread() != thread()) {
    QMetaObject::invokeMethod(this, [this, shown, panel] { ChangeStatus(shown, panel); }, Qt::QueuedConnection);
    return;
  }
  ChangeStatus(shown, panel);
}

// A message box never stands beside the loading window: a failed load has ended its loading.
void TMainForm::Message(const std::string& text) {
  const QString shown = QString::fromStdString(text);
  if (QThread::currentThread() != thread()) {
    QMetaObject::invokeMethod(this, [this, shown] {
      loading_->hide();
      dialogs_->Message(this, shown);
    }, Qt::QueuedConnection);
    return;
  }
  loading_->hide();
  dialogs_->Message(this, shown);
}

// The core's questions are confirmations: "Disable warnings" answers them.
bool TMainForm::Question(const std::string& text) {
  if (QThread::currentThread() != thread()) return false;
  loading_->hide();
  return WarningConfirmed(QString::fromStdString(text));
}

void TMainForm::BeginBusy(const std::string& caption) {
  if (QThread::currentThread() == thread()) loading_->ShowCaption(QString::fromStdString(caption));
}

void TMainForm::EndBusy() {
  if (QThread::currentThread() == thread()) loading_->hide();
}

QAction* TMainForm::Action(const QString& key) const { return (*commands_)[key]; }

void TMainForm::PrepareEditor() {
  frame_->Grid1()->SetColCount(2);
  devices_->ResetChannels(-1);
  devices_->PrepareChannels(-1);
  props_->Bpm->ShowValue(song_->BPM);
  props_->Add->ShowValue(song_->GridAdd);
  ResetPatternPresets();
  props_->Ptn->SetMaximum(song_->PatternsCount());
  props_->Ptn->ShowValue(song_->CurrentPattern);
  UpdateToggles();
  Action(QStringLiteral("PatternMode"))->setChecked(!song_->SongMode);
  UpdateSongAccess();
  frame_->RedrawPattern(0, 0, true);
  frame_->RedrawOrders(0, 0);
  UpdateTitle();
  CopyLoopsToGrids();
  props_->Spd->ShowValue(song_->SPD);
  frame_->Grid1()->SetRowHighlight(song_->SPD);
  RedrawTemplate();
  if (song_->KeyKnown) {
    const QSignalBlocker toneQuiet(props_->KeyTone), typeQuiet(props_->KeyType);
    props_->KeyTone->setCurrentIndex(std::clamp<int>(song_->KeyTone, 0, 11));
    props_->KeyType->setCurrentIndex(std::clamp<int>(song_->KeyType, 0, 1));
  }
  if (piano_) piano_->SetOctaveLabels(song_->Octave);
  // The redraws above told the grids which channel each column belongs to.
  SyncActions();
}

void TMainForm::UpdateTitle() {
  QString name = QString::fromStdString(song_->FileName);
  name = name.mid(std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\'))) + 1);
  setWindowTitle(name.isEmpty() ? QStringLiteral("Varnel") : QStringLiteral("Varnel: ") + name);
}

void TMainForm::UpdateSongAccess() {
  TVNSong& s = *song_;
  s.FollowSongView = s.SongMode && Action(QStringLiteral("FollowSong"))->isChecked() ? 1 : 0;
  if (s.FollowSongView) {
    const int position = s.PlayingOrder;
    bool playsPattern = false;
    for (int c = 0; c < s.ChannelsCount() && !playsPattern; ++c) playsPattern = s.GetOrder(c, position) < OrderEmpty;
    if (!playsPattern && !steppingHistory_) {
      EditStep step(*document_, "song view", StepScope::Orders(0, 0, position, position));
      s.SetOrder(0, position, s.CurrentPattern);
      frame_->RedrawOrders(0, 0);
    }
    props_->Ptn->SetLabel(QStringLiteral("Ord."));
    props_->Ptn->SetMaximum(s.OrderLength());
    props_->Ptn->ShowValue(s.PlayingOrder);
  } else {
    props_->Ptn->SetLabel(QStringLiteral("Ptn."));
    props_->Ptn->SetMaximum(s.PatternsCount());
    props_->Ptn->ShowValue(s.CurrentPattern);
  }
  ShowLength();
  frame_->RedrawPattern(0, 0, true);
  UpdateChannelProps(currentChannel_);
}

void TMainForm::ShowLength() {
  lengthGuard_ = true;
  props_->Len->SetValue(song_->GetLastRow() + 1);
  lengthGuard_ = false;
}

// A layout that grew for a moment (bars moving to new lines, a panel shown) may have made the
// window larger than the screen: once it has settled, the window goes back onto the screen.
void TMainForm::ScheduleKeepOnScreen() {
  if (keepOnScreenPending_) return;
  keepOnScreenPending_ = true;
  QTimer::singleShot(0, this, [this] {
    keepOnScreenPending_ = false;
    if (isVisible() && !fittedOnceShown_) {
      fittedOnceShown_ = true;
      HidePianoIfTooTall();
    }
    KeepOnScreen(this);
  });
}

// The channel toggles share the properties bar's line while both fit beside each other; a narrow
// window gives them a line of their own, where they wrap only when that is too narrow as well.
void TMainForm::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  ScheduleKeepOnScreen();
  if (!props_ || !channelsBar_ || toolBarArea(props_) != Qt::TopToolBarArea ||
      toolBarArea(channelsBar_) != Qt::TopToolBarArea || props_->isHidden() || channelsBar_->isHidden())
    return;
  const bool fits = props_->sizeHint().width() + channelsBar_->sizeHint().width() + 8 <= width();
  if (!togglesBroken_ && !fits && props_->y() == channelsBar_->y()) {
    insertToolBarBreak(channelsBar_);
    togglesBroken_ = true;
  } else if (togglesBroken_ && fits) {
    removeToolBarBreak(channelsBar_);
    togglesBroken_ = false;
  }
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (!CloseRequested()) {
    event->ignore();
    return;
  }
  event->accept();
  QMainWindow::closeEvent(event);
}

// A modified song is offered to be saved ("Save", "Discard", "Cancel"). With warnings disabled
// nothing is asked: the recovery copy keeps the changes for the next start.
bool TMainForm::CloseRequested() {
  closing_ = true;
  StopPlayback();
  bool keep = false;
  if (document_->Modified()) {
    keep = Action(QStringLiteral("DisableWarnings"))->isChecked() && recovery_->Write();
    if (!keep && AskSaveDlg() == DialogAnswer::Cancel) {
      closing_ = false;
      return false;
    }
  }
  EndRecovery(keep);
  player_->StopPlayTimer();
  SaveSettings();
  devices_->CloseMidiOut();
  if (devices_->InputOpenFlag()) devices_->CloseMidiIn();
  loading_->hide();
  return true;
}


// ---- EditorHost ----

void TMainForm::StepPatternField(int delta) { props_->Ptn->SetValue(props_->Ptn->Value() + delta); }

void TMainForm::SetPatternField(int value) { props_->Ptn->SetValue(value); }

void TMainForm::ShowEditor(int grid) {
  Action(grid == 2 ? QStringLiteral("SequenceEditor") : QStringLiteral("PatternEditor"))->setChecked(true);
  frame_->SetActiveGrid(grid == 2 ? 2 : 1);
}

bool TMainForm::TransposeSimple() const { return Action(QStringLiteral("TransposeSimple"))->isChecked(); }

void TMainForm::SetOctave(int shown) {
  shown = std::clamp(shown, 0, 9);
  // The octave below F1 cannot be stored (octaves are unsigned): "0" plays like F1's octave.
  song_->Octave = uint8_t(std::max(shown - 1, 0));
  ChangeStatus(QStringLiteral("Octave %1").arg(shown), 1);
  Action(QStringLiteral("Octave%1").arg(shown))->setChecked(true);
  if (piano_) piano_->SetOctaveLabels(song_->Octave);
}

}  // namespace varnel

