#include "app/FailReason.h"

#include <array>

namespace {

struct Words {
    FailReason Reason;
    const char* English;
    const char* Japanese;
};

// "{}" stands for the place; a place a text does not mention follows it after ": ".
constexpr std::array<Words, 18> kWords = {{
    {FailReason::None, "", ""},
    {FailReason::SourceMissing, "file not found", "ファイルが見つかりません（移動または削除されました）"},
    {FailReason::SourceVanished, "the file went away during the conversion",
     "変換中に元のファイルがなくなりました"},
    {FailReason::NotMpeg, "not MPEG audio", "MP3 ファイルとして読めません"},
    {FailReason::CannotCreate, "cannot create a file in {}", "出力フォルダにファイルを作成できません: {}"},
    {FailReason::NoSpace, "not enough free space in {}", "ディスクの空き容量が足りません: {}"},
    {FailReason::CannotCopy, "cannot copy the audio frames", "MP3 の音声部分をコピーできません"},
    {FailReason::CannotDecode, "cannot decode",
     "デコードできません（対応していない形式か、壊れたファイルです）"},
    {FailReason::NoReader, "cannot decode: nothing installed here reads this format",
     "この形式を読むデコーダーがこのコンピューターに入っていません"},
    {FailReason::DecodeStalled, "decoding stalled", "デコードが途中で進まなくなりました"},
    {FailReason::NoAudio, "no audio (the file holds no samples)", "音声が入っていません"},
    {FailReason::NoTargetMode, "no target mode selected", "変換先のモードが選ばれていません"},
    {FailReason::NoTargetRate, "no target rate selected", "変換先のサンプリング周波数が選ばれていません"},
    {FailReason::ConversionFailed, "conversion failed (unreadable data, no space, or too large for WAV)",
     "変換できません（読めないデータか、WAV の上限を超える大きさです）"},
    {FailReason::EncodingFailed, "MP3 encoding failed (unreadable data or no space)",
     "MP3 にエンコードできません（読めないデータか、空き容量の不足です）"},
    {FailReason::CommandFile, "the MP2 command file cannot be written",
     "MP2 エンコード用のコマンドファイルを作成できません"},
    {FailReason::RatesTooFarApart, "high quality converts rates at most 256 times apart; this file is {} Hz",
     "高音質の変換では 256 倍を超えて離れたサンプリング周波数は扱えません（このファイルは {} Hz）"},
    {FailReason::Unexpected, "unexpected error", "予期しないエラーが起きました"},
}};

std::string Fill(const char* pText, const std::string& pPlace) {
    std::string text = pText;
    const auto at = text.find("{}");
    if (at != std::string::npos) return text.replace(at, 2, pPlace);
    return pPlace.empty() ? text : text + ": " + pPlace;
}

const Words& Find(FailReason pReason) {
    for (const Words& words : kWords)
        if (words.Reason == pReason) return words;
    return kWords.back();
}

} // namespace

std::string FailReasonText(FailReason pReason, const std::string& pPlace) {
    return Fill(Find(pReason).English, pPlace);
}

std::string FailReasonTextJa(FailReason pReason, const std::string& pPlace) {
    return Fill(Find(pReason).Japanese, pPlace);
}
