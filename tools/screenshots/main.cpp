// tolvane-shots OUT_DIR FILE...: the window in the states a new user sees, saved as PNG files:
// idle, with the given files listed, with decode-only checked, with high quality checked, and during
// a run.
#include "app/BatchDriver.h"
#include "app/FrmMain.h"
#include "support/FileUtil.h"
#include "support/Twips.h"
#include "support/UiFont.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

bool Save(QWidget& pWindow, const QString& pFolder, const char* pName) {
    QCoreApplication::processEvents();
    const QString file = QDir(pFolder).filePath(QString::fromLatin1(pName) + QStringLiteral(".png"));
    const bool saved = pWindow.grab().save(file, "PNG");
    std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save", qPrintable(file));
    return saved;
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
    Support::TwipsPerPixel(Support::ScreenTwipsPerPixel());
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);

    FrmMain form;
    form.Load();
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
    bool shotDuringRun = false;
    QTimer during;
    QObject::connect(&during, &QTimer::timeout, &form, [&] {
        // Once the bar shows progress on a file that is being converted.
        if (shotDuringRun || form.Driver().Running != 1 || form.ProgBar.Value() < 150) return;
        shotDuringRun = true;
        ok = Save(form, out, "running") && ok;
    });
    during.start(5);
    form.CtrButtons_ButtonClicked(2);
    QDir(home).removeRecursively();
    if (!shotDuringRun) std::fprintf(stderr, "the run ended before its shot was taken\n");
    return ok && shotDuringRun ? 0 : 1;
}
