#include "ui/Bytes.h"

#include <QStringDecoder>

namespace ui {

QString DecodeBytes(const std::string& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (utf8.hasError())
        text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return text;
}

std::string EncodeText(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace ui
