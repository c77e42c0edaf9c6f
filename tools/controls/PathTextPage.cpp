#include "controls/UC_PathText.h"
#include "support/Twips.h"
#include "tools/controls/InspectionPages.h"
#include "tools/controls/PageRows.h"

namespace {

UC_PathText* Box(int pWidthTwips, const char* pText) {
    auto* box = new UC_PathText;
    box->resize(int(Support::ToPixels(float(pWidthTwips))), 20);
    box->Init();
    box->Text(QString::fromUtf8(pText));
    return box;
}

} // namespace

QWidget* MakePathTextPage() {
    auto* page = new QWidget;
    QLabel* events = PageRows::EventLine(page, 8);
    PageRows::Column column(page, 34, 10);
    const auto row = [&](const char* pCaption, UC_PathText* pBox) {
        column.Add(pCaption, pBox);
        QObject::connect(pBox, &UC_PathText::SelectButtonClicked, events, [events, pBox] {
            events->setText(QStringLiteral("SelectButtonClicked: ") + pBox->Text());
        });
        QObject::connect(pBox, &UC_PathText::TextDblClicked, events,
                         [events] { events->setText(QStringLiteral("TextDblClicked")); });
        return pBox;
    };

    row("folder (3000 twips), empty", Box(3000, ""));
    row("output folder", Box(5175, "/home/user/音楽/変換済み/"));
    UC_PathText* open = row("open file, Ext wav", Box(5175, "/home/user/録音/会議 2024-05-01.wav"));
    open->Usage(1);
    open->Ext(QStringLiteral(".wav"));
    UC_PathText* save = row("save file, Filter mp3", Box(5175, "/home/user/out.mp3"));
    save->Usage(2);
    save->Filter(QStringLiteral("MP3ファイル|*.mp3|すべてのファイル|*"));
    UC_PathText* pushed = row("button drawn pushed", Box(5175, "/tmp/"));
    pushed->Draw(1);
    UC_PathText* greyed = row("TextDisabled 2 (grey, editable)", Box(5175, "/home/user/音楽/"));
    greyed->TextDisabled(2);
    UC_PathText* locked = row("TextDisabled 1 (grey, locked)", Box(5175, "/home/user/音楽/"));
    locked->TextDisabled(1);
    UC_PathText* disabled = row("Enabled 0", Box(5175, "/home/user/音楽/"));
    disabled->Enabled(0);
    UC_PathText* inert = row("ButtonDisabled 1", Box(5175, "/home/user/音楽/"));
    inert->ButtonDisabled(1);
    row("long path", Box(5175, "/media/archive/2019/フィールド録音/北海道/知床半島の海岸で録った波の音/"
                               "午前の部/テイク12_最終.wav"));
    UC_PathText* tall = new UC_PathText;
    tall->resize(int(Support::ToPixels(6000)), 30);
    tall->FontSize(12);
    tall->TextHeight(450);
    tall->Init();
    tall->Text(QStringLiteral("/home/user/大きな文字/"));
    row("12 points, TextHeight 450", tall);
    return page;
}
