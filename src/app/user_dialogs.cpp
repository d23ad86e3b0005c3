#include "app/user_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace varnel {

void UserDialogs::Notice(QWidget* parent, const QString& text) {
  auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("MIDI devices"), text, QMessageBox::Ok, parent);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setModal(false);
  box->show();
}

DialogAnswer UserDialogs::YesNoCancel(QWidget* parent, const QString& text) {
  return Question(parent, text) ? DialogAnswer::Yes : DialogAnswer::No;
}

namespace {

QString SecondFilter(const QString& filters) {
  const QStringList list = filters.split(QStringLiteral(";;"));
  return list.size() > 1 ? list[1] : list.value(0);
}

class QtDialogs final : public UserDialogs {
 public:
  void Message(QWidget* parent, const QString& text) override {
    QMessageBox::information(parent, QApplication::applicationName(), text);
  }

  bool Question(QWidget* parent, const QString& text) override {
    return QMessageBox::question(parent, QApplication::applicationName(), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
  }

  // The buttons say what happens to the song: "Save", "Discard", "Cancel" (Enter saves).
  DialogAnswer YesNoCancel(QWidget* parent, const QString& text) override {
    const auto button =
        QMessageBox::warning(parent, QApplication::applicationName(), text,
                             QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    return button == QMessageBox::Save      ? DialogAnswer::Yes
           : button == QMessageBox::Discard ? DialogAnswer::No
                                            : DialogAnswer::Cancel;
  }

  QString OpenFileName(QWidget* parent, const QString& filters, const QString& suffix,
                       const QString& folder) override {
    QFileDialog dialog(parent);
    if (!folder.isEmpty()) dialog.setDirectory(folder);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(filters.split(QStringLiteral(";;")));
    dialog.selectNameFilter(SecondFilter(filters));
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
  }

  QString SaveFileName(QWidget* parent, const QString& filters, const QString& suffix,
                       const QString& proposal) override {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(filters.split(QStringLiteral(";;")));
    dialog.selectNameFilter(SecondFilter(filters));
    dialog.setDefaultSuffix(suffix);
    if (!proposal.isEmpty()) dialog.selectFile(proposal);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
  }
};

}  // namespace

std::unique_ptr<UserDialogs> MakeQtDialogs() { return std::make_unique<QtDialogs>(); }

}  // namespace varnel
