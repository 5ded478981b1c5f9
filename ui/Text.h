#pragma once

// Conversions between the core's byte strings and Qt's text.

#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <string>

#include "base/Error.h"

namespace tidyfold::ui {

// Paths are bytes; names that are not valid UTF-8 are shown with
// replacement characters rather than refused.
inline QString PathText(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromRawData(path.data(), static_cast<qsizetype>(path.size())));
}

// A table cell as a screen reader names it: an empty one is "none", since a
// cell with no name is skipped in silence or read as a bare "cell".
inline QString AccessibleCellText(const QString& shown)
{
    return shown.isEmpty() ? QCoreApplication::translate("tidyfold", "none") : shown;
}

inline std::string PathBytes(const QString& text)
{
    return QFile::encodeName(text).toStdString();
}

// "Error N: description", the one way the windows report an error, with what
// Tidyfold was doing beneath it ("Cannot remove folder /home/ann/Desktop/x"):
// "Permission denied" alone says neither what failed nor where.
inline QString ErrorText(const Error& error)
{
    QString text = QCoreApplication::translate("tidyfold", "Error %1: %2")
                       .arg(error.Number())
                       .arg(QString::fromStdString(error.Description()));
    QString doing = QString::fromStdString(error.Operation());
    if (!doing.isEmpty())
        doing[0] = doing[0].toUpper();
    if (!error.Path().empty())
        doing += (doing.isEmpty() ? QString() : QStringLiteral(" ")) + PathText(error.Path());
    if (!doing.isEmpty())
        text += QLatin1Char('\n') + doing;
    return text;
}

}  // namespace tidyfold::ui
