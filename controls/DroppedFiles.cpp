#include "controls/DroppedFiles.h"

#include <QByteArray>
#include <QFile>
#include <QMimeData>
#include <QUrl>

namespace {

// "file://host/path" or "file:///path" to the path's bytes; empty for anything else.
std::string LocalPath(QByteArray pUri) {
    pUri = pUri.trimmed();
    if (pUri.isEmpty() || pUri.startsWith('#')) return {};
    if (!pUri.startsWith("file://")) return {};
    QByteArray rest = pUri.mid(7);
    const qsizetype slash = rest.indexOf('/');
    if (slash < 0) return {};
    const QByteArray host = rest.left(slash);
    if (!host.isEmpty() && host != "localhost") return {};
    return QByteArray::fromPercentEncoding(rest.mid(slash)).toStdString();
}

} // namespace

std::vector<std::string> DroppedFiles(const QMimeData& pData) {
    std::vector<std::string> files;
    // The raw list keeps every byte of a name; the decoded URLs are the fallback.
    const QByteArray raw = pData.data(QStringLiteral("text/uri-list"));
    if (!raw.isEmpty()) {
        for (const QByteArray& line : raw.split('\n'))
            if (std::string path = LocalPath(line); !path.empty()) files.push_back(std::move(path));
        return files;
    }
    for (const QUrl& url : pData.urls())
        if (url.isLocalFile()) files.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    return files;
}

bool HasDroppedFiles(const QMimeData& pData) {
    return !DroppedFiles(pData).empty();
}
