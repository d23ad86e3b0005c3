#include "windows/piano_form.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>

#include "editing/editor_keys.h"
#include "editor/editor_frame.h"
#include "editor/my_grid.h"
#include "song/song.h"
#include "song/song_types.h"
#include "windows/piano_keys.h"

namespace varnel {

namespace {

struct ZoomLevel {
  const char* caption;
  const char* name;
  int height;      // key height
  int pitch;       // white-key pitch
  int dockedBase;  // PianoBaseOctave when docked; floating it is always 0
};

constexpr int K = TPianoKeys::DesignHeight;
constexpr int P = TPianoKeys::DesignPitch;
constexpr ZoomLevel Zooms[TPianoForm::ZoomCount] = {
    {"50%", "Label15", K * 5 / 10, (P * 5 + 5) / 10, 3},
    {"70%", "Label7", K * 7 / 10, (P * 7 + 7) / 10, 3},
    {"100%", "Label8", K, P, 2},
    {"150%", "Label12", K * 3 / 2, P * 3 / 2, 1},
    {"200%", "Label11", K * 2, P * 2, 0},
};

// As high as the keys with their labels and the scroll bar (a plain scroll area keeps the first
// size its widget had); as wide as a scroll area wants.
class KeysScrollArea : public QScrollArea {
 public:
  QSize sizeHint() const override {
    QSize hint = QScrollArea::sizeHint();
    if (widget()) hint.setHeight(widget()->height() + horizontalScrollBar()->sizeHint().height() + 2 * frameWidth());
    return hint;
  }
};

KeyboardMode ModeOf(TVNFrame& frame) {
  return frame.Options().keyboardMode == 1 ? KeyboardFourOctaves : KeyboardTwoOctaves;
}

}  // namespace

TPianoForm::TPianoForm(TVNSong& song, TVNFrame& frame, QMainWindow& host)
    : QDockWidget(QStringLiteral("Piano"), &host), song_(song), frame_(frame), host_(host) {
  setObjectName(QStringLiteral("PianoForm"));
  setAllowedAreas(Qt::BottomDockWidgetArea);
  setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);

  keys_ = new TPianoKeys;
  keys_->installEventFilter(this);
  connect(keys_, &TPianoKeys::keyMouseDown, this, &TPianoForm::KeyMouseDown);
  connect(keys_, &TPianoKeys::keyMouseUp, this, &TPianoForm::KeyMouseUp);

  scroll_ = new KeysScrollArea;
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setWidget(keys_);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  scroll_->setAutoFillBackground(true);
  scroll_->viewport()->setAutoFillBackground(true);
  scroll_->setFocusProxy(keys_);

  // The zoom labels sit beside the scroll bar, so the piano takes no line of its own for them.
  zoomBar_ = new QWidget;
  QWidget* zoomBar = zoomBar_;
  zoomBar->setObjectName(QStringLiteral("Panel2"));
  zoomBar->setAutoFillBackground(true);
  auto* zoomLayout = new QHBoxLayout(zoomBar);
  zoomLayout->setContentsMargins(4, 0, 4, 0);
  zoomLayout->setSpacing(8);
  for (int i = 0; i < ZoomCount; ++i) {
    auto* label = new QLabel(QString::fromLatin1(Zooms[i].caption), zoomBar);
    label->setObjectName(QString::fromLatin1(Zooms[i].name));
    label->setCursor(Qt::PointingHandCursor);
    label->installEventFilter(this);
    zoomLayout->addWidget(label);
    zoomLabels_[size_t(i)] = label;
  }
  scroll_->addScrollBarWidget(zoomBar, Qt::AlignRight);
  SetSchemeColors(palette().color(QPalette::Button), palette().color(QPalette::ButtonText));

  setWidget(scroll_);
  setFocusProxy(keys_);
  connect(this, &QDockWidget::topLevelChanged, this, [this](bool floating) {
    if (applying_) return;
    docked_ = !floating;
    // The base octave follows at once; the size stays as it is while the user drags.
    ApplyBaseOctave();
    emit dockedChanged(docked_);
  });
  SetZoom(DefaultZoom);
}

QLabel* TPianoForm::ZoomLabel(int index) const {
  return index >= 0 && index < ZoomCount ? zoomLabels_[size_t(index)] : nullptr;
}

void TPianoForm::PressKey(int note) { keys_->PressKey(note); }
void TPianoForm::ReleaseKey(int note) { keys_->ReleaseKey(note); }
void TPianoForm::ReleaseAllKeys() { keys_->ReleaseAllKeys(); }

