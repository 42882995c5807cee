#include "platform/QtText.h"

#include <QStringDecoder>

namespace vexil {

QString TextOfBytes(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string BytesOfText(const QString &text) {
    return text.toLatin1().toStdString();
}

QString MessageText(std::string_view bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text =
        utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return utf8.hasError() ? TextOfBytes(bytes) : text;
}

} // namespace vexil
