#pragma once

// The maker's addresses, in one place: the update check asks the update server, names the domain in
// its messages and offers the download page; the editor's "Go Online..." menu names the web site and
// opens the home page.
namespace maker {

// Host of the version query (plain HTTP, port 80). TARVOLIN_UPDATE_SERVER ("host" or "host:port")
// replaces it, so that tests can answer the query on loopback.
inline constexpr const char* kUpdateServer = "update.stonemoormusic.com";
inline constexpr const char* kUpdateServerVariable = "TARVOLIN_UPDATE_SERVER";

// Shown in the messages of the update check.
inline constexpr const char* kDomainName = "stonemoormusic.com";
// Shown in the new-version question and after "Visit " in the utility menu.
inline constexpr const char* kHomePage = "https://www.stonemoormusic.com";
inline constexpr const char* kWebSiteName = "www.stonemoormusic.com";
// Opened when the user wants the new version.
inline constexpr const char* kDownloadPage = "https://www.stonemoormusic.com/tarvolin/download";

}  // namespace maker
