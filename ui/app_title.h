// The product name and the application title shown by message boxes that name no title.
#pragma once

#include <QString>

namespace ui {

inline const QString kProductName = QStringLiteral("Dunmorrow");

// The title every message box without one of its own shows. Until setApplicationTitle() runs
// it is the product name.
QString applicationTitle();

// Derives the title from `productName`: cut before its last space, repeated while the result is
// longer than 40 characters. A name without a space is kept whole.
QString deriveApplicationTitle(const QString& productName);
void setApplicationTitle(const QString& productName = kProductName);

}  // namespace ui
