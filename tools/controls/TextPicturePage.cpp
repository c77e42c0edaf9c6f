#include "controls/Palette.h"
#include "controls/UC_TextPicture.h"
#include "support/Twips.h"
#include "tools/controls/InspectionPages.h"
#include "tools/controls/PageRows.h"

namespace {

constexpr int kPanelWidth = 5175;
constexpr int kPanelHeight = 690;

// The main window's status panel: standard sets 0 and 1, two lines.
UC_TextPicture* StatusPanel(int pSet, const char* pFirst, const char* pSecond) {
    auto* panel = new UC_TextPicture;
    panel->resize(int(Support::ToPixels(kPanelWidth)), int(Support::ToPixels(kPanelHeight)));
    panel->AddStdColorSet(0);
    panel->AddStdColorSet(1);
    panel->AddTextSpace(9, 0, 0, {}, 120, 105);
    panel->AddTextSpace(9, 0, 0, {}, 120, 405);
    panel->Init(1, 0);
    panel->SetColor(pSet, 0);
    panel->DispMes(0, QString::fromUtf8(pFirst), 1);
    panel->DispMes(1, QString::fromUtf8(pSecond), 0);
    return panel;
}

} // namespace

QWidget* MakeTextPicturePage() {
    auto* page = new QWidget;
    QLabel* events = PageRows::EventLine(page, 8);
    PageRows::Column column(page, 34, 8);
    const auto row = [&](const char* pCaption, UC_TextPicture* pPanel) {
        column.Add(pCaption, pPanel);
        QObject::connect(
            pPanel, &UC_TextPicture::MouseUD, events,
            [events](std::int16_t pButton, bool pDown, std::int32_t pIndex) {
                events->setText(
                    QStringLiteral("MouseUD(%1, %2, %3)").arg(pButton).arg(pDown ? -1 : 0).arg(pIndex));
            });
        QObject::connect(
            pPanel, &UC_TextPicture::OLEDragDrop, events,
            [events](const std::vector<std::string>& pData, std::int32_t, std::int16_t, std::int16_t, float,
                     float) { events->setText(QStringLiteral("OLEDragDrop: %1 files").arg(pData.size())); });
        return pPanel;
    };

    row("status panel, set 0 (idle)",
        StatusPanel(0, "ファイルをドロップしてください", "出力: 44100Hz Stereo16bit"));
    row("status panel, set 1 (running)", StatusPanel(1, "変換中: 会議の録音.wav (3/12)", "デコード中..."));
    UC_TextPicture* lit = row("first line clickable, lit", StatusPanel(1, "クリックできる行", "二行目"));
    lit->UseClick(0, 1);
    lit->Draw(0);
    row("a long message is cut",
        StatusPanel(0,
                    "/media/archive/フィールド録音/北海道/知床半島の海岸で録った波の音_午前の部_テイク12.wav",
                    "短い行"));

    for (int set = 2; set <= 5; ++set) {
        auto* panel = new UC_TextPicture;
        panel->resize(int(Support::ToPixels(kPanelWidth)), int(Support::ToPixels(400)));
        panel->AddStdColorSet(set);
        panel->AddTextSpace(9, 0, 0, {}, -1, -1);
        panel->Init(2, 0);
        panel->DispMes(0, QStringLiteral("標準セット %1 (枠 2px、中央)").arg(set));
        const QByteArray caption = QStringLiteral("standard set %1").arg(set).toUtf8();
        row(caption.constData(), panel);
    }

    auto* plain = new UC_TextPicture;
    plain->resize(int(Support::ToPixels(kPanelWidth)), int(Support::ToPixels(420)));
    plain->AddTextSpace(9, -1, 0, {}, 120, -1);
    plain->Init(1, 0);
    plain->DispMes(0, QStringLiteral("plain: 太字、枠線あり"));
    row("plain, sunken edge", plain);
    auto* flat = new UC_TextPicture;
    flat->resize(int(Support::ToPixels(kPanelWidth)), int(Support::ToPixels(420)));
    flat->IsFlat(1);
    flat->AddTextSpace(10, 0, -1, {}, -1, -1);
    flat->Init(1, 0);
    flat->SetColor(2, 0);
    flat->DispMes(0, QStringLiteral("flat, standard fill 2, italic"));
    row("plain, flat, standard fill", flat);
    auto* custom = new UC_TextPicture;
    custom->resize(int(Support::ToPixels(kPanelWidth)), int(Support::ToPixels(420)));
    custom->SetColorEx(Palette::Rgb(250, 250, 250), Palette::Rgb(70, 90, 120), 0);
    custom->AddTextSpace(9, 0, 0, {}, 120, -1);
    custom->Init(1, 0);
    custom->DispMes(0, QStringLiteral("SetColorEx: white on slate"));
    row("plain, SetColorEx", custom);
    return page;
}
