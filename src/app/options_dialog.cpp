#include "app/options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "app/properties_bar.h"
#include "editor/editor_host.h"

namespace varnel {

namespace {

QComboBox* List(QWidget* parent, const QStringList& items, bool editable, int index = 0) {
  auto* list = new QComboBox(parent);
  list->addItems(items);
  list->setEditable(editable);
  list->setCurrentIndex(index);
  return list;
}

int NumberOr(const QString& text, int fallback) {
  bool ok = false;
  const int number = text.trimmed().toInt(&ok);
  return ok ? number : fallback;
}

// The ranges the import can use: rows cut off up to 256 patterns of 256 rows, patterns of 1..256
// rows, 1..96 rows per quarter note.
struct ImportField {
  const char* name;
  int low, high;
};
constexpr ImportField StartRowRange{"Start row", 0, 65536};
constexpr ImportField PatternsLengthRange{"Patterns length", 1, 256};
constexpr ImportField SpdRange{"SPD value", 1, 96};

}  // namespace

TOptionsForm::TOptionsForm(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Options"));
  setWindowFlag(Qt::Tool);
  setObjectName(QStringLiteral("OptionsForm"));
  pages_ = new QTabWidget(this);
  pages_->addTab(BuildGeneral(), QStringLiteral("General"));
  pages_->addTab(BuildPiano(), QStringLiteral("Piano window"));
  pages_->addTab(BuildImport(), QStringLiteral("MIDI Import"));
  pages_->addTab(BuildMidiIn(), QStringLiteral("MIDI In"));
  pages_->addTab(BuildMidiOut(), QStringLiteral("MIDI Out"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &TOptionsForm::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &TOptionsForm::reject);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  cancel_ = buttons->button(QDialogButtonBox::Cancel);
  // A button with the focus becomes the default while it has it: Cancel clicked once would then
  // answer the next Return.
  ok_->setAutoDefault(false);
  cancel_->setAutoDefault(false);
  ok_->setDefault(true);
  messageBox_ = [](QWidget* parent, const QString& text) {
    QMessageBox::warning(parent, QStringLiteral("Options"), text);
  };
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages_);
  layout->addWidget(buttons);
  connect(RowNumbers, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) emit rowNumbersChanged(index);
  });
}

QWidget* TOptionsForm::BuildGeneral() {
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);
  RowNumbers = List(page,
                    {"Decimal, every Row, start from 0", "Hex", "Decimal, every 4th Beat, start from 1",
                     "Decimal, every Beat, start from 0", "Decimal, every Beat, start from 1 + "},
                    false);
  form->addRow(QStringLiteral("Row Numbers: "), RowNumbers);
  auto* keys = new QGroupBox(QStringLiteral(" Key actions "), page);
  auto* keyForm = new QFormLayout(keys);
  SpaceKeyAction = List(keys, {"Stop", "Pause"}, false);
  keyForm->addRow(QStringLiteral("Space key action"), SpaceKeyAction);
  form->addRow(keys);
  Centering = List(page, {"Always", "When playing", "Never"}, false);
  form->addRow(QStringLiteral("Trying to centering editor"), Centering);
  MainMenu = List(page, {"Windows standard", "Custom"}, false);
  form->addRow(QStringLiteral("Main Menu"), MainMenu);
  TrackToggleSize = List(page, {"24", "32", "40", "48", "56", "64"}, false);
  form->addRow(QStringLiteral("Tracktoggle size"), TrackToggleSize);
  DefaultPatternsLength = List(page, {"32", "48", "64", "96", "128", "192", "256"}, true, 2);
  form->addRow(QStringLiteral("Default patterns length"), DefaultPatternsLength);
  return page;
}

QWidget* TOptionsForm::BuildPiano() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  ShowHints = new QCheckBox(QStringLiteral("Show hints on keyboard"), page);
  DockedPiano = new QCheckBox(QStringLiteral("Docked piano"), page);
  DockedPiano->setChecked(true);
  layout->addWidget(ShowHints);
  layout->addWidget(DockedPiano);
  layout->addStretch();
  return page;
}

