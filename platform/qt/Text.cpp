#include "platform/qt/Text.h"

#include <QFile>
#include <string_view>

namespace tessel::platform {

// Both directions walk the text once: QString::replace moves the rest of the text for every
// batch of matches, which turns a list of a million lines into seconds of copying. Line breaks
// are one byte in every locale's encoding, so the way out works on the bytes.
QString toDisplay(const std::string& bytes) {
    QString text = QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QChar* const data = text.data();
    const qsizetype size = text.size();
    qsizetype kept = 0;
    for (qsizetype i = 0; i < size; ++i) {
        if (data[i] == u'\r' && i + 1 < size && data[i + 1] == u'\n') {
            continue;
        }
        data[kept++] = data[i];
    }
    text.truncate(kept);
    return text;
}

std::string fromDisplay(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    const std::string_view from(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    std::string crlf;
    crlf.reserve(from.size() + static_cast<std::size_t>(bytes.count('\n')));
    std::size_t start = 0;
    for (std::size_t lf = from.find('\n'); lf != std::string_view::npos;
         lf = from.find('\n', start)) {
        crlf.append(from.substr(start, lf - start));
        if (lf == 0 || from[lf - 1] != '\r') {
            crlf.push_back('\r');
        }
        crlf.push_back('\n');
        start = lf + 1;
    }
    crlf.append(from.substr(start));
    return crlf;
}

std::string fromPath(const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

QString toPath(const std::string& path) {
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

}  // namespace tessel::platform
