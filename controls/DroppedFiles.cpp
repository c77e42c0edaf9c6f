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

// Hands each local file to pTake, in order, until pTake says it has enough.
template <typename F> void ForEachFile(const QMimeData& pData, F&& pTake) {
    // The raw list keeps every byte of a name; the decoded URLs are the fallback.
    const QByteArray raw = pData.data(QStringLiteral("text/uri-list"));
    if (!raw.isEmpty()) {
        for (const QByteArray& line : raw.split('\n'))
            if (std::string path = LocalPath(line); !path.empty() && !pTake(std::move(path))) return;
        return;
    }
    for (const QUrl& url : pData.urls())
        if (url.isLocalFile() && !pTake(QFile::encodeName(url.toLocalFile()).toStdString())) return;
}

} // namespace

std::vector<std::string> DroppedFiles(const QMimeData& pData) {
    std::vector<std::string> files;
    ForEachFile(pData, [&](std::string pPath) {
        files.push_back(std::move(pPath));
        return true;
    });
    return files;
}

bool HasDroppedFiles(const QMimeData& pData) {
    // Asked on every move of a drag: the first file answers it.
    bool found = false;
    ForEachFile(pData, [&](std::string) {
        found = true;
        return false;
    });
    return found;
}
