#include "windows/help_guide.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QSet>
#include <algorithm>

namespace varnel {

namespace {

QString Escape(const QString& text) { return text.toHtmlEscaped(); }

void Walk(const QMenu* menu, const QString& path, QList<ShortcutEntry>& out, QSet<const QAction*>& seen) {
  for (QAction* action : menu->actions()) {
    if (action->isSeparator() || !action->isVisible()) continue;
    const QString where = path + QStringLiteral(" > ") + PlainCaption(action->text());
    if (action->menu()) {
      Walk(action->menu(), where, out, seen);
      continue;
    }
    if (seen.contains(action)) continue;
    seen.insert(action);
    for (const QKeySequence& key : action->shortcuts())
      if (!key.isEmpty()) out << ShortcutEntry{where, key.toString(QKeySequence::PortableText)};
  }
}

QString Table(const QStringList& headers, const QList<QStringList>& rows) {
  QString html = QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\"><tr>");
  for (const QString& header : headers) html += QStringLiteral("<th align=\"left\">") + Escape(header) + "</th>";
  html += QStringLiteral("</tr>");
  for (const QStringList& row : rows) {
    html += QStringLiteral("<tr>");
    for (const QString& cell : row) html += QStringLiteral("<td>") + Escape(cell) + "</td>";
    html += QStringLiteral("</tr>");
  }
  return html + QStringLiteral("</table>");
}

QString Section(const char* title) { return QStringLiteral("<h2>") + QLatin1String(title) + "</h2>"; }
QString Para(const char* text) { return QStringLiteral("<p>") + Escape(QString::fromUtf8(text)) + "</p>"; }

QString KeyboardSection() {
  QString html = Section("Playing notes on the computer keyboard");
  html += Para("With the cursor on a note track of the pattern editor, the keys of the computer keyboard play "
               "and write notes. The notes are counted from the octave chosen with F1 to F8 (or Edit > Octave); "
               "each ' on a key marks one octave higher. Black-key semitones are drawn dark, each octave in its "
               "own tint. Caps Lock writes a note-off. Holding Shift adds the chord set up in \"Chords settings\" "
               "to the note; the tool-bar buttons \"Play chords lower keys\" and \"Play chords upper keys\" do "
               "the same for the two lower or the two upper key rows without Shift.");
  html += QStringLiteral("<h3>Two octaves and more (the usual layout)</h3>");
  html += Para("Chromatic, like a piano: the bottom two rows play from C to E' (white keys on "
               "Z X C V B N M , . /, black keys on S D G H J L ;), the top two rows go on from C' to G#'' "
               "(white keys on Q W E R T Y U I O P [ ], black keys on 2 3 5 6 7 9 0 = and \\).");
  html += QStringLiteral("<p><img src=\"%1\"></p>").arg(KeyboardImageUrl(0).toString());
  html += QStringLiteral("<h3>Four octaves (tool-bar button \"Keyboard Mode 2+ / 4+ Octaves\")</h3>");
  html += Para("White keys only, one octave per key row: Z, A, Q and 1 each start an octave higher than the "
               "row below.");
  html += QStringLiteral("<p><img src=\"%1\"></p>").arg(KeyboardImageUrl(1).toString());
  return html;
}

QString ShortcutSection(const QList<ShortcutEntry>& shortcuts) {
  QString html = Section("Shortcuts of the menus");
  QList<QStringList> rows;
  for (const ShortcutEntry& entry : shortcuts) rows << QStringList{entry.shortcut, entry.where};
  html += Table({QStringLiteral("Keys"), QStringLiteral("Command")}, rows);

  html += Section("Keys of the main window");
  html += Table({QStringLiteral("Keys"), QStringLiteral("Effect")},
                {{"F1 ... F8", "keyboard octave 1 to 8 (shown as \"Octave N\" on the status bar)"},
                 {"Num 0 ... Num 9", "the \"Add.\" step: how many rows the cursor moves after a note"},
                 {"Alt+Num d", "\"Add.\" step 2 × d"},
                 {"Ctrl+Alt+Num d", "\"Add.\" step 4 × d"},
                 {"Ctrl+0 ... Ctrl+9", "\"Add.\" step 0 to 9"},
                 {"Ctrl+Num d", "current pattern d (when the song has it)"}});

  html += Section("Keys of the pattern and sequence editors");
  html += Table(
      {QStringLiteral("Keys"), QStringLiteral("Effect")},
      {{"Note keys", "play the note and write it into a note track (see the keyboards above)"},
       {"Caps Lock", "note-off in a note track; in the sequence editor a note-off entry"},
       {"0 ... 9 (and A ... F in hex display)", "type a value into a velocity or controller track; in the "
                                               "sequence editor, a pattern number"},
       {"Space", "play or pause; while playing, stop or pause as set in the options"},
       {"Enter", "from the pattern editor: the channel's order in the sequence editor; from the sequence "
                 "editor: the pattern under the cursor"},
       {"Delete", "clear the selection"},
       {"Alt+Insert, Alt+Backspace", "rotate the cursor's column down or up by one row"},
       {"Ctrl+C, Ctrl+X, Ctrl+V", "copy, cut, paste the selection"},
       {"Num +, Num -", "next or previous pattern"},
       {"Num *, Num /", "next or previous program of the current channel"},
       {"Shift+note key", "the note with its chord"}});
  html += Section("Mouse on the channel toggles");
  html += Table({QStringLiteral("Button"), QStringLiteral("Effect")},
                {{"Left", "switch the channel on or off"},
                 {"Right", "solo the channel; again to end the solo"},
                 {"Middle", "keep the channel out of solos (its number turns red)"}});
  return html;
}

QString TrackSection() {
  QString html = Section("Track types and what they send");
  html += Para("Every track is one column of one song channel; playback sends each row's value on the "
               "channel's MIDI channel. Tracks are added from the Track menu.");
  html += Table(
      {QStringLiteral("Track"), QStringLiteral("Added with"), QStringLiteral("Sends")},
      {{"Notes", "Track > Add track (Ctrl+T)", "note-on (0..127) and note-off"},
       {"Velocity", "Track > Add volume track (Ctrl+Y)", "the velocity of the notes in the note track on its left"},
       {"Panning", "Add automation track > Panning", "controller 10"},
       {"Channel Volume", "Add automation track > Channel Volume (Ctrl+U)", "controller 7"},
       {"Modulation", "Add automation track > Modulation", "controller 1"},
       {"Expression", "Add automation track > Expression", "controller 11"},
       {"Sustain Pedal", "Add automation track > Sustain Pedal", "controller 64"},
       {"Reverb", "Add automation track > Reverb", "controller 91"},
       {"Chorus", "Add automation track > Chorus", "controller 93"},
       {"Filter cut", "Add automation track > Filter cut", "controller 74"},
       {"Filter res", "Add automation track > Filter res", "controller 71"},
       {"Pitch wheel", "Add automation track > Pitch wheel", "pitch wheel, 64 = centre"},
       {"Control change", "Control change (CC) event...", "the controller chosen for the track (0..127)"},
       {"NRPN", "NRPN event...", "controllers 99 and 98 (the parameter), then data entry 6 with the value"},
       {"RPN", "RPN event...", "controllers 101 and 100 (the parameter), then data entry 6 with the value"},
       {"Program change", "Cx - Program change", "program change 0..127"},
       {"Tempo", "Tempo track (BPM)", "nothing to the device: the song's tempo in BPM"}});
  html += Para("A value track sends only where it has a value; an empty cell keeps what was sent last.");
  return html;
}

QString FilesSection() {
  QString html = Section("Files");
  html += Table(
      {QStringLiteral("Format"), QStringLiteral("Reads"), QStringLiteral("Writes"), QStringLiteral("How")},
      {{"Varnel song (.vnl)", "versions 102 to 106", "version 106", "File > Open, Save, Save as, Save new version"},
       {"Standard MIDI File (.mid)", "formats 0 and 1", "format 1", "File > Import > MIDI song; File > Export"},
       {"FastTracker 2 module (.xm)", "order, patterns and notes (one channel per instrument)", "no", "File > Import > FastTracker module"},
       {"Song comments (.txt, .rtf, .html)", "text; RTF and HTML shown formatted", "no",
        "File > Song Info > Load from file"},
       {"WAV audio (.wav)", "no", "through the embedded synth", "varnel-cli render"}});
  html += Para("Templates: File > Templates opens the songs \"template01.vnl\" and \"template02.vnl\" from "
               "the Songs folder as new, untitled songs.");
  html += Section("Song information");
  html += Para("File > Song Info shows the title, artist, album, year, genre and comments of the song. With "
               "\"Display when loaded\" checked the information appears every time the song is opened. "
               "Confirming a change with OK marks the song as changed, so it is saved with the song.");
  return html;
}

}  // namespace

