// The addresses of Varnel's web pages, all in this one place, and how a page is opened: through
// the desktop's browser, or through whatever a test puts in its stead.
#pragma once

#include <QUrl>
#include <functional>

namespace varnel {

namespace WebLinks {
inline constexpr const char* OnlineHelp = "https://varnel.org/help";
inline constexpr const char* WebSite = "https://varnel.org/";
inline constexpr const char* Donate = "https://varnel.org/donate";
inline constexpr const char* MoreSoftware = "https://varnel.org/software";
}  // namespace WebLinks

// Opens a page; false when nothing could show it.
using UrlOpener = std::function<bool(const QUrl&)>;

}  // namespace varnel
