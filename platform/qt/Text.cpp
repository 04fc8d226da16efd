#include "platform/qt/Text.h"

#include <QFile>

namespace tessel::platform {

// Both directions walk the text once: QString::replace moves the rest of the text for every
// batch of matches, which turns a list of a million lines into seconds of copying.
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
    QString crlf;
    crlf.reserve(text.size() + text.count(u'\n'));
    QChar previous;
    for (const QChar c : text) {
        if (c == u'\n' && previous != u'\r') {
            crlf.append(u'\r');
        }
        crlf.append(c);
        previous = c;
    }
    const QByteArray bytes = crlf.toLocal8Bit();
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

std::string fromPath(const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

QString toPath(const std::string& path) {
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

}  // namespace tessel::platform
