#include "windows/rich_text_file.h"

#include <QColor>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QVector>
#include <algorithm>
#include <cctype>

#include "song/text_encoding.h"

namespace varnel {

CommentFileKind CommentFileKindOf(const QString& path, const QByteArray& bytes) {
  if (bytes.startsWith("{\\rtf")) return CommentFileKind::Rtf;
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix == QLatin1String("htm") || suffix == QLatin1String("html")) return CommentFileKind::Html;
  return CommentFileKind::Plain;
}

QString DecodePlainText(const QByteArray& bytes) {
  QString text;
  if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
    text = QStringDecoder(QStringDecoder::Utf16)(bytes);  // the mark says which byte order
  } else if (bytes.startsWith("\xEF\xBB\xBF")) {
    text = QString::fromUtf8(bytes.mid(3));
  } else {
    text = QString::fromStdString(DisplayText(bytes.toStdString()));
  }
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

namespace {

// Groups whose content is not text of the document.
bool SkippedDestination(const QByteArray& word) {
  static const char* const names[] = {"fonttbl", "stylesheet", "info", "pict", "header", "headerl", "headerr",
                                      "headerf", "footer", "footerl", "footerr", "footerf", "footnote",
                                      "object", "listtable", "listoverridetable", "rsidtbl", "themedata",
                                      "colorschememapping", "latentstyles", "datastore", "xmlnstbl",
                                      "generator", "fldinst", "filetbl", "revtbl", "pgdsctbl", "nonshppict"};
  for (const char* name : names)
    if (word == name) return true;
  return false;
}

struct RtfState {
  bool bold = false, italic = false, underline = false, strike = false;
  int halfPoints = 0;  // 0: the document's size
  int colour = 0;      // index into the colour table; 0 is the default colour
  bool skip = false;   // inside a destination that is left out
  bool colourTable = false;
  int unicodeSkip = 1;  // \ucN: characters that stand in for each \uN
};

class RtfReader {
 public:
  RtfReader(const QByteArray& rtf, QTextDocument& document) : in_(rtf), cursor_(&document) {
    document.clear();
    cursor_ = QTextCursor(&document);
  }

  void Run() {
    while (pos_ < in_.size()) {
      const char c = in_[pos_++];
      if (c == '{') {
        FlushBytes();
        if (stack_.size() < MaxDepth) stack_ << state_;
        else ++overflow_;
      } else if (c == '}') {
        FlushBytes();
        if (overflow_ > 0) --overflow_;
        else if (!stack_.isEmpty()) state_ = stack_.takeLast();
      } else if (c == '\\') {
        Control();
      } else if (c == '\r' || c == '\n') {
        // line breaks of the file itself mean nothing
      } else if (state_.colourTable) {
        if (c == ';') {
          colours_ << (colourSet_ ? QColor(red_, green_, blue_) : QColor());
          red_ = green_ = blue_ = 0;
          colourSet_ = false;
        }
      } else {
        Byte(c);
      }
    }
    FlushBytes();
    FlushText();
  }

 private:
  static constexpr int MaxDepth = 256;

  void Byte(char c) {
    if (state_.skip) return;
    if (pendingSkip_ > 0) {
      --pendingSkip_;
      return;
    }
    Sync();
    bytes_ += c;
  }

  void Text(const QString& text) {
    if (state_.skip) return;
    Sync();
    FlushBytes();
    text_ += text;
  }

  static bool SameLook(const RtfState& a, const RtfState& b) {
    return a.bold == b.bold && a.italic == b.italic && a.underline == b.underline && a.strike == b.strike &&
           a.halfPoints == b.halfPoints && a.colour == b.colour;
  }

  // Text so far goes out in the look it was written in before text of another look follows.
  void Sync() {
    if (SameLook(state_, written_)) return;
    FlushBytes();
    FlushText();
    written_ = state_;
  }

  void FlushBytes() {
    if (bytes_.isEmpty()) return;
    QStringDecoder decoder(codePage_.constData());
    text_ += decoder.isValid() ? decoder(bytes_) : QString::fromStdString(DisplayText(bytes_.toStdString()));
    bytes_.clear();
  }