QString PlainCaption(const QString& caption) {
  QString out;
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == QLatin1Char('&')) {
      if (i + 1 < caption.size() && caption[i + 1] == QLatin1Char('&')) out += QLatin1Char('&'), ++i;
      continue;
    }
    out += caption[i];
  }
  return out;
}

QList<ShortcutEntry> CollectShortcuts(const QList<QMenu*>& menus, const QList<QAction*>& allActions) {
  QList<ShortcutEntry> out;
  QSet<const QAction*> seen;
  for (const QMenu* menu : menus) Walk(menu, PlainCaption(menu->title()), out, seen);
  QList<ShortcutEntry> others;
  for (const QAction* action : allActions) {
    if (seen.contains(action) || !action->isVisible()) continue;
    for (const QKeySequence& key : action->shortcuts()) {
      if (key.isEmpty()) continue;
      others << ShortcutEntry{QStringLiteral("Tool bar > ") + PlainCaption(action->text()),
                              key.toString(QKeySequence::PortableText)};
    }
  }
  std::sort(others.begin(), others.end(), [](const ShortcutEntry& a, const ShortcutEntry& b) {
    return a.where != b.where ? a.where < b.where : a.shortcut < b.shortcut;
  });
  return out + others;
}

QUrl KeyboardImageUrl(int mode) { return QUrl(QStringLiteral("varnel:keyboard-layout-%1.png").arg(mode)); }

QString HelpGuideHtml(const QList<ShortcutEntry>& shortcuts) {
  QString html = QStringLiteral("<html><body><h1>Varnel</h1>");
  html += Para("Varnel is a MIDI sequencer in the tracker tradition. A song is a set of numbered patterns; "
               "each pattern is a grid of up to 256 rows by tracks, and every track belongs to one song "
               "channel. Each channel has its own order in the sequence editor, which says which pattern it "
               "plays at each position. Playback goes row by row: the tempo (BPM) and the rows per beat (SPD) "
               "set how fast.");
  html += KeyboardSection();
  html += ShortcutSection(shortcuts);
  html += TrackSection();
  html += FilesSection();
  return html + QStringLiteral("</body></html>");
}

}  // namespace varnel
