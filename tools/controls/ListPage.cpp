#include "controls/DroppedFiles.h"
#include "controls/FileList.h"
#include "controls/Palette.h"
#include "controls/UC_ListView.h"
#include "support/FormatMilliseconds.h"
#include "tools/controls/InspectionPages.h"

#include <QLabel>
#include <QMimeData>
#include <QVBoxLayout>
#include <QWidget>

#include <array>

namespace {

struct Row {
    const char* Name;
    int Icon;
    std::int32_t Milliseconds;
    const char* Format;
};

// Forty files as the main window would list them: name, icon of the extension, length, format.
constexpr std::array<Row, 40> kRows{{
    {"01 夜明けのスキャット.wav", 1, 205417, "PCM 44100Hz 16bit Stereo"},
    {"Morning Raga (Take 2).mp3", 4, 412030, "mp3(44100Hz/192kbps/JointStereo)"},
    {"交響曲第9番 第4楽章.m4a", 0, 1453200, "MPEG-4 オーディオ"},
    {"field_recording_0413.aiff", 9, 98004, "AIFF オーディオ"},
    {"インタビュー（前半）.wma", 5, 1800512, "Windows Media オーディオ"},
    {"bass-loop-120bpm.wav", 1, 8000, "PCM 48000Hz 24bit Stereo"},
    {"ラジオ体操第一.mp2", 3, 188320, "mp2(48000Hz/256kbps/Stereo)"},
    {"Kyoto Station Ambience.ogg", 0, 605040, "Ogg Vorbis オーディオ"},
    {"講演会_2019年度_第3回.mp3", 4, 5423900, "mp3(22050Hz/64kbps/Mono)"},
    {"demo_mp1_stream.mp1", 2, 61230, "mp1(44100Hz/384kbps/Stereo)"},
    {"卒業式 記録映像.mpg", 6, 2722000, "MPEG ビデオ"},
    {"Trailer_FINAL_v3.wmv", 7, 151515, "Windows Media ビデオ"},
    {"合唱コンクール 自由曲.wav", 1, 312870, "PCM 44100Hz 16bit Stereo"},
    {"piano_etude_no12.aif", 9, 143250, "AIFF オーディオ"},
    {"podcast-episode-042.m4a", 0, 3561004, "MPEG-4 オーディオ"},
    {"雨音（ループ素材）.ogg", 0, 600000, "Ogg Vorbis オーディオ"},
    {"Club Mix 2008.mp3", 4, 432100, "mp3(44100Hz/320kbps/Stereo)"},
    {"会議録音_0912.wma", 5, 4211000, "Windows Media オーディオ"},
    {"theme_song_karaoke.wav", 1, 265000, "PCM 44100Hz 16bit Stereo"},
    {"鉄道走行音 山手線.mp3", 4, 918300, "mp3(48000Hz/128kbps/JointStereo)"},
    {"broken_header.wav", 10, 0, "Wave サウンド"},
    {"Aria - Goldberg Variations.aac", 0, 231555, "AAC オーディオ"},
    {"運動会BGM メドレー.mp3", 4, 1207700, "mp3(44100Hz/160kbps/JointStereo)"},
    {"playlist_export.asx", 7, 0, "Windows Media リダイレクタ"},
    {"lecture_01_intro.mpeg", 6, 3005040, "MPEG ビデオ"},
    {"お経（般若心経）.wav", 1, 301050, "PCM 22050Hz 16bit Mono"},
    {"Voice memo 2024-03-02.m4a", 0, 45011, "MPEG-4 オーディオ"},
    {"ＢＧＭ＿全角ファイル名.mp2", 3, 240000, "mp2(44100Hz/192kbps/JointStereo)"},
    {"surround_test_51.wav", 1, 30000, "PCM 48000Hz 24bit 5.1ch"},
    {"オルゴール 「星に願いを」.mp3", 4, 176450, "mp3(44100Hz/128kbps/Stereo)"},
    {"interview_raw_take3.asf", 5, 2400000, "Windows Media オーディオ/ビデオ"},
    {"Nocturne Op.9 No.2.ogg", 0, 271300, "Ogg Vorbis オーディオ"},
    {"駅メロ集.mp3", 4, 512340, "mp3(44100Hz/192kbps/JointStereo)"},
    {"clip_m2v_sample.m2v", 6, 12000, "MPEG-2 ビデオ"},
    {"Sunset Drive (Radio Edit).mp3", 4, 218760, "mp3(44100Hz/256kbps/JointStereo)"},
    {"昔話の朗読 第十二話.wma", 5, 1520300, "Windows Media オーディオ"},
    {"drum_break_amen.wav", 1, 6860, "PCM 44100Hz 16bit Stereo"},
    {"フィールド録音 渓流.aiff", 9, 909090, "AIFF オーディオ"},
    {"old_tape_side_B.mp3", 4, 2701000, "mp3(32000Hz/96kbps/Mono)"},
    {"Zz_last_in_list.mp4", 0, 60000, "MPEG-4 オーディオ/ビデオ"},
}};

// The file list exactly as the main window sets it up, with its forty files.
UC_ListView* MakeFileList(QLabel* pEvents) {
    auto* list = new UC_ListView;
    SetUpFileList(*list, 1);
    list->UserControl_Resize();
    for (const Row& row : kRows) {
        list->AddItem(1);
        list->IconType(-2, row.Icon);
        list->AuxID(-2, 0, std::string("/home/user/Music/") + row.Name);
        list->Value(-2, 0, row.Name);
        list->Value(-2, 1, Support::FormatMilliseconds(row.Milliseconds, 0));
        list->Value(-2, 2, row.Format);
    }
    list->ReOrder(0, 0, -1);
    for (const std::int32_t item : {4, 5, 6, 9})
        list->IsSelected(item, 1);
    list->SetSelectedItem(6);
    list->Refresh();
    QObject::connect(list, &UC_ListView::DblClicked, pEvents, [list, pEvents] {
        pEvents->setText(
            QStringLiteral("DblClicked: %1 selected rows removed").arg(list->NumSelectedItems()));
        list->DeleteSelected();
        list->ReDraw();
        list->SetVbarParm();
    });
    QObject::connect(list, &UC_ListView::KeyDeletePressed, pEvents, [list, pEvents] {
        pEvents->setText(QStringLiteral("KeyDeletePressed: %1 selected rows").arg(list->NumSelectedItems()));
    });
    QObject::connect(
        list, &UC_ListView::OLEDragDrop, pEvents,
        [list, pEvents](const QMimeData* pData, std::int32_t&, std::int16_t, std::int16_t, float, float pY) {
            const auto files = DroppedFiles(*pData);
            pEvents->setText(
                QStringLiteral("OLEDragDrop: %1 files at row %2").arg(files.size()).arg(list->YsItem(pY)));
        });
    return list;
}

// The features the main window does not use: stripes, editors, plain bars, lines and colours.
UC_ListView* MakeFeatureList(QLabel* pEvents) {
    auto* list = new UC_ListView;
    list->NumData(4);
    list->NumAux(0);
    list->UseMadara(1);
    list->ShowToolTip(1);
    list->UseTabOrder(1);
    list->BorderIfBlank(4);
    list->Init();
    const char* captions[] = {"曲名", "開始", "出力先デバイス", "メモ"};
    const std::int32_t widths[] = {3000, 1400, 2600, 4000};
    for (std::int32_t column = 0; column < 4; ++column) {
        list->TabName(column, captions[column]);
        list->TabWidth(column, widths[column]);
    }
    list->TabAlign(1, 1);
    list->UseTextCombo(1, 1);
    list->TextIsTime(1, 1);
    list->UseTextCombo(2, 4);
    list->UseTextCombo(3, 2);
    list->InitTab();
    for (const char* device : {"既定のデバイス", "スピーカー (USB Audio)", "HDMI 出力"})
        list->AddListItem(2, device);
    for (const char* memo : {"", "要確認", "OK"})
        list->AddComboItem(3, memo);
    const char* titles[] = {"Prelude",     "間奏曲",   "Finale (long title that does not fit)",
                            "アンコール",  "Encore 2", "休憩",
                            "第二部 開幕", "Closing"};
    for (int i = 0; i < 8; ++i) {
        list->AddItem(1);
        list->IconType(-2, i % 11);
        list->Value(-2, 0, titles[i]);
        list->Value(-2, 1, QStringLiteral("00:%1:00").arg(i * 7, 2, 10, QLatin1Char('0')));
        list->Value(-2, 2, "既定のデバイス");
        list->Value(-2, 3, i % 3 == 0 ? "" : "OK");
    }
    list->HLine(5, Palette::Rgb(200, 60, 60));
    list->DispColor(3, Palette::Rgb(30, 90, 200));
    list->SetSelectedItem(2);
    list->ReDrawTab(-1);
    list->UserControl_Resize();
    QObject::connect(
        list, &UC_ListView::ComboChaged, pEvents, [pEvents](std::int32_t pData, std::int32_t pValue) {
            pEvents->setText(QStringLiteral("ComboChaged: column %1, entry %2").arg(pData).arg(pValue));
        });
    QObject::connect(list, &UC_ListView::TabReOrderd, pEvents,
                     [pEvents] { pEvents->setText(QStringLiteral("TabReOrderd")); });
    return list;
}

} // namespace

QWidget* MakeListPage() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* events = new QLabel(QStringLiteral("Events appear here."));
    layout->addWidget(MakeFileList(events), 3);
    layout->addWidget(MakeFeatureList(events), 2);
    layout->addWidget(events);
    return page;
}
