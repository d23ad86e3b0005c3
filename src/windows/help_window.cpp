#include "windows/help_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

#include "windows/keyboard_layout_view.h"

namespace varnel {

namespace {

// The guide's keyboard pictures come from the layout view, not from files.
class GuideBrowser final : public QTextBrowser {
 public:
  using QTextBrowser::QTextBrowser;

  QVariant loadResource(int type, const QUrl& name) override {
    if (type == QTextDocument::ImageResource) {
      for (KeyboardMode mode : {KeyboardTwoOctaves, KeyboardFourOctaves})
        if (name == KeyboardImageUrl(mode)) return TKeyboardLayoutView::Image(mode);
    }
    return QTextBrowser::loadResource(type, name);
  }
};

}  // namespace

THelpForm::THelpForm(QWidget* parent) : QWidget(parent, Qt::Tool) {
  setWindowTitle(QStringLiteral("VN Help"));
  setObjectName(QStringLiteral("HelpForm"));
  find_ = new QLineEdit(this);
  find_->setPlaceholderText(QStringLiteral("Search the help"));
  find_->setClearButtonEnabled(true);
  next_ = new QPushButton(QStringLiteral("Find next"), this);
  result_ = new QLabel(this);
  result_->setMinimumWidth(90);
  browser_ = new GuideBrowser(this);
  browser_->setOpenLinks(false);

  auto* bar = new QHBoxLayout;
  auto* label = new QLabel(QStringLiteral("&Find:"), this);
  label->setBuddy(find_);
  bar->addWidget(label);
  bar->addWidget(find_, 1);
  bar->addWidget(next_);
  bar->addWidget(result_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(bar);
  layout->addWidget(browser_, 1);
  resize(760, 640);

  connect(find_, &QLineEdit::textChanged, this, [this](const QString& text) { Find(text); });
  connect(find_, &QLineEdit::returnPressed, this, &THelpForm::FindNext);
  connect(next_, &QPushButton::clicked, this, &THelpForm::FindNext);
}

void THelpForm::SetShortcuts(const QList<ShortcutEntry>& shortcuts) {
  const QString html = HelpGuideHtml(shortcuts);
  if (html == html_) return;
  html_ = html;
  browser_->setHtml(html);
  if (!find_->text().isEmpty()) Find(find_->text());
}

QString THelpForm::PlainText() const { return browser_->document()->toPlainText(); }

int THelpForm::Find(const QString& text) {
  matches_.clear();
  current_ = -1;
  length_ = int(text.size());
  if (!text.isEmpty()) {
    QTextDocument* document = browser_->document();
    QTextCursor at(document);
    for (;;) {
      at = document->find(text, at);
      if (at.isNull()) break;
      matches_ << at.selectionStart();
    }
    const int from = browser_->textCursor().selectionStart();
    current_ = matches_.isEmpty() ? -1 : 0;
    for (int i = 0; i < matches_.size(); ++i) {
      if (matches_[i] >= from) {
        current_ = i;
        break;
      }
    }
  }
  ShowMatches();
  return int(matches_.size());
}

void THelpForm::FindNext() {
  if (matches_.isEmpty()) {
    Find(find_->text());
    return;
  }
  current_ = (current_ + 1) % int(matches_.size());
  ShowMatches();
}

void THelpForm::ShowMatches() {
  QList<QTextEdit::ExtraSelection> marks;
  QTextDocument* document = browser_->document();
  for (int i = 0; i < matches_.size(); ++i) {
    QTextEdit::ExtraSelection mark;
    mark.cursor = QTextCursor(document);
    mark.cursor.setPosition(matches_[i]);
    mark.cursor.setPosition(matches_[i] + length_, QTextCursor::KeepAnchor);
    mark.format.setBackground(i == current_ ? QColor(255, 150, 50) : QColor(255, 240, 100));
    marks << mark;
  }
  browser_->setExtraSelections(marks);
  if (current_ >= 0) {
    QTextCursor cursor(document);
    cursor.setPosition(matches_[current_]);
    cursor.setPosition(matches_[current_] + length_, QTextCursor::KeepAnchor);
    browser_->setTextCursor(cursor);
    browser_->ensureCursorVisible();
    result_->setText(QStringLiteral("%1 of %2").arg(current_ + 1).arg(matches_.size()));
  } else {
    result_->setText(find_->text().isEmpty() ? QString() : QStringLiteral("Not found"));
  }
}

QString THelpForm::SelectedText() const { return browser_->textCursor().selectedText(); }

int THelpForm::HighlightCount() const { return int(browser_->extraSelections().size()); }

}  // namespace varnel