void TPianoForm::SetOctaveLabels(int octave) {
  for (int i = 0; i < TPianoKeys::OctaveLabelCount; ++i) {
    const int number = octave + i - baseOctave_ + 1;
    keys_->SetOctaveLabel(i, QStringLiteral("C-%1").arg(number), number >= 0 && number <= 10);
  }
}

// The two-octave layout reaches offset 32, the four-octave one offset 57 ("\").
int TPianoForm::KeyboardSpan() const {
  int span = 0;
  const KeyboardMode mode = ModeOf(frame_);
  for (int offset = 0; offset < 128; ++offset)
    if (!NoteKeyCaption(offset, mode).empty()) span = offset;
  return span;
}

void TPianoForm::ColorKeyRange() {
  const int first = 12 * baseOctave_;
  keys_->SetWhiteRange(first, first + KeyboardSpan());
}

void TPianoForm::ShowHints(bool on) {
  hints_ = on;
  keys_->ClearCaptions();
  if (!on) return;
  const KeyboardMode mode = ModeOf(frame_);
  for (int offset = 0; offset <= KeyboardSpan(); ++offset)
    keys_->SetCaption(12 * baseOctave_ + offset, QString::fromStdString(NoteKeyCaption(offset, mode)));
}

void TPianoForm::KeyboardModeChanged() {
  ColorKeyRange();
  ShowHints(hints_);
}

void TPianoForm::SetZoom(int index) {
  if (index < 0 || index >= ZoomCount) return;
  const ZoomLevel& z = Zooms[index];
  keys_->SetPanelsHeight(z.height);
  keys_->SetPanelsWidth(z.pitch);
  keys_->UpdateLabelsPos(z.pitch);
  zoom_ = index;
  ApplyBaseOctave();
  for (int i = 0; i < ZoomCount; ++i) {
    QFont font = zoomLabels_[size_t(i)]->font();
    font.setBold(i == index);
    zoomLabels_[size_t(i)]->setFont(font);
  }
  FitHeight();
}

void TPianoForm::ApplyBaseOctave() {
  baseOctave_ = docked_ ? Zooms[zoom_].dockedBase : 0;
  // The editor knows where the computer keyboard lies on the piano.
  frame_.Options().pianoBaseOctave = baseOctave_;
  ColorKeyRange();
  ShowHints(hints_);
  SetOctaveLabels(song_.Octave);
}

// The dock area (or the floating window) takes the height of the keys with their labels and scroll
// bar where there is room; where there is not, the keys scroll. The zoom never makes the main
// window taller: the piano's least height is the same at every zoom.
void TPianoForm::FitHeight() {
  const int bar = scroll_->horizontalScrollBar()->sizeHint().height();
  const int full = keys_->height() + bar;
  scroll_->setMinimumHeight(std::min(full, LeastKeysHeight + bar));
  scroll_->setMaximumHeight(full);
  if (QLayout* own = layout()) own->activate();
  if (isFloating()) {
    int height = sizeHint().height();
    if (const QScreen* screen = this->screen()) height = std::min(height, screen->availableGeometry().height());
    resize(width(), height);
  } else if (host_.dockWidgetArea(this) != Qt::NoDockWidgetArea) {
    // Once the dock area has taken the new limits: it sizes by what it knew before they settle.
    QTimer::singleShot(0, this, [this] {
      if (!isFloating() && host_.dockWidgetArea(this) != Qt::NoDockWidgetArea)
        host_.resizeDocks({this}, {sizeHint().height()}, Qt::Vertical);
    });
  }
}

void TPianoForm::SetFloatingGeometry(const QRect& bounds) {
  if (bounds.width() > 0 && bounds.height() > 0) floating_ = bounds;
}

QRect TPianoForm::DefaultFloatingGeometry() const {
  QRect area = host_.geometry();
  if (const QScreen* screen = host_.screen()) area = area.intersected(screen->availableGeometry());
  const int width = std::min(DesignWidth, std::max(area.width() - 40, 200));
  const int height = sizeHint().height();
  return {area.left() + 20, std::max(area.top(), area.bottom() - height - 40), width, height};
}

