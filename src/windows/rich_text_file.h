// Reading a text file for the song comments: plain text in whatever encoding a musician's editor
// wrote it, RTF and HTML shown with their formatting. The comment keeps only the plain text.
//
// Threads: UI thread (QTextDocument).
#pragma once

#include <QByteArray>
#include <QString>

class QTextDocument;

namespace varnel {

enum class CommentFileKind { Plain, Rtf, Html };

// RTF by its "{\rtf" start, HTML by its extension, anything else is plain text.
CommentFileKind CommentFileKindOf(const QString& path, const QByteArray& bytes);

// Plain text from a UTF-16 or UTF-8 byte-order mark, else UTF-8 when valid, else Windows-1252.
// Line ends become "\n".
QString DecodePlainText(const QByteArray& bytes);

// Replaces the document's content with the RTF's text and its character formatting (bold,
// italic, underline, strike-out, size, colour). Pictures, fields' instructions, headers and the
// other destinations are left out; damaged input gives what could be read, never an error.
void ReadRtf(const QByteArray& rtf, QTextDocument& document);

}  // namespace varnel
