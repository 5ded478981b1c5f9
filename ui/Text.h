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

inline std::string PathBytes(const QString& text)
{
    return QFile::encodeName(text).toStdString();
}

// "Error N: description", the one way the windows report an error, with the
// path the failed call worked on beneath it when there is one: "No such file
// or directory" alone does not say which folder is missing.
inline QString ErrorText(const Error& error)
{
    QString text = QCoreApplication::translate("tidyfold", "Error %1: %2")
                       .arg(error.Number())
                       .arg(QString::fromStdString(error.Description()));
    if (!error.Path().empty())
        text += QLatin1Char('\n') + PathText(error.Path());
    return text;
}

}  // namespace tidyfold::ui
