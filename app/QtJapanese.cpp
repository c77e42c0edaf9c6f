#include "app/QtJapanese.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

std::string InstallQtJapanese(QCoreApplication& pApp) {
    // The interface is Japanese whatever the session's language, so Qt's dialogs are too.
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_ja"), folder) ||
        !QCoreApplication::installTranslator(translator.get()))
        return {};
    // The application keeps it for as long as it runs.
    translator.release()->setParent(&pApp);
    return QDir(folder).filePath(QStringLiteral("qtbase_ja.qm")).toStdString();
}
