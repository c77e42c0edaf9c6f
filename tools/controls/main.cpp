// tolvane-controls: every owner-drawn control on a page of its own, to try by hand and to take
// screenshots from (--page NAME --screenshot FILE.png saves that page and exits).
#include "support/Twips.h"
#include "support/UiFont.h"
#include "tools/controls/InspectionPages.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>

namespace {

struct Page {
    const char* Name;
    QWidget* (*Make)();
};

constexpr Page kPages[] = {
    {"skin", MakeSkinPage},
    {"slider", MakeSliderPage},
    {"buttons", MakeButtonsPage},
    {"pathtext", MakePathTextPage},
    {"bar", MakeBarPage},
    {"check", MakeCheckPage},
    {"textpicture", MakeTextPicturePage},
    {"list", MakeListPage},
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tolvane-controls"));
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption pageOption(QStringLiteral("page"), QStringLiteral("Page to show first."),
                                        QStringLiteral("name"));
    const QCommandLineOption shotOption(QStringLiteral("screenshot"),
                                        QStringLiteral("Save the page as a PNG file and exit."),
                                        QStringLiteral("file"));
    parser.addOption(pageOption);
    parser.addOption(shotOption);
    parser.process(app);

    Support::TwipsPerPixel(Support::ScreenTwipsPerPixel());
    Support::ChooseUiFont();
    Support::ApplyUiFont(nullptr, -2);
    QApplication::setFont(Support::UiFontAt(0).Font);

    QTabWidget tabs;
    tabs.setWindowTitle(QStringLiteral("tolvane-controls"));
    int first = 0;
    for (const Page& page : kPages) {
        const int index = tabs.addTab(page.Make(), QString::fromLatin1(page.Name));
        if (parser.value(pageOption) == QLatin1String(page.Name)) first = index;
    }
    tabs.setCurrentIndex(first);
    tabs.resize(1000, 760);
    tabs.show();

    if (parser.isSet(shotOption)) {
        const QString file = parser.value(shotOption);
        QTimer::singleShot(300, &tabs, [&] {
            const bool saved = tabs.currentWidget()->grab().save(file, "PNG");
            std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save", qPrintable(file));
            QApplication::exit(saved ? 0 : 1);
        });
    }
    return QApplication::exec();
}