QWidget* TOptionsForm::BuildImport() {
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);
  StartRow = List(page, {"0", "32", "64"}, true);
  PatternsLength = List(page, {"32", "48", "64", "96", "128", "192", "256"}, true, 2);
  SpdValue = List(page, {"4", "6", "8", "12", "16", "24"}, true);
  ImportMethod = List(page, {"0 - Default", "1 - Experimental"}, false);
  form->addRow(QStringLiteral("Start row"), StartRow);
  form->addRow(QStringLiteral("Patterns length"), PatternsLength);
  form->addRow(QStringLiteral("SPD value"), SpdValue);
  form->addRow(QStringLiteral("Import method"), ImportMethod);
  return page;
}

QWidget* TOptionsForm::BuildMidiIn() {
  auto* page = new QWidget(this);
  auto* layout = new QVBoxLayout(page);
  UseAsIs = new QRadioButton(QStringLiteral("Use 'as is'"), page);
  IgnoreVelocities = new QRadioButton(QStringLiteral("Ignore velocities"), page);
  UseMinimumVelocity = new QRadioButton(QStringLiteral("Use minimum velocity"), page);
  UseAsIs->setChecked(true);
  MinimumVelocity = new NumberField(QStringLiteral("Value"), 0, 127, 30, page);
  MinimumVelocity->SetPresets({"30", "50", "70", "90"});
  for (QWidget* control :
       std::initializer_list<QWidget*>{UseAsIs, IgnoreVelocities, UseMinimumVelocity, MinimumVelocity})
    layout->addWidget(control);
  ClockSource = List(page, {"Internal", "External (MIDI clock on the input device)"}, false);
  ClockSource->setObjectName(QStringLiteral("ClockSource"));
  ClockSource->setToolTip(QStringLiteral("External: follow the tempo, Start, Continue, Stop and Song Position "
                                         "Pointer of the MIDI clock that arrives on the MIDI In device"));
  auto* clock = new QFormLayout;
  clock->addRow(QStringLiteral("Clock"), ClockSource);
  layout->addLayout(clock);
  layout->addStretch();
  return page;
}

QWidget* TOptionsForm::BuildMidiOut() {
  auto* page = new QWidget(this);
  auto* form = new QFormLayout(page);
  auto* blocks = new QGroupBox(QStringLiteral(" Devices "), page);
  auto* blockForm = new QFormLayout(blocks);
  OutDevice2 = new QComboBox(blocks);
  OutDevice2->setObjectName(QStringLiteral("OutDevice2"));
  OutDevice3 = new QComboBox(blocks);
  OutDevice3->setObjectName(QStringLiteral("OutDevice3"));
  for (QComboBox* list : {OutDevice2, OutDevice3}) {
    list->addItem(QStringLiteral("None"));
    list->setToolTip(QStringLiteral("Each block of sixteen MIDI channels arrives on channels 1-16 of its device; "
                                    "with none, the MIDI Mapper plays them when it is the MIDI Out Device"));
  }
  blockForm->addRow(QStringLiteral("Channels 17-32"), OutDevice2);
  blockForm->addRow(QStringLiteral("Channels 33-48"), OutDevice3);
  form->addRow(blocks);
  OutDevice = new QComboBox(page);
  OutDevice->setObjectName(QStringLiteral("OutDevice"));
  SendMidiClock = new QCheckBox(QStringLiteral("Send MIDI clock"), page);
  SendMidiClock->setToolTip(QStringLiteral("Clock, Start, Continue, Stop and Song Position Pointer to this device"));
  LatencyOffset = new QDoubleSpinBox(page);
  LatencyOffset->setRange(-1000, 1000);
  LatencyOffset->setDecimals(1);
  LatencyOffset->setSingleStep(0.5);
  LatencyOffset->setSuffix(QStringLiteral(" ms"));
  LatencyOffset->setToolTip(
      QStringLiteral("Positive values send later, negative earlier (JACK ports, ALSA sequencer and the MIDI Mapper)"));
  form->addRow(QStringLiteral("Device"), OutDevice);
  form->addRow(SendMidiClock);
  form->addRow(QStringLiteral("Latency offset"), LatencyOffset);
  connect(OutDevice, &QComboBox::currentIndexChanged, this, [this] { ShowDevice(); });
  connect(SendMidiClock, &QCheckBox::toggled, this, [this] { StoreShownDevice(); });
  connect(LatencyOffset, &QDoubleSpinBox::valueChanged, this, [this] { StoreShownDevice(); });
  return page;
}

