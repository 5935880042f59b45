#include "shell/text.h"

#include "common/number_text.h"

#include <QFile>

namespace shell {

QString from_path(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string to_path(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString grouped(std::int64_t number)
{
    const std::string digits = common::grouped(static_cast<std::uint64_t>(number < 0 ? -number : number));
    return QString::fromStdString(number < 0 ? "-" + digits : digits);
}

QString from_disc(const std::string& text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string to_disc(const QString& text)
{
    return text.toLatin1().toStdString();
}

QString shown_disc_text(const std::string& text)
{
    QString shown;
    shown.reserve(static_cast<qsizetype>(text.size()));
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\t')
            shown += "\\t";
        else if (byte == '\n')
            shown += "\\n";
        else if (byte == '\r')
            shown += "\\r";
        else if (byte < 0x20 || byte == 0x7F)
            shown += "\\x" + QString::number(byte, 16).toUpper().rightJustified(2, '0');
        else
            shown += QChar(byte);
    }
    return shown;
}

QString shown_text(const session::Text& text)
{
    QString shown;
    for (const session::Piece& piece : text.pieces()) {
        switch (piece.encoding) {
        case session::Encoding::Path:
            shown += from_path(piece.bytes);
            break;
        case session::Encoding::Disc:
            shown += from_disc(piece.bytes);
            break;
        case session::Encoding::Shown:
            shown += shown_disc_text(piece.bytes);
            break;
        case session::Encoding::Name:
            shown += shown_disc_text(piece.bytes).trimmed();
            break;
        }
    }
    return shown;
}

} // namespace shell