void TPianoForm::ApplyDocking() {
  RememberFloating();
  applying_ = true;
  if (docked_) {
    if (isFloating()) setFloating(false);
    if (host_.dockWidgetArea(this) != Qt::BottomDockWidgetArea) host_.addDockWidget(Qt::BottomDockWidgetArea, this);
  } else {
    if (!isFloating()) setFloating(true);
    setGeometry(floating_.isValid() ? floating_ : DefaultFloatingGeometry());
  }
  applying_ = false;
  // The base octave belongs to the docked state; the zoom sets it and shows the hints again.
  SetZoom(zoom_);
  if (!docked_) RememberFloating();
}

void TPianoForm::RememberFloating() {
  if (isFloating() && !applying_ && isVisible()) floating_ = geometry();
}

void TPianoForm::moveEvent(QMoveEvent* event) {
  QDockWidget::moveEvent(event);
  RememberFloating();
}

void TPianoForm::resizeEvent(QResizeEvent* event) {
  QDockWidget::resizeEvent(event);
  RememberFloating();
}

void TPianoForm::closeEvent(QCloseEvent* event) {
  QDockWidget::closeEvent(event);
  if (event->isAccepted()) emit closedByUser();
}

void TPianoForm::SetSchemeColors(const QColor& background, const QColor& text) {
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, background);
  palette.setColor(QPalette::Button, background);
  palette.setColor(QPalette::WindowText, text);
  for (QWidget* panel : {static_cast<QWidget*>(scroll_), scroll_->viewport(), zoomBar_}) panel->setPalette(palette);
  for (QLabel* label : zoomLabels_) label->setPalette(palette);
  keys_->SetBackground(background);
}

// ---- Mouse ----

// The note written is the note heard: offset + 12 x Octave, as a computer key of the same offset
// writes it (the channel's transpose applies to both when played). Only note tracks take it, and
// only a note the device can play.
void TPianoForm::KeyMouseDown(int note) {
  keys_->PressKey(note);
  mouseOffset_ = note - 12 * baseOctave_;
  mouseOctave_ = song_.Octave;
  TMyGrid2* grid = frame_.Grid1();
  const int track = grid->Col() - 1;
  const int written = mouseOffset_ + 12 * song_.Octave;
  if (song_.EditEnabled && track >= 0 && track < song_.TracksCount() && song_.GetTrackType(track) == ttNote &&
      written >= 0 && written <= 127) {
    frame_.SavePatternUndo();
    frame_.SetCurData(written);
    frame_.NextRow(1, -1);
  }
  frame_.EditorStartNote(-1, -1, 100, false, mouseOffset_);
  keys_->setFocus(Qt::MouseFocusReason);
}

void TPianoForm::KeyMouseUp(int note) {
  keys_->ReleaseKey(note);
  frame_.EditorEndNote(-1, -1, false, mouseOffset_ + 12 * (mouseOctave_ - song_.Octave));
}

// ---- Keyboard ----

bool TPianoForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == keys_) {
    if (event->type() == QEvent::KeyPress) {
      FormKeyDown(static_cast<QKeyEvent*>(event));
      return true;
    }
    if (event->type() == QEvent::KeyRelease) {
      FormKeyUp(static_cast<QKeyEvent*>(event));
      return true;
    }
  } else if (event->type() == QEvent::MouseButtonPress) {
    for (int i = 0; i < ZoomCount; ++i)
      if (watched == zoomLabels_[size_t(i)]) {
        SetZoom(i);
        return true;
      }
  }
  return QDockWidget::eventFilter(watched, event);
}

int TPianoForm::NoteKeyOf(QKeyEvent* event) const {
  if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return -1;
  const int offset = NoteKeyOffset(TVNFrame::VirtualKeyOf(event), ModeOf(frame_));
  return offset < 0 ? -1 : offset + 12 * baseOctave_;
}

// The key lights here and then goes to the pattern grid as if typed there: notes, values, the
// grid's own cursor keys and, through the main window, F1..F8 and the number-pad step.
void TPianoForm::FormKeyDown(QKeyEvent* event) {
  if (const int key = NoteKeyOf(event); key >= 0) keys_->PressKey(key);
  QCoreApplication::sendEvent(frame_.Grid1(), event);
  event->accept();
}

void TPianoForm::FormKeyUp(QKeyEvent* event) {
  QCoreApplication::sendEvent(frame_.Grid1(), event);
  if (!event->isAutoRepeat())
    if (const int key = NoteKeyOf(event); key >= 0) keys_->ReleaseKey(key);
  event->accept();
}

}  // namespace varnel