void TOptionsForm::StoreShownDevice() {
  if (showingDevice_ || OutDevice->currentIndex() < 0) return;
  const std::string name = OutDevice->currentText().toStdString();
  OutputOptions options{SendMidiClock->isChecked(), LatencyOffset->value()};
  if (options == OutputOptions{})
    outputs_.erase(name);
  else
    outputs_[name] = options;
}

void TOptionsForm::ShowDevice() {
  const auto it = outputs_.find(OutDevice->currentText().toStdString());
  const OutputOptions options = it == outputs_.end() ? OutputOptions{} : it->second;
  showingDevice_ = true;
  SendMidiClock->setChecked(options.midiClock);
  LatencyOffset->setValue(options.latencyOffsetMs);
  showingDevice_ = false;
}

void TOptionsForm::SetOutputDeviceNames(const std::vector<std::string>& names) {
  const QString shown = OutDevice->currentText();
  showingDevice_ = true;
  OutDevice->clear();
  for (const std::string& name : names) OutDevice->addItem(QString::fromStdString(name));
  const int index = OutDevice->findText(shown);
  OutDevice->setCurrentIndex(index >= 0 ? index : 0);
  showingDevice_ = false;
  ShowDevice();
}

void TOptionsForm::SetBlockDevices(const std::vector<std::string>& names, const std::string& second,
                                   const std::string& third) {
  const std::string chosen[2] = {second, third};
  QComboBox* lists[2] = {OutDevice2, OutDevice3};
  for (int i = 0; i < 2; ++i) {
    QComboBox* list = lists[i];
    list->clear();
    list->addItem(QStringLiteral("None"));
    for (const std::string& name : names) list->addItem(QString::fromStdString(name), QString::fromStdString(name));
    if (chosen[i].empty()) continue;
    int index = list->findData(QString::fromStdString(chosen[i]));
    if (index < 0) {  // chosen, but not there now
      list->addItem(QString::fromStdString(chosen[i]) + QStringLiteral(" (missing)"), QString::fromStdString(chosen[i]));
      index = list->count() - 1;
    }
    list->setCurrentIndex(index);
  }
}

std::string TOptionsForm::BlockDevice(int block) const {
  const QComboBox* list = block == 1 ? OutDevice2 : OutDevice3;
  return list->currentData().toString().toStdString();
}

std::map<std::string, OutputOptions> TOptionsForm::OutputDevices() const { return outputs_; }

void TOptionsForm::SetOutputDevices(const std::map<std::string, OutputOptions>& devices) {
  outputs_.clear();
  for (const auto& [name, options] : devices)
    if (!(options == OutputOptions{})) outputs_[name] = options;
  ShowDevice();
}

int TOptionsForm::Run(Page page) {
  before_ = Snapshot();
  outputsBefore_ = outputs_;
  blocksBefore_[0] = OutDevice2->currentIndex();
  blocksBefore_[1] = OutDevice3->currentIndex();
  ShowPage(page);
  ok_->setDefault(true);
  // The page's first field has the focus, never the button pressed the last time.
  for (QWidget* field : pages_->currentWidget()->findChildren<QWidget*>())
    if (field->isEnabled() && (field->focusPolicy() & Qt::TabFocus)) {
      field->setFocus();
      break;
    }
  const int result = exec();
  before_.clear();
  return result;
}

void TOptionsForm::ShowPage(Page page) { pages_->setCurrentIndex(page); }

int TOptionsForm::CurrentPage() const { return pages_->currentIndex(); }

void TOptionsForm::SetMessageBox(std::function<void(QWidget*, const QString&)> show) { messageBox_ = std::move(show); }

void TOptionsForm::accept() {
  QComboBox* field = nullptr;
  const QString fault = ImportOptionsFault(&field);
  if (!fault.isEmpty()) {
    ShowPage(ImportPage);
    messageBox_(this, fault);
    field->setFocus();
    if (field->lineEdit()) field->lineEdit()->selectAll();
    return;
  }
  QDialog::accept();
}

