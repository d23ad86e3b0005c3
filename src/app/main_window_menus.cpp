#include "app/main_window_menus.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

namespace varnel {

namespace {

// A hint "short|long" shows the short text as the tool tip and the long one on the status bar.
void SetHint(QAction* action, const QString& hint) {
  if (hint.isEmpty()) return;
  const int bar = hint.indexOf(QLatin1Char('|'));
  action->setToolTip(bar >= 0 ? hint.left(bar) : hint);
  action->setStatusTip(bar >= 0 ? hint.mid(bar + 1) : hint);
}

void ApplyFlags(QAction* action, int flags) {
  action->setCheckable(flags & (Checkable | Checked));
  action->setChecked(flags & Checked);
  action->setEnabled(!(flags & NotYet));
  action->setVisible(!(flags & Hidden));
}

QMenu* Sub(QMenu* menu, const QString& caption, int flags = 0) {
  QMenu* sub = menu->addMenu(caption);
  ApplyFlags(sub->menuAction(), flags);
  return sub;
}

}  // namespace

MainCommands::MainCommands(QMainWindow* window) : QObject(window), window_(window) {
  MenuBar = window->menuBar();
  // Alt + the underlined letter opens each menu: eight different letters.
  for (const char* caption : {"&File", "&View", "&Edit", "&Track", "&Channel", "&Pattern", "&Options", "&Help"})
    TopMenus << MenuBar->addMenu(QString::fromLatin1(caption));
  BuildFile(TopMenus[0]);
  BuildView(TopMenus[1]);
  BuildEdit(TopMenus[2]);
  BuildTrack(TopMenus[3]);
  BuildChannel(TopMenus[4]);
  BuildPattern(TopMenus[5]);
  BuildOptions(TopMenus[6]);
  BuildHelp(TopMenus[7]);
  BuildCommonBar();
  BuildEditBar();
}

QString MenuCaption(QString text) { return text.replace(QLatin1Char('&'), QStringLiteral("&&")); }

QAction* MainCommands::operator[](const QString& key) const {
  QAction* action = actions_.value(key);
  Q_ASSERT_X(action, "MainCommands", qPrintable(key));
  return action;
}

QAction* MainCommands::Add(QMenu* menu, const QString& key, const QString& caption, const char* shortcut,
                           const QString& hint, int flags, int tag) {
  auto* action = new QAction(caption, window_);
  action->setObjectName(key);
  if (*shortcut) action->setShortcut(QKeySequence(QString::fromLatin1(shortcut)));
  SetHint(action, hint);
  ApplyFlags(action, flags);
  action->setData(tag);
  if (menu) menu->addAction(action);
  window_->addAction(action);  // shortcuts work while the menu bar is hidden too
  actions_.insert(key, action);
  return action;
}

QAction* MainCommands::Tool(const QString& key, const QString& caption, const QString& hint, int flags) {
  return Add(nullptr, key, caption, "", hint, flags);
}

void MainCommands::BuildFile(QMenu* m) {
  QMenu* fresh = Sub(m, "New");
  Add(fresh, "NewSong", "&New song", "", "New file");
  Add(fresh, "NewSongSameInstruments", "New song, same instruments and MIDI props");
  Add(m, "Open", "&Open", "Ctrl+O", "Open a new file");
  QMenu* templates = Sub(m, "Templates");
  Add(templates, "Template1", "16 channel + volume", "", {}, 0, 1);
  Add(templates, "Template2", "Orchestra", "", {}, 0, 2);
  Add(m, "Save", "&Save", "Ctrl+S", "Save file");
  Add(m, "SaveAs", "Save &as...", "", "Save file as...");
  Add(m, "SaveNewVersion", "Save new version", "Ctrl+N");
  m->addSeparator();
  Add(m, "SongInfo", "Song Info");
  QMenu* import = Sub(m, "Import");
  Add(import, "ImportXM", "FastTracker module", "", "Fast Tracker module import");
  Add(import, "ImportMidi", "MIDI song", "", "MIDI file import");
  QMenu* exportMenu = Sub(m, "Export");
  Add(exportMenu, "ExportPattern", "&Export pattern as MIDI");
  Add(exportMenu, "ExportSong", "Expor&t song as MIDI");
  QMenu* recent = Sub(m, "&Recent");
  for (int i = 0; i < 15; ++i) Add(recent, QStringLiteral("Recent%1").arg(i), {}, "", {}, Hidden, i);
  m->addSeparator();
  Add(m, "Exit", "E&xit", "", "Exit the program");
}

void MainCommands::BuildView(QMenu* m) {
  QMenu* bars = Sub(m, "&Toolbars");
  Add(bars, "BarCommon", "Common", "", {}, Checked);
  Add(bars, "BarProperties", "Properties", "", {}, Checked);
  Add(bars, "BarChannels", "Channels toggle", "", {}, Checked);
  Add(bars, "BarChannel", "Channel &properties", "Ctrl+P", {}, Checked);
  Add(bars, "BarEdit", "Edit selection/track/channel", "", {}, Checked);
  bars->addSeparator();
  Add(bars, "BarsShowAll", "Show all");
  Add(bars, "BarsHideAll", "Hide all");
  auto* views = new QActionGroup(this);
  views->addAction(Add(m, "PatternEditor", "&Pattern Editor", "F11", "Pattern Editor", Checked));
  views->addAction(Add(m, "SequenceEditor", "Sequence Editor", "F12", "Sequence Editor", Checkable));
  views->addAction(Add(m, "SplitView", "Split View", "", "Split view", Checkable));
  m->addSeparator();
  // Shown unchecked until the windows they toggle exist.
  Add(m, "Piano", "P&iano", "Ctrl+I", {}, Checkable);
  Add(m, "AddTemplate", "Add template", "", {}, Checked);
  Add(m, "ChannelPropsPanel", "MIDI channel properties", "", {}, Checked);
  QMenu* zoom = Sub(m, "Zoom");
  Add(zoom, "ZoomIn", "Zoom In", "Ctrl+]", "Increase font size");
  Add(zoom, "ZoomOut", "Zoom Out", "Ctrl+[", "Decrease font size");
  QMenu* onTop = Sub(m, "On Top");
  auto* top = new QActionGroup(this);
  top->addAction(Add(onTop, "OnTopOn", "On", "", {}, Checkable));
  top->addAction(Add(onTop, "OnTopOff", "Off", "", {}, Checked));
}

void MainCommands::BuildEdit(QMenu* m) {
  Add(m, "Undo", "Undo", "Ctrl+Z");
  Add(m, "Redo", "Redo", "Ctrl+Shift+Z");
  Add(m, "EditEnabled", "&Edit enabled", "F9", "Enable/Disable editing", Checked);
  QMenu* octave = Sub(m, "Octave (upper keys)");
  auto* octaves = new QActionGroup(this);
  for (int n = 0; n <= 9; ++n) {
    const QString caption = n >= 1 && n <= 8 ? QStringLiteral("%1 - F%1").arg(n) : QString::number(n);
    octaves->addAction(Add(octave, QStringLiteral("Octave%1").arg(n), caption, "", {}, Checkable, n));
  }
  Add(m, "Fill", "&Fill", "Ctrl+F");
  QMenu* pack = Sub(m, "Pack song");
  const char* packs[] = {"Perform all actions", "Remove the same channels", "Remove empty channels from song order",
                         "Move channels to patterns with smallest number", "Remove empty patterns",
                         "Remove empty channels"};
  for (int step = 0; step < 6; ++step) Add(pack, QStringLiteral("Pack%1").arg(step), packs[step], "", {}, 0, step);
  m->addSeparator();
  Add(m, "TransposeDown", "Transpose &down", "Alt+F1", "Transpose down");
  Add(m, "TransposeUp", "Transpose &up", "Alt+F2", "Transpose up");
  Add(m, "TransposeOctaveDown", "Transpose octave down", "", "Transpose octave down");
  Add(m, "TransposeOctaveUp", "Transpose octave up", "", "Transpose octave up");
  m->addSeparator();
  Add(m, "Cut", "Cu&t", "Shift+Del", "Cut|Cuts the selection and puts it on the Clipboard");
  Add(m, "Copy", "&Copy", "Ctrl+Ins", "Copy|Copies the selection and puts it on the Clipboard");
  Add(m, "Paste", "&Paste", "Shift+Ins", "Paste|Inserts Clipboard contents");
}

void MainCommands::NoteLengthMenus(QMenu* m, const QString& prefix, bool named) {
  QMenu* forward = Sub(m, "Notes lengths set to");
  lengthMenus_.insert(prefix + "Forward", forward);
  for (int n = 0; n <= 8; ++n) {
    QString caption = QString::number(n);
    if (named && n == 0) caption = "0 - Remove Note Off events";
    if (named && n == 1) caption = "1 - 1 Cell";
    if (named && n == 2) caption = "2 ...";
    Add(forward, prefix + QStringLiteral("Length%1").arg(n), caption, "", "Set notes lengths", 0, n);
  }
  QMenu* backward = Sub(m, named ? "Notes lengths set to" : "Notes lengths set to ");
  lengthMenus_.insert(prefix + "Backward", backward);
  for (int n = 1; n <= 8; ++n) {
    const QString caption = named && n == 1 ? QStringLiteral("-1 From Next Note") : QString::number(-n);
    Add(backward, prefix + QStringLiteral("LengthFromNext%1").arg(n), caption, "", "Set notes lengths", 0, n);
  }
}

void MainCommands::BuildTrack(QMenu* m) {
  Add(m, "AddTrack", "Add &track", "Ctrl+T");
  Add(m, "AddVolumeTrack", "Add &volume track", "Ctrl+Y");
  BuildAutomation(Sub(m, "Add automation track"));
  Add(m, "EditTrackProperties", "Edit track properties");
  Add(m, "RemoveTrack", "&Remove track", "Ctrl+R");
  m->addSeparator();
  Add(m, "TransposeTrackDown", "Transpose track &down", "Shift+F1", "Transpose track down");
  Add(m, "TransposeTrackUp", "Transpose track &up", "Shift+F2", "Transpose track up");
  Add(m, "TransposeTrackOctaveDown", "Transpose track octave down", "", "Transpose track octave down");
  Add(m, "TransposeTrackOctaveUp", "Transpose track octave up", "", "Transpose track octave up");
  m->addSeparator();
  Add(m, "CutTrack", "Cut &track", "Shift+F3");
  Add(m, "CopyTrack", "&Copy track", "Shift+F4");
  Add(m, "PasteTrack", "&Paste track", "Shift+F5");
  m->addSeparator();
  QMenu* quantize = Sub(m, "Quantize track");
  Add(quantize, "QuantizeTrack", "Quantize / 2 - to forward", "", "Quantize track");
  NoteLengthMenus(m, "Track", true);
}

void MainCommands::BuildAutomation(QMenu* m) {
  const char* kinds[] = {"Panning", "Channel Volume", "Modulation", "Expression", "Sustain Pedal",
                         "Reverb", "Chorus", "Filter cut", "Filter res", "Pitch wheel"};
  for (int tag = 1; tag <= 10; ++tag) {
    Add(m, QStringLiteral("Automation%1").arg(tag), kinds[tag - 1], tag == 2 ? "Ctrl+U" : "",
        tag == 1 ? "Panning - control change event " : "", 0, tag);
  }
  QMenu* cc = Sub(m, "Control change (CC) event...");
  const std::pair<const char*, int> ccs[] = {{"00 - Bank Select, MSB", 0}, {"20h - Bank Select, LSB", 32},
                                             {"05 Portamento slide", 5},   {"65 Portamento On/Off", 65},
                                             {"84 Portamento amount", 84}, {"72 Sound release time", 72},
                                             {"73 Sound attack time", 73}};
  for (const auto& [caption, number] : ccs) Add(cc, QStringLiteral("CC%1").arg(number), caption, "", {}, 0, number);
  Add(cc, "CCEnter", "Enter value (0-127)...", "", {}, 0, -1);
  QMenu* nrpn = Sub(m, "NRPN event...");
  const std::pair<const char*, int> nrpns[] = {
      {"0163h - Attack time", 227}, {"0166h - Release time", 230},
      {"14knh Drum key low-pass filter cut-off", 2596}, {"15knh Drum key low-pass filter resonance", 2724},
      {"18knh Drum key coarse tune ", 3108}, {"19knh Drum key fine tune", 3236},
      {"1Aknh Drum key volume level", 3364}, {"1Cknh Drum key panning", 3620},
      {"1Dknh Drum key reverb send level", 3748}, {"1Eknh Drum key chorus send level", 3876}};
  for (const auto& [caption, number] : nrpns) {
    Add(nrpn, QStringLiteral("NRPN%1").arg(number), caption, "",
        number >= 2596 ? "Default for C3 - Edit 'Value 2' for another Note" : "", 0, number);
  }
  Add(nrpn, "NRPNEnter", "Enter value...", "", {}, 0, -1);
  QMenu* rpn = Sub(m, "RPN event...");
  const std::pair<const char*, int> rpns[] = {{"00 - Pitch wheel range", 0}, {"01 - Fine tuning", 1}, {"02 - Coarse tuning", 2}};
  for (const auto& [caption, number] : rpns) Add(rpn, QStringLiteral("RPN%1").arg(number), caption, "", {}, 0, number);
  Add(rpn, "RPNEnter", "Enter value...", "", {}, 0, -1);
  Add(m, "ProgramTrack", "Cx - Program change");
  Add(m, "TempoTrack", "Tempo track (BPM)", "", "BPM (32..255)");
  QMenu* more = Sub(m, "More events...", NotYet);
  const char* mores[] = {"Ax - Key aftertouch", "Dx - Channel aftertouch", "Ex - Pitch wheel change", "FF - Meta data",
                         "Enter value..."};
  for (int i = 0; i < 5; ++i) Add(more, QStringLiteral("MoreEvents%1").arg(i), mores[i], "", {}, NotYet | Hidden);
}

void MainCommands::BuildChannel(QMenu* m) {
  Add(m, "AddChannel", "Add channel", "Ctrl+Shift+T");
  Add(m, "RemoveChannel", "Remove channel", "Ctrl+Shift+R");
  m->addSeparator();
  Add(m, "TransposeChannelDown", "Transpose channel &down", "Ctrl+Shift+F1", "Transpose channel &down");
  Add(m, "TransposeChannelUp", "Transpose channel &up", "Ctrl+Shift+F2", "Transpose channel &up");
  Add(m, "TransposeChannelOctaveDown", "Transpose channel octave down", "", "Transpose channel octave down");
  Add(m, "TransposeChannelOctaveUp", "Transpose channel octave up", "", "Transpose channel octave up");
  m->addSeparator();
  Add(m, "CutChannel", "Cu&t channel", "Ctrl+Shift+F3");
  Add(m, "CopyChannel", "&Copy channel", "Ctrl+Shift+F4");
  Add(m, "PasteChannel", "&Paste channel", "Ctrl+Shift+F5");
  m->addSeparator();
  QMenu* quantize = Sub(m, "Quantize channel");
  Add(quantize, "QuantizeChannel", "Quantize / 2 - to forward", "", "Quantize channel");
  NoteLengthMenus(m, "Channel", false);
}

void MainCommands::BuildPattern(QMenu* m) {
  Add(m, "AddPattern", "Add pattern");
  Add(m, "RemovePattern", "Remove pattern");
  QMenu* remove = Sub(m, "Remove");
  Add(remove, "RemoveBefore", "Remove all patterns before this one");
  Add(remove, "RemoveAfter", "Remove all patterns after this one");
  m->addSeparator();
  Add(m, "TransposePatternDown", "Transpose pattern &down", "Ctrl+F1");
  Add(m, "TransposePatternUp", "Transpose pattern &up", "Ctrl+F2");
  Add(m, "CutPattern", "Cu&t pattern", "Ctrl+F3");
  Add(m, "CopyPattern", "&Copy pattern", "Ctrl+F4");
  Add(m, "PastePattern", "&Paste pattern", "Ctrl+F5");
  m->addSeparator();
  QMenu* expand = Sub(m, "Expand pattern");
  Add(expand, "Expand2", "Expand pattern * 2", "", {}, 0, 2);
  Add(expand, "Expand3", "Expand pattern * 3", "", {}, 0, 3);
  QMenu* shrink = Sub(m, "Shrink pattern");
  Add(shrink, "Shrink2", "Shrink pattern / 2", "", {}, 0, 2);
  Add(shrink, "Shrink3", "Shrink pattern / 3", "", "Shrink and quantize", 0, 3);
  Add(shrink, "Shrink4", "Shrink pattern / 4", "", "Shrink and quantize", 0, 4);
  QMenu* loop = Sub(m, "Loop");
  Add(loop, "LoopStart", "Set start loop", "Ctrl+B");
  Add(loop, "LoopEnd", "Set end loop", "Ctrl+E");
  Add(loop, "LoopReset", "Reset loop");
}

void MainCommands::BuildOptions(QMenu* m) {
  OutDeviceMenu = Sub(m, "MIDI Out Device");
  InDeviceMenu = Sub(m, "MIDI In Device");
  OutDevices = new QActionGroup(this);
  InDevices = new QActionGroup(this);
  OutDevices->addAction(Add(OutDeviceMenu, "OutDeviceMapper", "MIDI Mapper", "", {}, Checked, -1));
  InDevices->addAction(Add(InDeviceMenu, "InDeviceNone", "None", "", {}, Checked, -1));
  Add(m, "ClearChannels", "Clear channels", "", "Send NoteOff for all channels and tracks");
  m->addSeparator();
  Add(m, "Metronome", "Metronome", "Ctrl+M", "Metronome", Checkable);
  Add(m, "FollowNote", "Follow note / auto scrolling pattern", "", {}, Checkable);
  Add(m, "FollowSong", "Follow song / auto scrolling song", "", {}, Checkable);
  Add(m, "TransposeSimple", "Transpose simple", "", {}, Checkable);
  Add(m, "DisableWarnings", "Disable warnings", "", {}, Checkable);
  Add(m, "DisableUpdates", "Disable editor updates while playing", "", {}, Checkable);
  Add(m, "AutoShowPiano", "Auto show piano", "", {}, Checkable | Hidden);  // stored all the same
  m->addSeparator();
  Add(m, "Options", "Options...");
  Add(m, "AudioSettings", "Audio settings...");
  QMenu* schemes = Sub(m, "Color scheme");
  Add(schemes, "Scheme0", "Default", "", {}, Checked, 0);
  Add(schemes, "Scheme1", "Blue", "", {}, Checkable, 1);
  Add(schemes, "Scheme2", "New Icons", "", {}, Checkable, 2);
  Add(m, "Font", "Font...");
}

void MainCommands::BuildHelp(QMenu* m) {
  Add(m, "Help", "VN Help");
  Add(m, "OnlineHelp", "Online Help");
  Add(m, "WebSite", "Visit web site");
  Add(m, "Donate", "Donate");
  Add(m, "MoreSoftware", "More software");
  m->addSeparator();
  Add(m, "About", "About...");
}

void MainCommands::BuildCommonBar() {
  QStyle* style = QApplication::style();
  CommonBar = new QToolBar(tr("Common"), window_);
  CommonBar->setObjectName("CommonBar");
  Tool("PlayPause", "Play/Pause", "Play/Pause")->setIcon(style->standardIcon(QStyle::SP_MediaPlay));
  Tool("Stop", "Stop", "Stop")->setIcon(style->standardIcon(QStyle::SP_MediaStop));
  Tool("PatternMode", "Pattern/Song mode", "Pattern/Song mode", Checked)->setIconText("Ptn");
  Tool("ChordsUpper", "Play chords upper keys", "Play chords upper keys", Checkable)->setIconText("Ch^");
  Tool("ChordsLower", "Play chords lower keys", "Play chords lower keys", Checkable)->setIconText("Ch_");
  Tool("ChordsSettings", "Chords settings", "Chords settings")->setIconText("Chords");
  Tool("KeyboardMode", "Keyboard Mode 2+ / 4+ Octaves", "Keyboard Mode 2+ / 4+ Octaves", Checkable)->setIconText("4+");
  (*this)["NewSong"]->setIcon(style->standardIcon(QStyle::SP_FileIcon));
  (*this)["Open"]->setIcon(style->standardIcon(QStyle::SP_DialogOpenButton));
  (*this)["Save"]->setIcon(style->standardIcon(QStyle::SP_DialogSaveButton));
  const std::pair<const char*, const char*> texts[] = {
      {"Cut", "Cut"}, {"Copy", "Copy"}, {"Paste", "Paste"}, {"ZoomIn", "A+"}, {"ZoomOut", "A-"},
      {"EditEnabled", "Edit"}, {"PatternEditor", "PE"}, {"SequenceEditor", "SE"}, {"SplitView", "Split"},
      {"ClearChannels", "Off"}};
  for (const auto& [key, text] : texts) (*this)[key]->setIconText(text);
  const char* order[] = {"NewSong", "Open", "Save", nullptr, "Cut", "Copy", "Paste", nullptr, "ZoomIn", "ZoomOut",
                         nullptr, "PlayPause", "Stop", "PatternMode", nullptr, "EditEnabled", nullptr,
                         "PatternEditor", "SequenceEditor", "SplitView", nullptr, "ClearChannels", nullptr,
                         "ChordsUpper", "ChordsLower", "ChordsSettings", "KeyboardMode"};
  for (const char* key : order) {
    if (key) CommonBar->addAction((*this)[key]);
    else CommonBar->addSeparator();
  }
}

void MainCommands::BuildEditBar() {
  EditBar = new QToolBar(tr("Edit selection/track/channel"), window_);
  EditBar->setObjectName("EditBar");
  auto group = [this](const QString& label, const QString& scope, bool quantize) {
    EditBar->addWidget(new QLabel(label, EditBar));
    const std::pair<const char*, const char*> steps[] = {
        {"Down", "-1"}, {"Up", "+1"}, {"OctaveDown", "-12"}, {"OctaveUp", "+12"}};
    for (const auto& [step, text] : steps) {
      QAction* action = (*this)["Transpose" + scope + step];
      action->setIconText(text);
      EditBar->addAction(action);
    }
    if (!quantize) return;
    QAction* q = (*this)["Quantize" + scope];
    q->setIconText("Q/2");
    EditBar->addAction(q);
    // The two note-length buttons drop down the scope's "Notes lengths set to" menus.
    for (const auto& [which, text] : {std::pair{"Forward", "Len"}, std::pair{"Backward", "-Len"}}) {
      QMenu* menu = lengthMenus_.value(scope + which);
      auto* button = new QToolButton(EditBar);
      button->setText(text);
      button->setToolTip("Set notes lengths");
      button->setStatusTip("Set notes lengths");
      button->setPopupMode(QToolButton::InstantPopup);
      button->setMenu(menu);
      QAction* item = menu->menuAction();
      button->setEnabled(item->isEnabled());
      connect(item, &QAction::changed, button, [button, item] { button->setEnabled(item->isEnabled()); });
      EditBar->addWidget(button);
    }
  };
  group("Selection: ", "", false);
  EditBar->addSeparator();
  group("Track: ", "Track", true);
  EditBar->addSeparator();
  group("Channel: ", "Channel", true);
}

}  // namespace varnel
