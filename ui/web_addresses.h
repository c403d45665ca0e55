// The web addresses the program names in its messages and opens in the desktop's browser.
//
// They all live under the reserved example.com domain; the support e-mail address that ends the
// error report is ui::kSupportEmail (ui/command.h).
#pragma once

#include <QString>

namespace ui {

// The maker's home page, opened now and then at start-up.
inline const QString kHomePageAddress = QStringLiteral("https://www.dunmorrow.example.com/");
// Named by the table browser's "Help".
inline const QString kContactPageAddress =
    QStringLiteral("https://www.dunmorrow.example.com/contact");
// Named by the connection help text.
inline const QString kMySqlSiteAddress = QStringLiteral("https://www.mysql.example.com/");
inline const QString kFreeMySqlHostingAddress =
    QStringLiteral("https://free-mysql-hosting.example.com/");
// The download pages of the Access database engine, opened by the engine check.
inline const QString kEngine2010DownloadAddress =
    QStringLiteral("https://downloads.example.com/access-database-engine-2010");
inline const QString kEngine2016DownloadAddress =
    QStringLiteral("https://downloads.example.com/access-database-engine-2016");

}  // namespace ui