void TOptionsForm::reject() {
  if (!before_.empty()) {
    Restore(before_);
    SetOutputDevices(outputsBefore_);
    OutDevice2->setCurrentIndex(blocksBefore_[0]);
    OutDevice3->setCurrentIndex(blocksBefore_[1]);
  }
  QDialog::reject();
}

// Every control's state in a fixed order: index of a fixed list, text of an editable one, the
// check of a box or button, the number of a field.
std::vector<QVariant> TOptionsForm::Snapshot() const {
  std::vector<QVariant> states;
  for (QComboBox* list : {RowNumbers, SpaceKeyAction, Centering, MainMenu, TrackToggleSize, DefaultPatternsLength,
                          StartRow, PatternsLength, SpdValue, ImportMethod, ClockSource})
    states.emplace_back(list->isEditable() ? QVariant(list->currentText()) : QVariant(list->currentIndex()));
  for (QAbstractButton* box :
       std::initializer_list<QAbstractButton*>{ShowHints, DockedPiano, UseAsIs, IgnoreVelocities, UseMinimumVelocity})
    states.emplace_back(box->isChecked());
  states.emplace_back(MinimumVelocity->Value());
  return states;
}

void TOptionsForm::Restore(const std::vector<QVariant>& states) {
  size_t i = 0;
  for (QComboBox* list : {RowNumbers, SpaceKeyAction, Centering, MainMenu, TrackToggleSize, DefaultPatternsLength,
                          StartRow, PatternsLength, SpdValue, ImportMethod, ClockSource}) {
    if (list->isEditable())
      list->setCurrentText(states[i++].toString());
    else
      list->setCurrentIndex(states[i++].toInt());
  }
  for (QAbstractButton* box :
       std::initializer_list<QAbstractButton*>{ShowHints, DockedPiano, UseAsIs, IgnoreVelocities, UseMinimumVelocity})
    box->setChecked(states[i++].toBool());
  MinimumVelocity->ShowValue(states[i].toInt());
}

int TOptionsForm::DefaultPatternLength() const {
  return std::clamp(NumberOr(DefaultPatternsLength->currentText(), 32), 32, 256);
}

MidiImportOptions TOptionsForm::ImportOptions() const {
  const MidiImportOptions defaults;
  MidiImportOptions options;
  options.startRow = NumberOr(StartRow->currentText(), defaults.startRow);
  options.patternLength = NumberOr(PatternsLength->currentText(), defaults.patternLength);
  options.rowsPerQuarter = NumberOr(SpdValue->currentText(), defaults.rowsPerQuarter);
  options.method = ImportMethod->currentIndex() == 1 ? 1 : 0;
  return options;
}

QString TOptionsForm::ImportOptionsFault(QComboBox** field) const {
  const std::pair<QComboBox*, ImportField> fields[] = {
      {StartRow, StartRowRange}, {PatternsLength, PatternsLengthRange}, {SpdValue, SpdRange}};
  for (const auto& [list, range] : fields) {
    const QString text = list->currentText().trimmed();
    bool number = false;
    const int value = text.toInt(&number);
    if (number && value >= range.low && value <= range.high) continue;
    if (field) *field = list;
    return QStringLiteral("%1 must be a whole number from %2 to %3, not \"%4\".")
        .arg(QLatin1String(range.name))
        .arg(range.low)
        .arg(range.high)
        .arg(text);
  }
  return {};
}

void TOptionsForm::SetMidiIn(bool ignoreVelocities, bool useMinimum) {
  if (useMinimum)
    UseMinimumVelocity->setChecked(true);
  else if (ignoreVelocities)
    IgnoreVelocities->setChecked(true);
  else
    UseAsIs->setChecked(true);
}

void TOptionsForm::CopyTo(EditorOptions& options) const {
  options.rowNumberFormat = std::max(RowNumbers->currentIndex(), 0);
  options.spaceKeyAction = std::max(SpaceKeyAction->currentIndex(), 0);
  options.centring = std::max(Centering->currentIndex(), 0);
  options.midiInIgnoreVelocity = IgnoreVelocities->isChecked();
  options.midiInUseMinimumVelocity = UseMinimumVelocity->isChecked();
  options.midiInMinimumVelocity = MinimumVelocity->Value();
}

}  // namespace varnel
