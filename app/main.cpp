// tolvane: the window.
#include "app/FrmMain.h"
#include "app/QtJapanese.h"
#include "app/SingleInstance.h"
#include "support/FileUtil.h"
#include "support/Twips.h"
#include "support/UiFont.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char** argv) {
    // Paths on the command line are taken against the folder the program was started in.
    Support::SetCommandLine(argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tolvane"));
    QGuiApplication::setDesktopFileName(QStringLiteral("tolvane"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/tolvane.png")));
    Support::TwipsPerPixel(Support::ScreenTwipsPerPixel());
    SingleInstance instance;
    if (!instance.TryLock()) return 0;
    // Only the window's instance shows Qt's dialogs; one that hands its files over needs no texts.
    (void)InstallQtJapanese(app);
    FrmMain form;
    form.CloseOnSignals();
    form.Load();
    const int status = QApplication::exec();
    return status != 0 ? status : form.ExitStatus();
}
