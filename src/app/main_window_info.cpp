// The song information dialog, the help window, the Help menu's web pages and the about box.
#include <QAction>
#include <QDesktopServices>
#include <QTimer>

#include "app/main_window.h"
#include "app/main_window_menus.h"
#include "app/user_dialogs.h"
#include "document/song_document.h"
#include "midi/midi_devices.h"
#include "song/song.h"
#include "windows/about_box.h"
#include "windows/help_window.h"
#include "windows/song_info_form.h"

namespace varnel {

void TMainForm::ConnectInfo() {
  songInfo_ = new TfrmSongInfo(*dialogs_, this);
  help_ = new THelpForm(this);
  about_ = new TAboutBox(this);
  urlOpener_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };

  On("SongInfo", &TMainForm::ShowSongInfo);
  On("Help", &TMainForm::HelpClick);
  const std::pair<const char*, const char*> pages[] = {{"OnlineHelp", WebLinks::OnlineHelp},
                                                       {"WebSite", WebLinks::WebSite},
                                                       {"Donate", WebLinks::Donate},
                                                       {"MoreSoftware", WebLinks::MoreSoftware}};
  for (const auto& [key, address] : pages)
    connect(Action(key), &QAction::triggered, this, [this, address = address] { OpenWebPage(address); });
}

void TMainForm::ShowSongInfo() {
  songInfo_->Fill(song_->Tag);
  if (!dialogs_->Confirm([this] { return songInfo_->exec() == QDialog::Accepted; })) return;
  // Edited information is part of the song: a step, and closing or opening another song asks to save it.
  EditStep step(*document_, "song info", StepScope::Values());
  songInfo_->Store(song_->Tag);
}

void TMainForm::AfterLoad() {
  if (!song_->Tag.ShowOnLoad || songInfoPending_) return;
  // Shown once the load has finished: after the editor shows the song, and after the loading
  // command has marked the song as unmodified, so an edit confirmed here still counts.
  songInfoPending_ = true;
  QTimer::singleShot(0, this, [this] {
    songInfoPending_ = false;
    if (song_->Tag.ShowOnLoad && !closing_) ShowSongInfo();
  });
}

void TMainForm::HelpClick() {
  help_->SetShortcuts(CollectShortcuts(commands_->TopMenus, commands_->All().values()));
  help_->show();
  help_->raise();
  help_->activateWindow();
}

void TMainForm::OpenWebPage(const char* address) {
  const QUrl url(QString::fromLatin1(address));
  if (!urlOpener_ || !urlOpener_(url))
    dialogs_->Message(this, QStringLiteral("Could not open the web page ") + url.toString());
}

void TMainForm::AboutClick() {
  AboutFacts facts;
  facts.synthSoundFont = QString::fromStdString(FindSoundFont(synth_.soundFont));
  facts.output = QString::fromStdString(devices_->OutDeviceName());
  facts.synthIsOutput = devices_->OutDeviceId() < 0;
  about_->SetFacts(facts);
  dialogs_->Confirm([this] {
    about_->exec();
    return true;
  });
}

}  // namespace varnel
