// tolvane-shots OUT_DIR FILE...: the window in the states a new user sees, saved as PNG files:
// idle, with the given files listed, with decode-only checked, with high quality checked, during a
// run, grown to 900 x 700, with a failed row's tool tip, and with the add-files dialog open.
#include "app/BatchDriver.h"
#include "app/FrmMain.h"
#include "app/QtJapanese.h"
#include "support/FileUtil.h"
#include "support/Twips.h"
#include "support/UiFont.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QPainter>
#include <QTimer>
#include <QToolTip>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

bool SaveImage(const QPixmap& pImage, const QString& pFolder, const char* pName) {
    const QString file = QDir(pFolder).filePath(QString::fromLatin1(pName) + QStringLiteral(".png"));
    const bool saved = pImage.save(file, "PNG");
    std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save", qPrintable(file));
    return saved;
}

bool Save(QWidget& pWindow, const QString& pFolder, const char* pName) {
    QCoreApplication::processEvents();
    return SaveImage(pWindow.grab(), pFolder, pName);
}

// The window with the tool tip that shows over it, painted where it stands.
bool SaveWithToolTip(QWidget& pWindow, const QString& pFolder, const char* pName) {
    QCoreApplication::processEvents();
    QWidget* tip = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->inherits("QTipLabel") && window->isVisible()) tip = window;
    if (tip == nullptr) return false;
    const QPoint at = tip->geometry().topLeft() - pWindow.geometry().topLeft();
    const QPixmap form = pWindow.grab();
    QPixmap image(QSize(std::max(pWindow.width(), at.x() + tip->width()), pWindow.height()) *
                  form.devicePixelRatio());
    image.setDevicePixelRatio(form.devicePixelRatio());
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.drawPixmap(0, 0, form);
    painter.drawPixmap(at, tip->grab());
    painter.end();
    return SaveImage(image, pFolder, pName);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tolvane-shots OUT_DIR FILE...\n");
        return 2;
    }
    // The shots never read or change the user's own settings.
    const QString home = QDir::temp().filePath(QStringLiteral("tolvane-shots-%1").arg(::getpid()));
    QDir().mkpath(home);
    ::setenv("XDG_CONFIG_HOME", qPrintable(home), 1);
    const char* const programArgs[] = {argv[0]};
    Support::SetCommandLine(1, programArgs);
    QApplication app(argc, argv);
    (void)InstallQtJapanese(app);
    Support::TwipsPerPixel(Support::ScreenTwipsPerPixel());
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);

    FrmMain form;
    form.Load();
    form.move(0, 0);
    bool ok = Save(form, out, "idle");

    std::vector<std::string> files;
    for (int i = 2; i < argc; ++i)
        files.emplace_back(argv[i]);
    form.AddFiles(files, form.LV.ItemCount());
    form.LV.ReOrder(0, 1, -1);
    form.LV.SelectedItem(2);
    form.LV.ReDraw();
    ok = Save(form, out, "filled") && ok;

    form.CheckDecodeOnly.Value(1);
    form.CheckDecodeOnly_Click();
    ok = Save(form, out, "decode-only") && ok;
    form.CheckDecodeOnly.Value(0);
    form.CheckDecodeOnly_Click();
    form.CheckHighQuality.Value(1);
    ok = Save(form, out, "high-quality") && ok;
    form.CheckHighQuality.Value(0);

    // The run lets events through between blocks: the shot is taken from inside it.
    const QString runOut = QDir(home).filePath(QStringLiteral("out"));
    QDir().mkpath(runOut);
    form.TextSoundPath.Text(runOut + QLatin1Char('/'));
    // One file no decoder reads, so that the run leaves a failed row behind.
    const QString broken = QDir(home).filePath(QStringLiteral("壊れた録音.ogg"));
    QFile junk(broken);
    if (junk.open(QIODevice::WriteOnly)) junk.write(QByteArray(4000, 'x'));
    junk.close();
    form.AddFiles({QFile::encodeName(broken).toStdString()}, form.LV.ItemCount());
    bool shotDuringRun = false;
    QTimer during;
    QObject::connect(&during, &QTimer::timeout, &form, [&] {
        // Once the bar shows progress on a file that is being converted.
        if (shotDuringRun || form.Driver().Running != 1 || form.ProgBar.Value() < 150) return;
        shotDuringRun = true;
        ok = Save(form, out, "running") && ok;
    });
    during.start(5);
    form.CtrButtons_ButtonClicked(BatchDriver::kStart);
    during.stop();
    if (!shotDuringRun) std::fprintf(stderr, "the run ended before its shot was taken\n");

    form.resize(900, 700);
    ok = Save(form, out, "resized") && ok;

    // The failed row is the last one: its tool tip, over the window at its smallest.
    form.resize(form.minimumSize());
    QCoreApplication::processEvents();
    const int last = form.LV.ItemCount() - 1;
    form.LV.SetTopItem(last, 0, 1);
    const int rowHeight = int(Support::ToPixels(float(form.LV.OneHeight())));
    QWidget* rows = form.LV.PictureList();
    const QPoint at(60, (last - form.LV.TopItem()) * rowHeight + rowHeight / 2);
    QHelpEvent hover(QEvent::ToolTip, at, rows->mapToGlobal(at));
    QApplication::sendEvent(rows, &hover);
    ok = SaveWithToolTip(form, out, "tooltip") && ok;
    QToolTip::hideText();

    // The add-files dialog, as Ctrl+O opens it; it is shot and closed from inside.
    QTimer::singleShot(500, &form, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            dialog->move(0, 0);
            ok = Save(*dialog, out, "add-files") && ok;
            dialog->reject();
        } else {
            ok = false;
        }
    });
    form.ChooseFilesToAdd();

    QDir(home).removeRecursively();
    return ok && shotDuringRun ? 0 : 1;
}