  void FlushText() {
    if (text_.isEmpty()) return;
    QTextCharFormat format;
    format.setFontWeight(written_.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(written_.italic);
    format.setFontUnderline(written_.underline);
    format.setFontStrikeOut(written_.strike);
    if (written_.halfPoints > 0) format.setFontPointSize(written_.halfPoints / 2.0);
    if (written_.colour < colours_.size() && colours_[written_.colour].isValid())
      format.setForeground(colours_[written_.colour]);
    cursor_.insertText(text_, format);
    text_.clear();
  }

  void Control() {
    if (pos_ >= in_.size()) return;
    const char c = in_[pos_];
    if (!std::isalpha(static_cast<unsigned char>(c))) {
      ++pos_;
      Symbol(c);
      return;
    }
    QByteArray word;
    while (pos_ < in_.size() && std::isalpha(static_cast<unsigned char>(in_[pos_])) && word.size() < 32)
      word += in_[pos_++];
    bool hasParam = false;
    long param = 0;
    bool negative = false;
    if (pos_ < in_.size() && in_[pos_] == '-') {
      negative = true;
      ++pos_;
    }
    while (pos_ < in_.size() && std::isdigit(static_cast<unsigned char>(in_[pos_]))) {
      hasParam = true;
      if (param < 1000000000) param = param * 10 + (in_[pos_] - '0');
      ++pos_;
    }
    if (negative) param = -param;
    if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;
    Word(word, hasParam, int(param));
  }

  void Symbol(char c) {
    switch (c) {
      case '\\': case '{': case '}': Byte(c); break;
      case '~': Text(QStringLiteral(" ")); break;
      case '_': Text(QStringLiteral("-")); break;
      case '*': state_.skip = true; break;  // an optional destination this reader does not know
      case '\r': case '\n': Text(QStringLiteral("\n")); break;
      case '\'': {
        if (pos_ + 2 > in_.size()) {
          pos_ = in_.size();
          return;
        }
        bool ok = false;
        const int value = in_.mid(pos_, 2).toInt(&ok, 16);
        pos_ += 2;
        if (ok) Byte(char(value));
        break;
      }
      default: break;  // \- and the rest
    }
  }

  void Word(const QByteArray& w, bool hasParam, int param) {
    const bool on = !hasParam || param != 0;
    if (SkippedDestination(w)) {
      state_.skip = true;
    } else if (w == "colortbl") {
      state_.colourTable = true;
      state_.skip = true;
    } else if (state_.colourTable) {
      if (w == "red") red_ = param, colourSet_ = true;
      else if (w == "green") green_ = param, colourSet_ = true;
      else if (w == "blue") blue_ = param, colourSet_ = true;
    } else if (w == "bin") {
      if (hasParam && param > 0) pos_ = std::min<qsizetype>(in_.size(), pos_ + param);
    } else if (w == "ansicpg") {
      FlushBytes();
      if (hasParam) codePage_ = "windows-" + QByteArray::number(param);
    } else if (w == "par" || w == "line" || w == "sect" || w == "page") {
      Text(QStringLiteral("\n"));
    } else if (w == "tab") {
      Text(QStringLiteral("\t"));
    } else if (w == "emdash") {
      Text(QString(QChar(0x2014)));
    } else if (w == "endash") {
      Text(QString(QChar(0x2013)));
    } else if (w == "bullet") {
      Text(QString(QChar(0x2022)));
    } else if (w == "lquote" || w == "rquote") {
      Text(QStringLiteral("'"));
    } else if (w == "ldblquote" || w == "rdblquote") {
      Text(QStringLiteral("\""));
    } else if (w == "u" && hasParam) {
      Text(QString(QChar(char16_t(param < 0 ? param + 65536 : param))));
      pendingSkip_ = state_.skip ? 0 : state_.unicodeSkip;
    } else if (w == "uc" && hasParam) {
      state_.unicodeSkip = std::max(0, param);
    } else {
      Character(w, on, hasParam, param);
    }
  }

  void Character(const QByteArray& w, bool on, bool hasParam, int param) {
    RtfState& s = state_;
    if (w == "b") s.bold = on;
    else if (w == "i") s.italic = on;
    else if (w == "ul") s.underline = on;
    else if (w == "ulnone") s.underline = false;
    else if (w == "strike") s.strike = on;
    else if (w == "fs" && hasParam) s.halfPoints = std::clamp(param, 0, 400);
    else if (w == "cf" && hasParam) s.colour = std::max(0, param);
    else if (w == "plain") s.bold = s.italic = s.underline = s.strike = false, s.halfPoints = 0, s.colour = 0;
  }

  const QByteArray& in_;
  qsizetype pos_ = 0;
  QTextCursor cursor_;
  RtfState state_, written_;
  QVector<RtfState> stack_;
  int overflow_ = 0;
  QVector<QColor> colours_;
  int red_ = 0, green_ = 0, blue_ = 0;
  bool colourSet_ = false;
  int pendingSkip_ = 0;
  QByteArray codePage_ = "windows-1252";
  QByteArray bytes_;
  QString text_;
};

}  // namespace

void ReadRtf(const QByteArray& rtf, QTextDocument& document) { RtfReader(rtf, document).Run(); }

}  // namespace varnel
