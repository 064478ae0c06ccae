#include "ui/ShownText.h"

#include <QFile>

#include "log/LogLine.h"

QString ShownText(std::string_view text)
{
    return QString::fromStdString(EscapeControlBytes(text));
}

std::string LocalPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString PathText(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}
